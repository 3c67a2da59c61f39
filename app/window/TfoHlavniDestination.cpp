// The destination fields of the "Soubory" tab: archive name, destination folder, keep count.
#include "app/job/InputCheck.h"
#include "app/widgets/BrowseForFolder.h"
#include "app/widgets/TextTrim.h"
#include "app/window/TfoHlavni.h"

#include <QLineEdit>

#include <algorithm>

using ostrivane::TrimBlanks;

void TfoHlavni::Edit8Exit() {
    const QString name =
        QString::fromStdString(ostrivane::job::NormalArchiveName(Edit8->text().toStdString()));
    if (name != Edit8->text())
        Edit8->setText(name);
    // Another archive is another job: the status line tells of its runs.
    ReadRunHistory();
}

void TfoHlavni::Edit9Exit() {
    const QString folder =
        QString::fromStdString(ostrivane::job::NormalDestination(Edit9->text().toStdString()));
    if (folder != Edit9->text())
        Edit9->setText(folder);
    ReadRunHistory();
}

void TfoHlavni::Edit10Change() {
    const int caret = Edit10->cursorPosition();
    QString digits = TrimBlanks(Edit10->text());
    digits.removeIf([](QChar c) { return c < QLatin1Char('0') || c > QLatin1Char('9'); });
    if (digits != Edit10->text()) {
        // Runs this handler once more; that nested call finds nothing left to remove.
        Edit10->setText(digits);
        Edit10->setCursorPosition(std::min(caret, static_cast<int>(digits.size())));
    }
    Depth = ostrivane::job::DepthOfField(Edit10->text().toStdString());
}

void TfoHlavni::SpeedButton2Click() {
    // The browser opens at the folder in the field when there is one.
    QString folder = TrimBlanks(Edit9->text());
    if (BrowseForFolder(QStringLiteral("Vyberte adresář pro ukládání archivu..."), QString(),
                        folder, this))
        Edit9->setText(folder);
}
