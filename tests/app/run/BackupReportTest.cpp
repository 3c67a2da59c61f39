#include "app/run/BackupReport.h"

#include "archive/model/ErrorCodes.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using ostrivane::BackupReport;

TEST(BackupReportTest, AUserCancelIsNoError) {
    BackupReport report;
    report.Add(kErrUserCanceled, "/src/a.txt", "");
    EXPECT_TRUE(report.Empty());
}

TEST(BackupReportTest, TheMessageNamesTheArchiveAndEveryReportWithItsFile) {
    BackupReport report;
    report.Add(kErrOpeningFile, "/src/locked.txt", "");
    report.Add(kErrDiskFull, "/dest/data.cab", "");
    const std::string message = report.Message("/dest/data.cab");
    EXPECT_NE(message.find("/dest/data.cab nebyla dokončena !"), std::string::npos);
    EXPECT_NE(message.find("Soubor nelze otevřít (25235): /src/locked.txt"), std::string::npos);
    EXPECT_NE(message.find("Disk je plný (25160): /dest/data.cab"), std::string::npos);
    EXPECT_LT(message.find("25235"), message.find("25160"));
}

TEST(BackupReportTest, EveryCodeAndSystemErrorIsToldInCzech) {
    // The engine's fixed English texts never reach the user's message.
    for (const int code :
         {kErrWritingFile, kErrDiskFull, kErrNotAccessible, kErrWriteProtected, kErrFileTooLarge,
          kErrNameNotStorable, kErrVerifyFailed, kErrFileChanged, kErrOpeningFile,
          kErrUnsupportedArc, kErrCabinetDllMissing, kErrNothingToDo, kErrRequiredEvent,
          kErrRequiredProperty, kErrUserCanceled}) {
        EXPECT_NE(ostrivane::EngineErrorText(code), ErrorText(code)) << code;
        EXPECT_EQ(ostrivane::EngineErrorText(code).find("Error"), std::string::npos) << code;
    }
    EXPECT_EQ(ostrivane::EngineErrorText(kErrUserCanceled), "Zrušeno uživatelem");
    EXPECT_EQ(ostrivane::EngineErrorText(12345), "Chyba 12345");
    EXPECT_EQ(ostrivane::SystemErrorText(ENOSPC), "na disku není volné místo");
    // A folder is an "adresář" in the run's messages, as in the window.
    EXPECT_EQ(ostrivane::SystemErrorText(ENOENT), "soubor nebo adresář neexistuje");
    EXPECT_EQ(ostrivane::SystemErrorText(ETIMEDOUT), "síťový disk není dostupný");
    EXPECT_NE(ostrivane::LockFailedText("/d", EACCES).find("(přístup odepřen)"), std::string::npos);
}

TEST(BackupReportTest, ARunOwnTextIsListedAsItStands) {
    BackupReport report;
    report.AddText("Jiná kopie programu právě zálohuje do stejného adresáře.");
    EXPECT_FALSE(report.Empty());
    EXPECT_NE(report.Message("/d/x.cab").find("\nJiná kopie programu"), std::string::npos);
}

TEST(BackupReportTest, ALongListIsCutAndTheRestCounted) {
    BackupReport report;
    for (int i = 0; i < 40; ++i)
        report.Add(kErrOpeningFile, "/src/f" + std::to_string(i), "");
    const std::string message = report.Message("/d/x.cab");
    EXPECT_NE(message.find("/src/f14"), std::string::npos);
    EXPECT_EQ(message.find("/src/f15"), std::string::npos);
    EXPECT_NE(message.find("a dalších hlášení: 25"), std::string::npos);
}

} // namespace
