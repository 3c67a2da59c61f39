// Program start: the application, its title, the three windows, the restore method on the
// session bus, and the event loop. Closing the main window ends the program.
#include "app/dialogs/TfoOprogramu.h"
#include "app/dialogs/TfoVyberSouboru.h"
#include "app/widgets/ApplicationTitle.h"
#include "app/widgets/QtCzechTexts.h"
#include "app/window/RestoreAppService.h"
#include "app/window/TfoHlavni.h"
#include "cabinet/component/CabinetLibrary.h"
#include "ostrivane/Version.h"
#include "platform/fs/RemoveOnTermination.h"

#include <QApplication>

int main(int argc, char** argv) {
    Q_INIT_RESOURCE(ostrivane);
    // The cabinet library stays loaded for the whole run; when it is missing, every backup
    // reports that instead of writing an archive.
    LoadCabinetLibraryBesideExecutable();
    // A session that logs out during a backup ends the program by a signal: the backup's
    // temporary files and its half-written archive go with it.
    ostrivane::fs::InstallRemoveOnTermination();
    QApplication app(argc, argv);
    // The program speaks Czech only; so do Qt's own buttons, dialogs and menus.
    const auto czechTexts = ostrivane::ui::InstallQtCzechTexts();
    QApplication::setApplicationName(QStringLiteral("Ostrivane"));
    QApplication::setApplicationVersion(QString::fromLatin1(ostrivane::kVersion));
    // Only the main window's close ends the program: a dialog closed while the main window is
    // hidden in the tray must not.
    QApplication::setQuitOnLastWindowClosed(false);
    ostrivane::ui::SetApplicationTitle(ostrivane::ui::kProgramTitle);

    TfoHlavni foHlavni;
    QApplication::setWindowIcon(foHlavni.windowIcon());
    TfoVyberSouboru foVyberSouboru(&foHlavni);
    TfoOprogramu foOprogramu;
    foOprogramu.setAttribute(Qt::WA_QuitOnClose, false);
    foHlavni.SetSourceDialog(&foVyberSouboru);
    foHlavni.SetAboutDialog(&foOprogramu);
    QObject::connect(&foHlavni, &TfoHlavni::Closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    // Without a session bus the program runs on without the method.
    RestoreAppService restoreApp([&foHlavni] { foHlavni.WMRestoreApp(); });
    restoreApp.Register();

    foHlavni.show();
    return QApplication::exec();
}
