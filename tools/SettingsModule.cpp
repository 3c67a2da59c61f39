#include "tools/SettingsModule.h"

#include "app/job/SettingsBackup.h"
#include "settings/SettingsLocation.h"

#include <QFile>

#include <type_traits>

extern "C" __attribute__((visibility("default"))) void
OstrivaneReadSettingsBackup(const char* settingsFile, const char* programFolder,
                            cabtool::SettingsRead* out) {
    QString path = QFile::decodeName(settingsFile);
    if (path.isEmpty()) {
        // The window's file: the program and the front end live in one folder.
        QString folder = QFile::decodeName(programFolder);
        if (folder.size() > 1 && folder.endsWith(u'/'))
            folder.chop(1);
        path = ostrivane::settings::ChooseSettingsPath(folder);
    }
    const ostrivane::job::SettingsBackup backup =
        ostrivane::job::BackupFromSettings(path, ostrivane::run::RunOrigin::Command);
    out->Path = QFile::encodeName(path).toStdString();
    out->FileMissing = backup.FileMissing;
    if (backup.Problem)
        out->Problem = backup.Problem->toStdString();
    out->Request = backup.Request;
}

// Checked where the type is declared: the entry point is what the front end calls.
static_assert(std::is_same_v<decltype(OstrivaneReadSettingsBackup), cabtool::SettingsReader>);
