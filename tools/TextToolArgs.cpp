#include "tools/TextToolArgs.h"

#include <algorithm>
#include <cstdio>

namespace tovrin {

namespace {

bool Contains(const std::vector<std::string_view>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool LooksLikeOption(const std::string& arg) {
    return arg.size() > 2 && arg.rfind("--", 0) == 0;
}

}  // namespace

const std::string* CommandLine::Value(std::string_view option) const {
    const auto found = values_.find(std::string(option));
    if (found == values_.end() || found->second.empty()) return nullptr;
    return &found->second.back();
}

std::vector<std::string> CommandLine::Values(std::string_view option) const {
    const auto found = values_.find(std::string(option));
    return found == values_.end() ? std::vector<std::string>() : found->second;
}

void PrintHelp(const char* usage) {
    std::fputs(usage, stdout);
}

void PrintVersion(const char* program) {
    std::printf("%s %s\n", program, TOVRIN_VERSION);
}

bool AsksForHelp(const std::vector<std::string>& args) {
    return !args.empty() && (args[0] == "--help" || args[0] == "-h");
}

bool AsksForVersion(const std::vector<std::string>& args) {
    return !args.empty() && args[0] == "--version";
}

CommandLine ParseCommandLine(const std::vector<std::string>& args,
                             const AcceptedOptions& accepted) {
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || !LooksLikeOption(arg)) {
            if (!optionsEnded && arg == "--") {
                optionsEnded = true;
                continue;
            }
            line.positionals_.push_back(arg);
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (Contains(accepted.Flags, name)) {
            if (equals != std::string::npos) throw UsageError(name + " takes no value");
            line.flags_.insert(name);
        } else if (Contains(accepted.Valued, name)) {
            if (equals != std::string::npos) {
                line.values_[name].push_back(arg.substr(equals + 1));
            } else if (i + 1 < args.size()) {
                line.values_[name].push_back(args[++i]);
            } else {
                throw UsageError(name + " needs a value");
            }
        } else {
            throw UsageError("unknown option " + name);
        }
    }
    return line;
}

}  // namespace tovrin
