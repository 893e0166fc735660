// A subcommand of the kelvra tool. Each family of commands lives in a file of its own and hands
// main its table.
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <vector>

enum ExitCode { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

struct Command {
    const char* name;
    const char* arguments;  // as shown in the usage text, "" when none
    const char* summary;
    // Results go to out, complaints to err; kExitUsage makes main show the usage.
    int (*run)(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
    // What "kelvra NAME --help" shows beside the usage: the command's own options; may be null.
    void (*help)(std::ostream& out) = nullptr;
};

std::span<const Command> DeviceCommands();
std::span<const Command> ControlCommands();
std::span<const Command> StreamCommands();
std::span<const Command> CaptureCommands();
std::span<const Command> ViewCommands();
