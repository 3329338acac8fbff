#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tovrin {

// A command line the tool cannot act on; main() prints it as one line and exits with 2.
class UsageError : public std::runtime_error {
  public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

// Which options a command takes: those followed by a value and those that stand alone.
struct AcceptedOptions {
    std::vector<std::string_view> Valued;
    std::vector<std::string_view> Flags;
};

// The arguments after the command name, sorted into options and positional arguments.
class CommandLine {
  public:
    bool Has(std::string_view flag) const { return flags_.count(std::string(flag)) > 0; }
    // The last value given to an option, or null when it was not given.
    const std::string* Value(std::string_view option) const;
    // Every value given to a repeatable option, in command-line order.
    std::vector<std::string> Values(std::string_view option) const;
    const std::vector<std::string>& Positionals() const { return positionals_; }

    friend CommandLine ParseCommandLine(const std::vector<std::string>& args,
                                        const AcceptedOptions& accepted);

  private:
    std::set<std::string> flags_;
    std::map<std::string, std::vector<std::string>> values_;
    std::vector<std::string> positionals_;
};

// What a program prints for --help and --version, on standard output.
void PrintHelp(const char* usage);
void PrintVersion(const char* program);
// "--help", "-h" or "--version" as the first argument.
bool AsksForHelp(const std::vector<std::string>& args);
bool AsksForVersion(const std::vector<std::string>& args);

// Accepts "--name value", "--name=value" and bare flags; everything after "--", and every
// argument that does not start with "--", is positional. Throws UsageError on unknown options
// and missing values.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const AcceptedOptions& accepted);

}  // namespace tovrin
