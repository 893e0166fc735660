#include "ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

extern char** environ;

ChildProcess::ChildProcess(const std::vector<std::string>& arguments) {
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0) return;
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    input = toChild[1];
    output = fromChild[0];
}

ChildProcess::~ChildProcess() {
    CloseInput();
    if (output >= 0) ::close(output);
    if (pid > 0) {
        Kill();
        Wait();
    }
}

std::string ChildProcess::ReadLine() {
    std::string line;
    char c;
    while (output >= 0 && ::read(output, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

void ChildProcess::CloseInput() {
    if (input >= 0) ::close(input);
    input = -1;
}

void ChildProcess::Kill() {
    if (pid > 0) ::kill(pid, SIGKILL);
}

int ChildProcess::Wait() {
    if (pid <= 0) return -1;
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    pid = -1;
    return result > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string HelperPath() { return KELVRA_KERNEL_TEST_HELPER; }
