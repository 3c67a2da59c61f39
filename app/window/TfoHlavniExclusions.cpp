// The exclusion patterns of the "Soubory" tab: the button "&Vyloučení…" opens their dialog, which
// edits a copy; OK takes it. The patterns live in `Exclusions` until the settings are saved, and
// every backup of the window leaves out what they match.
#include "app/dialogs/TfoVylouceni.h"
#include "app/window/TfoHlavni.h"

#include <QPushButton>

void TfoHlavni::BitBtn10Click() {
    TfoVylouceni dialog(this);
    dialog.SetPatterns(Exclusions);
    if (dialog.exec() == QDialog::Accepted)
        Exclusions = dialog.Patterns();
}
