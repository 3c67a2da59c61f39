// The "Nastavení" tab: start with the desktop session, and the launcher on the desktop.
#include "app/widgets/MessageBoxes.h"
#include "app/window/TfoHlavni.h"
#include "desktop/Autostart.h"
#include "desktop/DesktopShortcut.h"

#include <QCheckBox>
#include <QCoreApplication>

using namespace ostrivane::desktop;

void TfoHlavni::CheckBox3Click() {
    const AutostartResult result =
        WriteAutostartEntry(CheckBox3->isChecked(), QCoreApplication::applicationFilePath());
    // A folder that cannot be written is no error worth a message (the user has no right to
    // it); an entry that could not be written is.
    if (result == AutostartResult::WriteFailed)
        ostrivane::ui::ShowError(this, QStringLiteral("Failed to set data for 'quenza Ostrivane'"));
}

void TfoHlavni::BitBtn8Click() {
    switch (CreateDesktopShortcut(QCoreApplication::applicationFilePath())) {
    case ShortcutResult::Written:
        break;
    case ShortcutResult::NoDesktopFolder:
        ostrivane::ui::ShowMessage(
            this, QStringLiteral("Nelze zjistit adresář plochy, ikona nebyla vytvořena !"));
        break;
    case ShortcutResult::WriteFailed:
        // A launcher there before stays as it was.
        ostrivane::ui::ShowMessage(
            this, QStringLiteral("Ikonu na ploše nelze zapsat, ikona nebyla vytvořena !"));
        break;
    }
}
