// kelvra: lists the cameras and describes them; more command families join the table below.
#include "Command.h"

#include "Options.h"

#include <array>
#include <cstring>
#include <iomanip>
#include <iostream>

namespace {

std::array<std::span<const Command>, 5> CommandFamilies() {
    return {DeviceCommands(), CaptureCommands(), StreamCommands(), ViewCommands(), ControlCommands()};
}

const Command* FindCommand(const char* name) {
    for (std::span<const Command> family : CommandFamilies()) {
        for (const Command& command : family) {
            if (std::strcmp(command.name, name) == 0) return &command;
        }
    }
    return nullptr;
}

void PrintUsage(std::ostream& out) {
    out << "usage: kelvra COMMAND [ARGUMENTS]\n"
           "       kelvra --help\n\n"
           "Drives a KelvraSdk 880HQLN camera; with no camera attached it uses a simulated one.\n\n"
           "commands:\n";
    for (std::span<const Command> family : CommandFamilies()) {
        for (const Command& command : family) {
            const std::string synopsis =
                std::string(command.name) + (*command.arguments ? " " : "") + command.arguments;
            // A long synopsis gets a line of its own, the summary below it.
            out << "  " << std::left << std::setw(18) << synopsis;
            if (synopsis.size() >= 18) out << "\n" << std::string(20, ' ');
            out << command.summary << '\n';
        }
    }
}

void PrintCommandUsage(const Command& command, std::ostream& out) {
    out << "usage: kelvra " << command.name << (*command.arguments ? " " : "") << command.arguments << '\n';
}

void PrintCommandHelp(const Command& command, std::ostream& out) {
    PrintCommandUsage(command, out);
    out << '\n' << command.summary << ".\n\noptions:\n";
    if (std::strstr(command.arguments, "-n NUMBER")) out << kCameraOptionsHelp;
    if (command.help) command.help(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(std::cerr);
        return kExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "help") == 0) {
        PrintUsage(std::cout);
        return kExitSuccess;
    }
    const Command* command = FindCommand(argv[1]);
    if (!command) {
        std::cerr << "kelvra: unknown command: " << argv[1] << '\n';
        PrintUsage(std::cerr);
        return kExitUsage;
    }
    if (argc > 2 && (std::strcmp(argv[2], "--help") == 0 || std::strcmp(argv[2], "-h") == 0)) {
        PrintCommandHelp(*command, std::cout);
        return kExitSuccess;
    }
    const int result = command->run(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
    if (result == kExitUsage) PrintCommandUsage(*command, std::cerr);
    return result;
}
