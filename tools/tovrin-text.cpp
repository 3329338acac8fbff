// tovrin-text: the text preparation library from the shell. Users clean and split texts with
// it; tests and benchmarks drive it as a black box.

#include "tools/TextToolCommands.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

using tovrin::TextCommand;

void PrintCommandList(std::FILE* out) {
    std::fputs("usage: tovrin-text COMMAND [ARGS]\n", out);
    for (const TextCommand& command : tovrin::TextCommands())
        std::fprintf(out, "  tovrin-text %s\n", command.Synopsis);
}

int UsageFailure(std::string message, const char* synopsis) {
    // The explanation stays on one line whatever the user typed into it.
    for (char& c : message)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    if (synopsis) {
        std::fprintf(stderr, "tovrin-text: %s (usage: tovrin-text %s)\n", message.c_str(),
                     synopsis);
    } else {
        std::fprintf(stderr, "tovrin-text: %s (try tovrin-text --help)\n", message.c_str());
    }
    return tovrin::kExitUsage;
}

const TextCommand* CommandNamed(const std::string& name) {
    for (const TextCommand& command : tovrin::TextCommands())
        if (name == command.Name) return &command;
    return nullptr;
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) return UsageFailure("no command given", nullptr);
    if (tovrin::AsksForHelp(args)) {
        PrintCommandList(stdout);
        return tovrin::kExitSuccess;
    }
    if (tovrin::AsksForVersion(args)) {
        tovrin::PrintVersion("tovrin-text");
        return tovrin::kExitSuccess;
    }
    const TextCommand* command = CommandNamed(args[0]);
    if (!command) return UsageFailure("unknown command \"" + args[0] + "\"", nullptr);
    try {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        return command->Run(tovrin::ParseCommandLine(rest, command->Accepts));
    } catch (const tovrin::UsageError& error) {
        return UsageFailure(error.what(), command->Synopsis);
    }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const int status = Run(std::vector<std::string>(argv + 1, argv + argc));
        if (std::fflush(stdout) != 0) {
            std::fputs("tovrin-text: cannot write the output\n", stderr);
            return tovrin::kExitUsage;
        }
        return status;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tovrin-text: %s\n", error.what());
        return tovrin::kExitUsage;
    }
}
