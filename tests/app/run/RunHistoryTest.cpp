// The history of runs: one line of JSON per run with every field escaped, read back past damaged
// lines, kept to the last 1,000 runs, and a history that cannot be written failing without a
// throw. Times are written in Europe/Prague.
#include "app/run/RunHistory.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono;
using ostrivane::run::RunHistory;
using ostrivane::run::RunOrigin;
using ostrivane::run::RunRecord;
using ostrivane::run::RunResult;

using testsupport::ReadFile;
using testsupport::WriteFile;

std::size_t LineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

unsigned Mode(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Run `number`: 8 December 2026, 17:00 UTC (18:00 in Prague) plus `number` minutes.
RunRecord NumberedRun(int number, RunResult result = RunResult::Ok) {
    RunRecord run;
    run.Start = sys_days(year(2026) / 12 / 8) + hours(17) + minutes(number);
    run.End = run.Start + seconds(30);
    run.Origin = RunOrigin::Scheduled;
    run.Result = result;
    run.Archive = "/home/me/Zalohy/data.cab";
    run.Parts = 1;
    run.Files = number;
    return run;
}

class RunHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "Europe/Prague", 1);
        ::tzset();
    }

    std::filesystem::path History() const { return folder / "history.jsonl"; }

    const testsupport::Scratch scratch;
    const std::filesystem::path root = scratch.Folder();
    const std::filesystem::path folder = root / "state" / "ostrivane";
};

TEST_F(RunHistoryTest, ALineHoldsEveryFieldEscapedAndReadsBack) {
    RunRecord run;
    run.Start = sys_days(year(2026) / 12 / 8) + hours(17) + seconds(3) + milliseconds(700);
    run.End = run.Start + seconds(67);
    run.Origin = RunOrigin::Missed;
    run.Result = RunResult::Failed;
    run.Job = "/home/já/job.cab";
    run.Archive = "/home/já/\"q\"\\b\tx\x01 😀.cab";
    run.Parts = 2;
    run.Files = 12;
    run.Bytes = 5'000'000'000;
    run.ArchiveBytes = 123;
    run.Message = "Chyba:\nřádek \"2\"\r\x7f\xff";

    const RunHistory history(folder.string());
    EXPECT_EQ(history.Path(), History().string());
    ASSERT_TRUE(history.Append(run));
    EXPECT_EQ(ReadFile(History()),
              "{\"start\":\"2026-12-08T18:00:03+01:00\",\"end\":\"2026-12-08T18:01:10+01:00\","
              "\"origin\":\"missed\",\"result\":\"failed\",\"verified\":false,"
              "\"job\":\"/home/já/job.cab\",\"archive\":\"/home/já/\\\"q\\\"\\\\b\\tx\\u0001 "
              "😀.cab\",\"parts\":2,"
              "\"files\":12,\"bytes\":5000000000,\"archive_bytes\":123,"
              "\"message\":\"Chyba:\\nřádek \\\"2\\\"\\r\x7f\\ufffd\"}\n");
    // The state is the user's own.
    EXPECT_EQ(Mode(folder), 0700u);
    EXPECT_EQ(Mode(History()), 0600u);

    // A summer run has the summer offset.
    RunRecord summer = NumberedRun(0, RunResult::Ok);
    summer.Verified = true;
    summer.Start = sys_days(year(2026) / 7 / 1) + hours(10);
    summer.Origin = RunOrigin::Command;
    ASSERT_TRUE(history.Append(summer));
    EXPECT_NE(ReadFile(History()).find("\"start\":\"2026-07-01T12:00:00+02:00\""),
              std::string::npos);
    EXPECT_NE(ReadFile(History()).find("\"result\":\"ok\",\"verified\":true,"), std::string::npos);

    const std::vector<RunRecord> runs = history.Read();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Start, floor<seconds>(run.Start));
    EXPECT_EQ(runs[0].End, floor<seconds>(run.End));
    EXPECT_EQ(runs[0].Origin, RunOrigin::Missed);
    EXPECT_EQ(runs[0].Result, RunResult::Failed);
    EXPECT_EQ(runs[0].Job, run.Job);
    EXPECT_FALSE(runs[0].Verified);
    EXPECT_EQ(runs[0].Archive, run.Archive);
    EXPECT_EQ(runs[0].Parts, 2);
    EXPECT_EQ(runs[0].Files, 12);
    EXPECT_EQ(runs[0].Bytes, 5'000'000'000u);
    EXPECT_EQ(runs[0].ArchiveBytes, 123u);
    EXPECT_EQ(runs[0].Message, "Chyba:\nřádek \"2\"\r\x7f\xEF\xBF\xBD");
    EXPECT_EQ(runs[1].Start, summer.Start);
    EXPECT_EQ(runs[1].Origin, RunOrigin::Command);
    EXPECT_EQ(runs[1].Result, RunResult::Ok);
    EXPECT_TRUE(runs[1].Verified);

    // Python's reader, independent of this one, takes every line.
    if (::access("/usr/bin/python3", X_OK) == 0) {
        const std::string check =
            "/usr/bin/python3 -c 'import json,sys; "
            "[json.loads(l) for l in open(sys.argv[1], encoding=\"utf-8\")]' " +
            History().string();
        EXPECT_EQ(std::system(check.c_str()), 0);
    }
}

TEST_F(RunHistoryTest, DamagedLinesAreSkippedAndACutLineStaysAlone) {
    std::filesystem::create_directories(folder);
    const std::string good = ostrivane::run::HistoryLine(NumberedRun(1));
    WriteFile(History(), good + "\nnot json\n{\"start\":\"2026-12-08T18:00:00+01:00\"}\n" +
                             "{\"start\":\"2026-13-08T18:00:00+01:00\",\"end\":\"x\","
                             "\"origin\":\"manual\",\"result\":\"ok\"}\n" +
                             good.substr(0, good.size() - 1) + ",\"origin\":\"later\"}\n" +
                             good.substr(0, 40));
    const RunHistory history(folder.string());
    ASSERT_TRUE(history.Append(NumberedRun(2, RunResult::Failed)));
    const std::vector<RunRecord> runs = history.Read();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Files, 1);
    EXPECT_EQ(runs[1].Files, 2);
    EXPECT_EQ(runs[1].Result, RunResult::Failed);
    EXPECT_EQ(LineCount(ReadFile(History())), 7u);
}

TEST_F(RunHistoryTest, ALineWithoutJobOrReadBackIsReadAsTheRunOfItsArchive) {
    // Lines of the days before a run named its job and its read-back: "ok" meant verified then.
    std::filesystem::create_directories(folder);
    const std::string times = "{\"start\":\"2026-12-08T18:00:00+01:00\",\"end\":"
                              "\"2026-12-08T18:01:00+01:00\",\"origin\":\"command\",";
    WriteFile(History(), times + "\"result\":\"ok\",\"archive\":\"/z//a/./b.cab\"}\n" + times +
                             "\"result\":\"failed\",\"archive\":\"b.cab\"}\n" + times +
                             "\"result\":\"ok\",\"verified\":\"yes\",\"archive\":\"/b.cab\"}\n");
    const std::vector<RunRecord> runs = RunHistory(folder.string()).Read();
    ASSERT_EQ(runs.size(), 2u) << "a \"verified\" that is no Boolean is a damaged line";
    EXPECT_EQ(runs[0].Job, "/z/a/b.cab");
    EXPECT_TRUE(runs[0].Verified);
    EXPECT_EQ(runs[1].Job, "b.cab");
    EXPECT_FALSE(runs[1].Verified);
}

TEST(JobStanding, TheJobsLastRunAndLastVerifiedBackupInTheFilesOrder) {
    using ostrivane::run::JobOfArchive;
    using ostrivane::run::StandingOfJob;
    EXPECT_EQ(JobOfArchive("/home/me//Zalohy/./x/../data.cab"), "/home/me/Zalohy/data.cab");
    EXPECT_EQ(JobOfArchive("data.cab").front(), '/');

    const auto run = [](int number, const std::string& job, RunResult result, bool verified) {
        RunRecord record = NumberedRun(number, result);
        record.Job = job;
        record.Verified = verified;
        return record;
    };
    // A run a day ahead comes first in the file: the file's order, not the time, decides.
    RunRecord ahead = run(1, "/a.cab", RunResult::Ok, true);
    ahead.Start += days(1);
    const std::vector<RunRecord> runs = {ahead,
                                         run(2, "/a.cab", RunResult::Ok, true),
                                         run(3, "/other.cab", RunResult::Ok, true),
                                         run(4, "/a.cab", RunResult::Ok, false),
                                         run(5, "/a.cab", RunResult::Failed, false),
                                         run(6, "/other.cab", RunResult::Failed, false)};
    const auto standing = StandingOfJob(runs, "/a.cab");
    ASSERT_TRUE(standing.Latest && standing.LastVerified);
    EXPECT_EQ(standing.Latest->Files, 5);
    EXPECT_EQ(standing.LastVerified->Files, 2);
    const auto none = StandingOfJob(runs, "/none.cab");
    EXPECT_FALSE(none.Latest || none.LastVerified);
}

TEST_F(RunHistoryTest, KeepsTheLastThousandRuns) {
    std::filesystem::create_directories(folder);
    std::string lines;
    for (int number = 1; number <= 999; ++number)
        lines += ostrivane::run::HistoryLine(NumberedRun(number)) + '\n';
    WriteFile(History(), lines);
    ::chmod(History().c_str(), 0600);

    const RunHistory history(folder.string());
    ASSERT_TRUE(history.Append(NumberedRun(1000)));
    EXPECT_EQ(LineCount(ReadFile(History())), 1000u);
    ASSERT_TRUE(history.Append(NumberedRun(1001)));
    ASSERT_TRUE(history.Append(NumberedRun(1002)));
    EXPECT_EQ(LineCount(ReadFile(History())), 1000u);
    const std::vector<RunRecord> runs = history.Read();
    ASSERT_EQ(runs.size(), 1000u);
    EXPECT_EQ(runs.front().Files, 3);
    EXPECT_EQ(runs.back().Files, 1002);
    EXPECT_EQ(Mode(History()), 0600u);
}

TEST_F(RunHistoryTest, AHistoryThatCannotBeWrittenFailsWithoutAThrow) {
    // A file where the state folder's parent should be: no one, root included, makes a folder
    // under it.
    WriteFile(root / "state", "a file");
    const RunHistory blocked(folder.string());
    EXPECT_FALSE(blocked.Append(NumberedRun(1)));
    EXPECT_TRUE(blocked.Read().empty());
    // A folder where the file should be.
    std::filesystem::remove(root / "state");
    std::filesystem::create_directories(History());
    EXPECT_FALSE(RunHistory(folder.string()).Append(NumberedRun(1)));
    // No home at all: nothing is kept.
    EXPECT_FALSE(RunHistory(std::string()).Append(NumberedRun(1)));
}

TEST(StateFolder, IsTheXdgStateHomeOrTheHomesLocalState) {
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    const char* state = std::getenv("XDG_STATE_HOME");
    const std::string oldState = state != nullptr ? state : "";
    ::setenv("HOME", "/home/me", 1);
    ::setenv("XDG_STATE_HOME", "/var/state/me/", 1);
    EXPECT_EQ(ostrivane::run::StateFolder(), "/var/state/me/ostrivane");
    ::setenv("XDG_STATE_HOME", "relative/state", 1);
    EXPECT_EQ(ostrivane::run::StateFolder(), "/home/me/.local/state/ostrivane");
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(ostrivane::run::StateFolder(), "/home/me/.local/state/ostrivane");
    ::unsetenv("HOME");
    EXPECT_EQ(ostrivane::run::StateFolder(), "");
    ::setenv("HOME", home.c_str(), 1);
    if (state != nullptr)
        ::setenv("XDG_STATE_HOME", oldState.c_str(), 1);
}

} // namespace
