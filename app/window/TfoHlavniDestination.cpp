// The destination fields of the "Soubory" tab: archive name, destination folder, keep count.
#include "app/widgets/BrowseForFolder.h"
#include "app/window/ArchiveNameField.h"
#include "app/window/TfoHlavni.h"
#include "settings/TextTrim.h"

#include <QLineEdit>

#include <algorithm>

using ostrivane::TrimBlanks;

void TfoHlavni::Edit8Exit() {
    const QString name = TrimBlanks(Edit8->text());
    const QString checked = ostrivane::ui::ArchiveNameWithCab(name);
    if (checked != name)
        Edit8->setText(checked);
}

void TfoHlavni::Edit9Exit() {
    const QString folder = TrimBlanks(Edit9->text());
    if (folder.endsWith(QLatin1Char('/')))
        Edit9->setText(folder.chopped(1));
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
    bool ok = false;
    const int depth = TrimBlanks(Edit10->text()).toInt(&ok, 10);
    Depth = ok ? depth : 1;
}

void TfoHlavni::SpeedButton2Click() {
    // The browser opens at the folder in the field when there is one.
    QString folder = TrimBlanks(Edit9->text());
    if (BrowseForFolder(QStringLiteral("Vyberte adresář pro ukládání archivu..."), QString(),
                        folder, this))
        Edit9->setText(folder);
}
