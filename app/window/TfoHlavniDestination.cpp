// The destination fields of the "Soubory" tab: archive name, destination folder, keep count.
#include "app/job/InputCheck.h"
#include "app/widgets/BrowseForFolder.h"
#include "app/widgets/TextTrim.h"
#include "app/window/TfoHlavni.h"

#include <QLineEdit>

#include <algorithm>

using ostrivane::TrimBlanks;

namespace {

// Puts the normal spelling `normal` makes of the field's text into the field, where it differs.
void Normalise(QLineEdit* field, std::string (*normal)(const std::string&)) {
    const QString text = QString::fromStdString(normal(field->text().toStdString()));
    if (text != field->text())
        field->setText(text);
}

} // namespace

void TfoHlavni::Edit8Exit() {
    Normalise(Edit8, ostrivane::job::NormalArchiveName);
    // Another archive is another job: the status line tells of its runs.
    ReadRunHistory();
}

void TfoHlavni::Edit9Exit() {
    Normalise(Edit9, ostrivane::job::NormalDestination);
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
