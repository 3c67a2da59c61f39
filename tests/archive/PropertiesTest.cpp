// Property defaults and setter rules, error reporting and the stopwatch.
#include "ArchiveTestSupport.h"
#include "platform/fs/DosDateTime.h"

#include "platform/fs/FileSystem.h"

#include <chrono>
#include <initializer_list>
#include <thread>
#include <utility>

namespace {

// Sets each value of `rule` in turn; after each, the property reads as the value paired with it.
template <class Value, class Reads, class Set, class Get>
void ExpectRule(Set set, Get get, std::initializer_list<std::pair<Value, Reads>> rule) {
    for (const auto& [value, reads] : rule) {
        set(value);
        EXPECT_EQ(get(), reads) << "after " << ::testing::PrintToString(value);
    }
}

} // namespace

TEST(Properties, CabinetDefaults) {
    RecordingCab cab;
    EXPECT_EQ(cab.ArcType(), atCab);
    EXPECT_EQ(cab.DefaultExt(), ".CAB");
    EXPECT_EQ(cab.CompressMethod(), cmMsZip);
    EXPECT_TRUE(cab.RecurseDirs());
    EXPECT_EQ(cab.StoredDirNames(), sdRelative);
    EXPECT_EQ(cab.Attributes(), (TvrkFileAttrs{fsZeroAttr, fsReadOnly, fsArchive}));
    EXPECT_TRUE(cab.AttributesEx().Empty());
    EXPECT_EQ(cab.LzxLevel(), 21);
    EXPECT_EQ(cab.QuantumLevel(), 7);
    EXPECT_EQ(cab.QuantumMemory(), 21);
    EXPECT_EQ(cab.QuantumType(), ctMsZip);
    EXPECT_TRUE(cab.FailOnIncompressible());
    EXPECT_TRUE(cab.TranslateOemChar());
    EXPECT_EQ(cab.DeleteOptions(), doAllowUndo);
    EXPECT_EQ(cab.DateAttribute(), daFileDate);
    EXPECT_EQ(cab.OperationMode, omAdd);
    EXPECT_FALSE(cab.StoreEmptyDirs);
}

TEST(Properties, CompressMethodTakesOnlyCabinetMethods) {
    RecordingCab cab;
    ExpectRule<TCompressMethod, TCompressMethod>(
        [&](TCompressMethod m) { cab.SetCompressMethod(m); }, [&] { return cab.CompressMethod(); },
        {{cmDeflate, cmMsZip},
         {cmLzx, cmLzx},
         {cmTarGzip, cmLzx},
         {cmQuantum, cmQuantum},
         {cmStore, cmStore}});
}

TEST(Properties, LevelsAreClamped) {
    RecordingCab cab;
    ExpectRule<int, int>([&](int level) { cab.SetLzxLevel(level); }, [&] { return cab.LzxLevel(); },
                         {{40, 21}, {3, 15}});
    ExpectRule<int, int>([&](int memory) { cab.SetQuantumMemory(memory); },
                         [&] { return cab.QuantumMemory(); }, {{0, 10}});
    ExpectRule<int, int>([&](int level) { cab.SetQuantumLevel(level); },
                         [&] { return cab.QuantumLevel(); }, {{9, 7}, {0, 1}});
}

TEST(Properties, ArchiveFileGetsDefaultExtensionAndKeepsSlashes) {
    RecordingCab cab;
    cab.SetDefaultExt(".cab");
    ExpectRule<std::string, std::string>(
        [&](const std::string& name) { cab.SetArchiveFile(name); },
        [&] { return cab.ArchiveFile(); },
        {{"/zalohy/200212312345", "/zalohy/200212312345.cab"},
         {"/zalohy/x.cab", "/zalohy/x.cab"},
         {"/zalohy.d/x", "/zalohy.d/x.cab"}, // a dot in a folder name is no extension
         {"", ""}});
}

TEST(Properties, ArchiveFileClearsCancel) {
    RecordingCab cab;
    cab.SetCancel(true);
    cab.SetArchiveFile("/x/a.cab");
    EXPECT_FALSE(cab.GetCancel());
}

TEST(Properties, ArchiveFileWhileLoadingNeedsAnExistingFile) {
    Scratch dir;
    WriteFile(dir / "old.cab");
    RecordingCab cab;
    cab.BeginLoading();
    cab.SetArchiveFile(dir / "missing.cab");
    EXPECT_EQ(cab.ArchiveFile(), "");
    cab.SetArchiveFile(dir / "old.cab");
    EXPECT_EQ(cab.ArchiveFile(), dir / "old.cab");
    cab.EndLoading();
}

TEST(Properties, DefaultExtRules) {
    RecordingCab cab;
    ExpectRule<std::string, std::string>(
        [&](const std::string& ext) { cab.SetDefaultExt(ext); }, [&] { return cab.DefaultExt(); },
        {{"backup", ".bac"}, {"", ".CAB"}, {".", ".CAB"}, {".ZIP", ".zip"}});

    cab.SetArchiveFile("/a/x.ZIP"); // extension equal to the default, ignoring case
    cab.SetDefaultExt(".cab");
    EXPECT_EQ(cab.ArchiveFile(), "/a/x.cab");
    cab.SetArchiveFile("/a/x.txt"); // another extension stays
    cab.SetDefaultExt(".arc");
    EXPECT_EQ(cab.ArchiveFile(), "/a/x.txt");
}

TEST(Properties, AttributeSettersOfTheRunSetUp) {
    RecordingCab cab;
    for (TvrkFileAttr a : {fsZeroAttr, fsArchive, fsDirectory, fsHidden, fsReadOnly, fsSysFile})
        cab.SetAttribute(a, true);
    for (TvrkFileAttr a : {fsZeroAttr, fsArchive, fsDirectory, fsHidden, fsReadOnly, fsSysFile})
        cab.SetAttributeEx(a, false);
    for (TvrkFileAttr a : {fsZeroAttr, fsArchive, fsDirectory, fsHidden, fsReadOnly, fsSysFile})
        EXPECT_TRUE(cab.Attributes().Contains(a)) << int(a);
    EXPECT_FALSE(cab.Attributes().Contains(fsVolumeID));
    EXPECT_TRUE(cab.AttributesEx().Empty());
    cab.SetAttribute(fsArchive, false);
    EXPECT_FALSE(cab.Attributes().Contains(fsArchive));
}

TEST(Properties, AttributeFilterTable) {
    TvrkFileAttrs zero{fsZeroAttr};
    EXPECT_TRUE(zero.Passes(0));
    EXPECT_TRUE(zero.Passes(0x80));
    EXPECT_FALSE(zero.Passes(0x20));
    EXPECT_FALSE(TvrkFileAttrs{fsVolumeID}.Passes(0x08));
    EXPECT_FALSE(TvrkFileAttrs{}.Passes(0x20));
    EXPECT_TRUE((TvrkFileAttrs{fsReadOnly, fsDirectory}.Passes(0x10)));
}

TEST(Properties, TempDirFallsBackToTheSystemFolder) {
    RecordingCab cab;
    cab.SetTempDir("");
    EXPECT_EQ(cab.TempDir(), ostrivane::fs::SystemTempPath());
    Scratch dir;
    {
        std::string vanishing = dir / "gone";
        MakeDir(vanishing);
        cab.SetTempDir(vanishing);
        EXPECT_EQ(cab.TempDir(), vanishing + "/");
        ::rmdir(vanishing.c_str());
        EXPECT_EQ(cab.TempDir(), ostrivane::fs::SystemTempPath());
    }
}

TEST(Properties, TempDirAsksBeforeCreatingAMissingFolder) {
    Scratch dir;
    RecordingCab cab;
    std::vector<std::string> questions;
    cab.Hooks.ConfirmYesNo = [&](const std::string& text) {
        questions.push_back(text);
        return true;
    };
    std::string nested = dir / "a/b/c";
    cab.SetTempDir(nested);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], nested + "/\r\rDirectory does not exist... Create?");
    EXPECT_TRUE(ostrivane::fs::IsDirectory(nested));
    EXPECT_EQ(cab.TempDir(), nested + "/");

    cab.Hooks.ConfirmYesNo = [](const std::string&) { return false; };
    cab.SetTempDir(dir / "refused");
    EXPECT_FALSE(ostrivane::fs::IsDirectory(dir / "refused"));
    EXPECT_EQ(cab.TempDir(), ostrivane::fs::SystemTempPath());
}

TEST(Properties, TempDirDefaultHookAnswersNo) {
    Scratch dir;
    RecordingCab cab;
    cab.SetTempDir(dir / "never");
    EXPECT_FALSE(ostrivane::fs::IsDirectory(dir / "never"));
    EXPECT_EQ(cab.TempDir(), ostrivane::fs::SystemTempPath());
}

TEST(ErrorReporting, DoErrorReportsUserCanceledWhileCancelIsSet) {
    RecordingCab cab;
    cab.DoError("f", "ext", kErrDiskFull, "0");
    ASSERT_EQ(cab.Errors.size(), 1u);
    EXPECT_EQ(cab.Errors[0].Code, kErrDiskFull);
    EXPECT_EQ(cab.Errors[0].FileName, "f");
    EXPECT_EQ(cab.Errors[0].ExtendedMsg, "ext");
    *cab.CancelFlag() = true;
    cab.DoError("f", "", kErrDiskFull, "0");
    EXPECT_EQ(cab.Errors.back().Code, kErrUserCanceled);
}

TEST(ErrorReporting, SetCancelReportsWithTheStoredName) {
    RecordingCab cab;
    cab.CurrentEntry.StoredName = "Data/x.txt";
    cab.SetCancel(true);
    ASSERT_EQ(cab.Errors.size(), 1u);
    EXPECT_EQ(cab.Errors[0].Code, kErrUserCanceled);
    EXPECT_EQ(cab.Errors[0].FileName, "Data/x.txt");
    cab.SetCancel(false);
    EXPECT_EQ(cab.Errors.size(), 1u);
}

TEST(ErrorReporting, RaiseErrorThrowsTheTextUnlessCancelled) {
    RecordingCab cab;
    try {
        cab.RaiseError("a.cab", kErrCabinetDllMissing, "0", "");
        FAIL() << "no exception";
    } catch (const E_RAISE& e) {
        EXPECT_STREQ(e.what(), "Cabinet.dll not found");
        EXPECT_EQ(e.ECode, kErrCabinetDllMissing);
    }
    EXPECT_EQ(cab.Errors.back().Code, kErrCabinetDllMissing);
    *cab.CancelFlag() = true;
    EXPECT_NO_THROW(cab.RaiseError("a.cab", kErrCabinetDllMissing, "0", ""));
    EXPECT_EQ(cab.Errors.back().Code, kErrUserCanceled);
}

TEST(ErrorReporting, TextsOfTheCodes) {
    EXPECT_EQ(ErrorText(25268), "Nothing to do");
    EXPECT_EQ(ErrorText(25443), "User canceled");
    EXPECT_EQ(ErrorText(25170), "is not accessible");
    EXPECT_EQ(ErrorText(25171), "disk is write protected");
    EXPECT_EQ(ErrorText(25160), "Disk full");
    EXPECT_EQ(ErrorText(25235), "Error opening file");
    EXPECT_EQ(ErrorText(25270), "Required event not assigned");
    EXPECT_EQ(ErrorText(25181), "File too large for a cabinet");
}

TEST(ErrorReporting, StopwatchIsPausedWhileAnErrorIsReported) {
    RecordingCab cab;
    cab.OnError = [](TComponent*, const std::string&, const std::string&, const std::string&, int) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    };
    cab.Timer.Start();
    cab.DoError("", "", kErrDiskFull, "");
    cab.Timer.Stop();
    EXPECT_LT(cab.Timer.ElapsedTime, 0.3f);
}

TEST(Progress, ProcessesEventsBeforeOnProgress) {
    RecordingCab cab;
    std::vector<std::string> order;
    cab.Hooks.ProcessMessages = [&] { order.push_back("events"); };
    cab.OnProgress = [&](TComponent*, std::uint8_t f, std::uint8_t a) {
        order.push_back("progress " + std::to_string(f) + " " + std::to_string(a));
    };
    cab.DoProgress(40, 7);
    EXPECT_EQ(order, (std::vector<std::string>{"events", "progress 40 7"}));
}

TEST(DosDates, ConversionsAndTheDateAttributeRule) {
    RecordingCab cab;
    EXPECT_DOUBLE_EQ(cab.DosDateToDateTime(0), 29221.0 + 1.0 / 1440.0);
    std::uint32_t dos = ostrivane::fs::PackDosDateTime(2002, 12, 31, 23, 45, 10);
    // 2002-12-31 is day 37621 of the Delphi calendar.
    EXPECT_DOUBLE_EQ(cab.DosDateToDateTime(dos), 37621.0 + (23 * 3600 + 45 * 60 + 10) / 86400.0);
    EXPECT_EQ(cab.ApplyDateAttribute(dos), dos);
    cab.NewestDosDate = ostrivane::fs::PackDosDateTime(2020, 1, 2, 3, 4, 6);
    cab.SetDateAttribute(daMaxFileDate);
    EXPECT_EQ(cab.ApplyDateAttribute(dos), cab.NewestDosDate);
    cab.SetDateAttribute(daSysDate);
    std::uint32_t now = cab.ApplyDateAttribute(dos);
    EXPECT_GE(1980 + static_cast<int>(now >> 25), 2024);
}
