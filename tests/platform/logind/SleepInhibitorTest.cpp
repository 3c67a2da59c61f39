// The sleep inhibitor asks logind for its lock with the program's own words, holds the descriptor
// while it lives and gives it back when it goes; without logind or without a bus it does nothing
// and prints nothing. A stand-in login1 service runs on the private session bus of the test
// (dbus-run-session), which the inhibitor reaches as its system bus through
// DBUS_SYSTEM_BUS_ADDRESS.
#include "platform/logind/SleepInhibitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <systemd/sd-bus.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using ostrivane::logind::SleepInhibitor;

// Answers org.freedesktop.login1.Manager.Inhibit with the write end of a pipe, as logind answers
// with the write end of a FIFO, and keeps no copy of it. The read end sees its hang-up once every
// copy of the write end is closed.
class StandInLogind {
public:
    StandInLogind() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) == 0) {
            readEnd_.Reset(fds[0]);
            writeEnd_.Reset(fds[1]);
        }
        thread_ = std::thread([this] { Serve(); });
        std::unique_lock lock(mutex_);
        startedChanged_.wait(lock, [this] { return started_; });
    }
    ~StandInLogind() {
        stop_ = true;
        thread_.join();
    }

    bool Serving() const { return serving_; }
    std::vector<std::string> Arguments() {
        std::lock_guard lock(mutex_);
        return arguments_;
    }
    // True when the pipe's write end is closed everywhere within `ms` milliseconds.
    bool HungUpWithin(int ms) const {
        pollfd p{readEnd_.Get(), POLLIN, 0};
        return ::poll(&p, 1, ms) == 1 && (p.revents & POLLHUP) != 0;
    }

private:
    static int OnInhibit(sd_bus_message* call, void* self, sd_bus_error*) {
        auto& logind = *static_cast<StandInLogind*>(self);
        const char* what = nullptr;
        const char* who = nullptr;
        const char* why = nullptr;
        const char* mode = nullptr;
        int r = sd_bus_message_read(call, "ssss", &what, &who, &why, &mode);
        if (r < 0)
            return r;
        {
            std::lock_guard lock(logind.mutex_);
            logind.arguments_ = {what, who, why, mode};
        }
        // The reply carries its own copy of the descriptor.
        r = sd_bus_reply_method_return(call, "h", logind.writeEnd_.Get());
        logind.writeEnd_.Reset();
        return r;
    }

    void Serve() {
        static const sd_bus_vtable kManager[] = {SD_BUS_VTABLE_START(0),
                                                 SD_BUS_METHOD("Inhibit", "ssss", "h",
                                                               &StandInLogind::OnInhibit,
                                                               SD_BUS_VTABLE_UNPRIVILEGED),
                                                 SD_BUS_VTABLE_END};
        sd_bus* bus = nullptr;
        sd_bus_slot* slot = nullptr;
        serving_ =
            sd_bus_open_user(&bus) >= 0 &&
            sd_bus_add_object_vtable(bus, &slot, "/org/freedesktop/login1",
                                     "org.freedesktop.login1.Manager", kManager, this) >= 0 &&
            sd_bus_request_name(bus, "org.freedesktop.login1", 0) >= 0;
        {
            std::lock_guard lock(mutex_);
            started_ = true;
        }
        startedChanged_.notify_all();
        while (serving_ && !stop_) {
            if (sd_bus_process(bus, nullptr) > 0)
                continue;
            sd_bus_wait(bus, 50'000);
        }
        sd_bus_slot_unref(slot);
        sd_bus_flush_close_unref(bus);
    }

    UniqueFd readEnd_;
    UniqueFd writeEnd_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable startedChanged_;
    bool started_ = false;
    std::atomic<bool> serving_{false};
    std::atomic<bool> stop_{false};
    std::vector<std::string> arguments_;
};

class SleepInhibitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (session == nullptr)
            GTEST_SKIP() << "needs a private bus (run under dbus-run-session)";
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", session, 1);
    }
    void TearDown() override { ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS"); }
};

TEST_F(SleepInhibitorTest, HoldsTheLockLogindGrantedUntilItGoes) {
    StandInLogind logind;
    ASSERT_TRUE(logind.Serving());
    {
        const SleepInhibitor inhibitor;
        EXPECT_TRUE(inhibitor.Held());
        EXPECT_EQ(logind.Arguments(), (std::vector<std::string>{"sleep:idle", "quenza Ostrivane",
                                                                "Probíhá záloha", "block"}));
        EXPECT_FALSE(logind.HungUpWithin(200)) << "the lock was let go while the backup runs";
    }
    EXPECT_TRUE(logind.HungUpWithin(5000)) << "the lock was kept after the backup";
}

// Prints whatever `act` writes to the standard error.
template <class Act> std::string StandardErrorOf(Act act) {
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    FILE* capture = std::tmpfile();
    ::dup2(::fileno(capture), STDERR_FILENO);
    act();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::string text;
    std::rewind(capture);
    for (int c = std::fgetc(capture); c != EOF; c = std::fgetc(capture))
        text += static_cast<char>(c);
    std::fclose(capture);
    return text;
}

TEST_F(SleepInhibitorTest, WithoutLogindOrWithoutABusHoldsNothingAndSaysNothing) {
    const std::string printed = StandardErrorOf([] {
        // A bus on which no one owns login1.
        EXPECT_FALSE(SleepInhibitor().Held());
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/ostrivane-system-bus", 1);
        EXPECT_FALSE(SleepInhibitor().Held());
    });
    EXPECT_EQ(printed, "");
}

} // namespace
