// Runs the kernel test helper as a second process, with pipes to its stdin and from its stdout.
#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid > 0; }
    // One line of the child's output without its newline; empty at end of output.
    std::string ReadLine();
    // Closes the child's stdin, which tells a holding helper to finish.
    void CloseInput();
    void Kill();
    // The exit status, or -1 when the child did not exit normally.
    int Wait();

private:
    pid_t pid = -1;
    int input = -1;
    int output = -1;
};

// Path of the helper executable, built next to the tests.
std::string HelperPath();
