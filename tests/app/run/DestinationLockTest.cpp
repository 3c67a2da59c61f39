#include "app/run/DestinationLock.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace stdfs = std::filesystem;
using ostrivane::DestinationLock;

// flock locks belong to the open file description, so a second lock from a child process is
// what a second running copy of the program would meet.
bool ChildCanLock(const std::string& archive) {
    const pid_t child = fork();
    if (child == 0) {
        DestinationLock lock(archive);
        _exit(lock.Held() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(DestinationLockTest, ASecondCopyCannotLockTheSameFolderUntilTheFirstEnds) {
    const testsupport::Scratch scratch;
    const std::string folder = scratch.Path();
    const std::string archive = folder + "/data.cab";
    {
        DestinationLock lock(archive);
        ASSERT_TRUE(lock.Held());
        EXPECT_FALSE(ChildCanLock(archive));
    }
    EXPECT_TRUE(ChildCanLock(archive));
    // No lock file is left behind.
    EXPECT_TRUE(stdfs::is_empty(folder));
}

TEST(DestinationLockTest, AMissingFolderIsReportedAsSuchAndNotAsLocked) {
    DestinationLock lock("/nonexistent-folder-for-lock-test/data.cab");
    EXPECT_FALSE(lock.Held());
    EXPECT_TRUE(lock.FolderMissing());
}

} // namespace
