// Runs killed at random moments around the commit of their output: whatever the moment, the
// file being replaced holds afterwards either its complete old content or the complete new one.
// CODESHIFT_KILLS sets how many runs are killed (40 unless it says otherwise).
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultKills = 40;
constexpr int kCalibrationRuns = 3;
constexpr int kEventWaitMs = 20000;

// 256 KiB of text read as 1252 and written as UTF-16: the write takes a moment, so a kill can
// fall before, during and after the commit.
std::string OldContent() {
    std::string text;
    for (int i = 0; i < 256 * 1024; ++i) {
        text.push_back(static_cast<char>(i % 64 == 63 ? '\n' : 'a' + i % 26));
    }
    return text;
}

std::string NewContent(const std::string& old) {
    std::string converted = "\xFF\xFE";
    for (char c : old) {
        converted.push_back(c);
        converted.push_back('\0');
    }
    return converted;
}

const std::vector<std::string> kArguments = {"-A1252", "-u16", "-r", "text.txt"};

// Whether the process has ended, leaving it to be waited for.
bool Ended(int process) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(process), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == process;
}

// One run watched through inotify: when its temporary appeared, when the target was replaced.
class WatchedRun {
public:
    explicit WatchedRun(const std::string& folder) {
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ >= 0) {
            inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO);
        }
    }
    ~WatchedRun() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    bool watching() const { return fd_ >= 0; }

    // Waits until a file other than the target is created (`temporary`: the run's temporary)
    // or a file is moved onto the target's name (the commit); false when the event did not come
    // in time or `process` ended without it.
    bool WaitFor(bool temporary, int process) {
        Clock::time_point limit = Clock::now() + std::chrono::milliseconds(kEventWaitMs);
        while (Clock::now() < limit) {
            bool ended = process > 0 && Ended(process);
            Read(ended ? 0 : 1);
            while (!events_.empty()) {
                auto [mask, name] = events_.front();
                events_.pop_front();
                bool created = (mask & IN_CREATE) != 0 && name != "text.txt";
                bool moved = (mask & IN_MOVED_TO) != 0 && name == "text.txt";
                if ((temporary && created) || (!temporary && moved)) {
                    return true;
                }
            }
            if (ended) {
                return false;
            }
        }
        return false;
    }

private:
    // Queues the events that come within `milliseconds`.
    void Read(int milliseconds) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, milliseconds) <= 0) {
            return;
        }
        alignas(inotify_event) char buffer[4096];
        ssize_t n = read(fd_, buffer, sizeof(buffer));
        for (ssize_t at = 0; at < n;) {
            const inotify_event* e = reinterpret_cast<const inotify_event*>(buffer + at);
            events_.emplace_back(e->mask, e->len > 0 ? std::string(e->name) : std::string());
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }

    int fd_ = -1;
    std::deque<std::pair<uint32_t, std::string>> events_;
};

int KillCount() {
    const char* text = std::getenv("CODESHIFT_KILLS");
    int kills = text != nullptr ? std::atoi(text) : 0;
    return kills > 0 ? kills : kDefaultKills;
}

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// From the temporary's appearance to the replacement of the target, in a run let finish.
double CommitDelayMs(const std::string& old, const std::string& converted) {
    std::vector<double> delays;
    for (int i = 0; i < kCalibrationRuns; ++i) {
        std::string folder = MakeTempDir();
        WriteBytes(folder + "/text.txt", old);
        WatchedRun watch(folder);
        int process = StartProgram(kArguments, folder);
        bool started = watch.WaitFor(true, process);
        Clock::time_point created = Clock::now();
        bool moved = started && watch.WaitFor(false, process);
        double delay = Milliseconds(Clock::now() - created);
        EXPECT_EQ(WaitForProgram(process), 0);
        EXPECT_TRUE(moved) << "no temporary and commit seen";
        EXPECT_TRUE(ReadBytes(folder + "/text.txt") == converted);
        RemoveTree(folder);
        if (moved) {
            delays.push_back(delay);
        }
    }
    if (delays.empty()) {
        return 0;
    }
    std::sort(delays.begin(), delays.end());
    return delays[delays.size() / 2];
}

TEST(CommitKills, TargetIsAlwaysTheWholeOldOrTheWholeNewFile) {
    const std::string old = OldContent();
    const std::string converted = NewContent(old);
    double commitMs = CommitDelayMs(old, converted);
    ASSERT_GT(commitMs, 0.0);

    // Kill moments spread evenly from the temporary's creation to twice the usual time of the
    // commit, so that about half fall before it and half after.
    std::mt19937 random(std::random_device{}());
    std::uniform_real_distribution<double> moment(0.0, 2.0 * commitMs);
    int kills = KillCount();
    int tried = 0;
    int held = 0;
    int keptOld = 0;
    int tookNew = 0;
    for (int i = 0; i < kills; ++i) {
        std::string folder = MakeTempDir();
        WriteBytes(folder + "/text.txt", old);
        WatchedRun watch(folder);
        ASSERT_TRUE(watch.watching());
        int process = StartProgram(kArguments, folder);
        ASSERT_GT(process, 0);
        bool created = watch.WaitFor(true, process);
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(moment(random)));
        kill(process, SIGKILL);
        int exitCode = WaitForProgram(process);
        EXPECT_TRUE(created || exitCode != 0) << "the run ended without a temporary";
        std::string now = ReadBytes(folder + "/text.txt");
        ++tried;
        if (now == old || now == converted) {
            ++held;
            ++(now == old ? keptOld : tookNew);
        } else {
            ADD_FAILURE() << "kill " << i + 1 << ": the file holds " << now.size()
                          << " bytes, neither the old " << old.size() << " nor the new "
                          << converted.size();
        }
        RemoveTree(folder);
    }
    std::printf(
        "kills around the commit (%s): tried %d, held %d; the file was old %d times, "
        "new %d times; commit %.1f ms after the temporary\n",
        Flavor().c_str(), tried, held, keptOld, tookNew, commitMs);
    EXPECT_EQ(held, tried);
}

}  // namespace
