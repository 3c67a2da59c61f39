// Program start: the command line, the application, one running copy per user (a second start
// hands over to it and ends), its title, the three windows, the restore method on the session
// bus, and the event loop. Closing the main window ends the program; so does the end of the
// session, after the settings have been written.
#include "app/dialogs/TfoOprogramu.h"
#include "app/dialogs/TfoVyberSouboru.h"
#include "app/run/StateFolder.h"
#include "app/widgets/ApplicationTitle.h"
#include "app/widgets/QtCzechTexts.h"
#include "app/window/RestoreAppService.h"
#include "app/window/RunningCopyLock.h"
#include "app/window/StartArguments.h"
#include "app/window/TerminationNotifier.h"
#include "app/window/TfoHlavni.h"
#include "cabinet/component/CabinetLibrary.h"
#include "ostrivane/Version.h"
#include "platform/fs/RemoveOnTermination.h"

#include <QApplication>
#include <QSessionManager>

#include <cstdio>
#include <optional>

int main(int argc, char** argv) {
    // --help and --version need no display and start nothing.
    if (const std::optional<int> answered = ostrivane::ui::AnswerInformationArguments(argc, argv))
        return *answered;
    Q_INIT_RESOURCE(ostrivane);
    // The cabinet library stays loaded for the whole run; when it is missing, every backup
    // reports that instead of writing an archive.
    LoadCabinetLibraryBesideExecutable();
    // A signal that comes before the window is there ends the program at once; a backup's
    // temporary files and its half-written archive would go with it.
    ostrivane::fs::InstallRemoveOnTermination();
    QApplication app(argc, argv);
    // Qt has taken its own options; of the rest only "/systray" is the program's.
    if (!ostrivane::ui::CheckStartArguments(QCoreApplication::arguments()))
        return 2;

    // One copy per user runs, and it alone keeps the schedule: two would make every scheduled
    // backup twice and rotate the series twice. The session bus gives its shared name to one copy;
    // a later start asks that copy to show its window and ends. The lock file in the state folder
    // decides where there is no session bus, and between copies on different buses.
    TfoHlavni* window = nullptr;
    RestoreAppService restoreApp([&window] {
        if (window != nullptr)
            window->WMRestoreApp();
    });
    const RestoreAppService::Registration registration = restoreApp.Register();
    if (registration == RestoreAppService::Registration::Taken) {
        if (RestoreAppService::HandOver())
            return 0;
        std::fputs("ostrivane: program už běží, ale neodpovídá.\n", stderr);
        return 1;
    }
    const RunningCopyLock runningCopy(ostrivane::run::StateFolder());
    if (runningCopy.Outcome() == RunningCopyLock::State::Taken) {
        std::fputs("ostrivane: program už běží.\n", stderr);
        return 0;
    }
    // The program speaks Czech only; so do Qt's own buttons, dialogs and menus.
    const auto czechTexts = ostrivane::ui::InstallQtCzechTexts();
    QApplication::setApplicationName(QStringLiteral("Ostrivane"));
    QApplication::setApplicationVersion(QString::fromLatin1(ostrivane::kVersion));
    // Only the main window's close ends the program: a dialog closed while the main window is
    // hidden in the tray must not.
    QApplication::setQuitOnLastWindowClosed(false);
    ostrivane::ui::SetApplicationTitle(ostrivane::ui::kProgramTitle);

    TfoHlavni foHlavni;
    window = &foHlavni;
    QApplication::setWindowIcon(foHlavni.windowIcon());
    TfoVyberSouboru foVyberSouboru(&foHlavni);
    TfoOprogramu foOprogramu;
    foOprogramu.setAttribute(Qt::WA_QuitOnClose, false);
    foHlavni.SetSourceDialog(&foVyberSouboru);
    foHlavni.SetAboutDialog(&foOprogramu);
    QObject::connect(&foHlavni, &TfoHlavni::Closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    // The session ends (a logout's SIGTERM or SIGHUP, or SIGINT): the settings are written as a
    // close writes them, a running backup is cancelled (its files go as it unwinds) and the
    // program ends, with no box and no refused close to hold it; no window can keep the loop
    // going either. Before a logout the session manager may ask for the settings alone.
    TerminationNotifier termination;
    QObject::connect(&termination, &TerminationNotifier::Requested, &foHlavni, [&foHlavni] {
        foHlavni.CloseForSessionEnd();
        QCoreApplication::exit(0);
    });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &foHlavni,
                     [&foHlavni](QSessionManager&) { foHlavni.CommitSettings(); });

    foHlavni.show();
    const int result = QApplication::exec();
    // Ended by a signal: whoever waits for the process sees that signal.
    ostrivane::fs::FinishOrderlyTermination();
    return result;
}
