// Sessions are made, enumerate and are released on several threads while another process keeps
// cutting the shared device table short, growing it past the table, and writing instance counts
// into it that no table holds. Every enumeration must still list both attached cameras: the SDK
// falls back to a table of its own whenever the shared one cannot be trusted.
#include "kelvra/KelvraSdk.h"
#include "kelvra/KelvraSim.h"
#include "usb/DeviceTable.h"
#include "usb/TableTamper.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kTamperVariable = "KELVRA_STRESS_TAMPER_TABLE";
constexpr long kTableBytes = 8584;

// The tampering process: this executable started again with kTamperVariable naming the table.
// It works on the object through its file, so it never faults itself, and reports each round
// with one byte on its output.
[[noreturn]] void Tamper(const char* name) {
    const pid_t parent = ::getppid();
    const std::string path = tabletamper::ObjectPath(name);
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) ::_exit(1);
    ::fcntl(1, F_SETFL, O_NONBLOCK);  // a full pipe only stops the reports, never the tampering
    char saved[kTableBytes];
    for (unsigned round = 0; ::getppid() == parent; ++round) {
        if (::pread(fd, saved, sizeof saved, 0) != kTableBytes) continue;
        switch (round % 4) {
            case 0:  // gone entirely, then back with the same rows
            case 1:  // cut within the table
                static_cast<void>(::ftruncate(fd, round % 4 == 0 ? 0 : 4096));
                ::usleep(300);
                static_cast<void>(::pwrite(fd, saved, sizeof saved, 0));
                break;
            case 2:  // larger than a table
                static_cast<void>(::ftruncate(fd, 65536));
                ::usleep(300);
                static_cast<void>(::ftruncate(fd, kTableBytes));
                break;
            default: {  // an instance count that cannot be incremented, or one that vouches for no one
                const int32_t count = (round / 4) % 2 != 0 ? INT32_MAX : -1;
                static_cast<void>(::pwrite(fd, &count, sizeof count, 0));
                break;
            }
        }
        static_cast<void>(::write(1, "r", 1));
        ::usleep(200);
    }
    ::_exit(0);
}

// Runs before the test framework in the tampering process only.
const bool kIsTamperer = [] {
    if (const char* name = std::getenv(kTamperVariable)) Tamper(name);
    return false;
}();

double StressSeconds() {
    const char* setting = std::getenv("KELVRA_STRESS_SECONDS");
    const double seconds = setting ? std::atof(setting) : 0.0;
    return seconds > 0.0 ? seconds : 3.0;
}

class TamperingProcess {
public:
    explicit TamperingProcess(const std::string& table) {
        int pipeEnds[2];
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
        std::vector<std::string> environment{std::string(kTamperVariable) + "=" + table};
        for (char** variable = environ; *variable; ++variable) environment.emplace_back(*variable);
        std::vector<char*> envp;
        for (std::string& variable : environment) envp.push_back(variable.data());
        envp.push_back(nullptr);
        char self[] = "/proc/self/exe";
        char* argv[] = {self, nullptr};
        if (::posix_spawn(&pid, self, &actions, nullptr, argv, envp.data()) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeEnds[1]);
        reports = pipeEnds[0];
    }
    ~TamperingProcess() {
        Stop();
        if (reports >= 0) ::close(reports);
    }
    bool Started() const { return pid > 0; }
    // Stops it and returns the rounds it reported.
    long Stop() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            pid = -1;
        }
        long rounds = 0;
        char buffer[4096];
        ::fcntl(reports, F_SETFL, O_NONBLOCK);
        for (ssize_t got; (got = ::read(reports, buffer, sizeof buffer)) > 0;) rounds += got;
        return rounds;
    }

private:
    pid_t pid = -1;
    int reports = -1;
};

TEST(SharedTableStress, EnumerationFindsEveryCameraWhileAnotherProcessTampersWithTheTable) {
    ASSERT_FALSE(kIsTamperer);
    const std::string table = "U3G5-MemMap-stress-" + std::to_string(::getpid());
    kelvra::usb::SetSharedTableName(table.c_str());
    KelvraSim_Reset();
    ASSERT_GE(KelvraSim_Attach(0x3180), 1);
    ASSERT_GE(KelvraSim_Attach(0x3180), 1);

    // A session held throughout keeps the table alive and records the cameras before the
    // tampering starts, so every copy the other process restores holds both of them.
    char names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE];
    const int32_t holder = Kelvra_Initialize(nullptr);
    ASSERT_NE(0, holder);
    ASSERT_EQ(2, Kelvra_EnumDevice(holder, names));

    TamperingProcess tamperer(table);
    ASSERT_TRUE(tamperer.Started());

    const double seconds = StressSeconds();
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::duration<double>(seconds);
    std::atomic<long> enumerations{0}, misses{0}, failedSessions{0};
    std::vector<std::thread> workers;
    for (int worker = 0; worker < 3; ++worker) {
        workers.emplace_back([&, worker] {
            char listed[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE];
            while (std::chrono::steady_clock::now() < deadline) {
                // One worker keeps its session; the others make a new one for every enumeration.
                const int32_t session = worker == 0 ? holder : Kelvra_Initialize(nullptr);
                if (session == 0) {
                    ++failedSessions;
                    continue;
                }
                if (Kelvra_EnumDevice(session, listed) != 2) ++misses;
                ++enumerations;
                if (session != holder) Kelvra_Release(session);
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long rounds = tamperer.Stop();

    EXPECT_EQ(0, misses.load()) << "of " << enumerations.load() << " enumerations";
    EXPECT_EQ(0, failedSessions.load());
    EXPECT_GT(enumerations.load(), 3);
    EXPECT_GT(rounds, 4) << "the other process must have tampered through several rounds";
    EXPECT_LT(elapsed, seconds + 10.0);
    EXPECT_EQ(2, Kelvra_EnumDevice(holder, names));
    Kelvra_Release(holder);
    KelvraSim_Reset();
}

}  // namespace
