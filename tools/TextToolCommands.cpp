#include "tools/TextToolCommands.h"

#include "text/CodePages.h"
#include "text/DictionaryLines.h"
#include "text/EngineCommands.h"
#include "text/Navigation.h"
#include "text/PlayerOptions.h"
#include "text/Portion.h"
#include "text/TextFilters.h"
#include "text/TextFinder.h"
#include "text/TextSearch.h"
#include "tools/JsonLine.h"
#include "tools/PortionLoop.h"
#include "tools/TextToolInput.h"
#include "tools/TextToolOptions.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace tovrin {

namespace {

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();

// --- arguments shared by several commands ---

void ExpectPositionals(const CommandLine& line, std::size_t minimum, std::size_t maximum) {
    const std::size_t count = line.Positionals().size();
    if (count < minimum) throw UsageError("missing argument");
    if (count > maximum)
        throw UsageError("unexpected argument \"" + line.Positionals()[maximum] + "\"");
}

// FILE when given, else standard input.
TextInput ReadOptionalInput(const CommandLine& line) {
    ExpectPositionals(line, 0, 1);
    return ReadTextInput(line.Positionals().empty() ? std::string() : line.Positionals()[0]);
}

std::string ReadOptionalFile(const CommandLine& line) {
    return ReadOptionalInput(line).Text;
}

// The same for the commands that write the text out again: what a zero byte cut off must not
// vanish without a word.
std::string ReadOptionalFileToRewrite(const CommandLine& line) {
    TextInput input = ReadOptionalInput(line);
    if (input.BytesLeftOut > 0)
        std::fprintf(stderr, "tovrin-text: %s\n", ZeroByteWarning(input.BytesLeftOut).c_str());
    return std::move(input.Text);
}

std::string ReadRequiredFile(const CommandLine& line, std::size_t index) {
    ExpectPositionals(line, index + 1, index + 1);
    if (line.Positionals()[index].empty()) throw UsageError("empty file name");
    return ReadTextInput(line.Positionals()[index]).Text;
}

int64_t IntegerOption(const CommandLine& line, std::string_view option, int64_t minimum,
                      int64_t maximum, int64_t fallback) {
    const std::string* text = line.Value(option);
    if (!text) return fallback;
    int64_t value = 0;
    if (!ParseDecimal(*text, minimum, maximum, value))
        throw UsageError(std::string(option) + " expects a decimal number, got \"" + *text + "\"");
    return value;
}

// A code page index: 0 English, 1 Windows-1251, 2 MS-DOS 866, 3 KOI8-R, 4 ISO 8859-5; as the
// source also -1, which is what detect answers for a text it cannot place (left unchanged).
// The library leaves a text unchanged for any other number too, which on the command line is
// a typo rather than a wish.
int64_t CodePageOption(const CommandLine& line, std::string_view option, int64_t lowest) {
    const std::string* text = line.Value(option);
    if (!text) throw UsageError(std::string(option) + " is required");
    int64_t value = 0;
    if (!ParseDecimal(*text, lowest, kCodePageIso, value))
        throw UsageError(std::string(option) + " expects a code page from " +
                         std::to_string(lowest) + " to 4, got \"" + *text + "\"");
    return value;
}

// A position given as a byte offset; offsets before or beyond the text stand at its bounds,
// as the library treats every position outside them.
std::size_t PositionOption(const CommandLine& line, const std::string& text) {
    int64_t offset = 0;
    const std::string* value = line.Value("--from");
    if (value && !ParseDecimal(*value, std::numeric_limits<int64_t>::min(), kInt64Max, offset))
        throw UsageError("--from expects a decimal byte offset, got \"" + *value + "\"");
    if (offset < 0) return 0;
    return std::min<std::size_t>(static_cast<std::size_t>(offset), text.size());
}

void ApplyAssignments(const CommandLine& line, PlayerOptions& options) {
    for (const std::string& assignment : line.Values("--set")) {
        const std::string problem = SetPlayerOption(options, assignment);
        if (!problem.empty()) throw UsageError(problem);
    }
}

PlayerOptions OptionsFrom(const CommandLine& line) {
    PlayerOptions options;
    DefaultPlayerOptions(options);
    ApplyAssignments(line, options);
    return options;
}

// Positions in the JSON output are byte offsets from the start of the text.
int64_t Offset(const std::string& text, const char* position) {
    return position ? position - text.data() : -1;
}

void SetBoundsTo(const std::string& text) {
    SetTextBounds(text.data(), text.data() + text.size());
}

// --- the commands ---

int Detect(const CommandLine& line) {
    const int64_t limit = IntegerOption(line, "--limit", 0, kInt64Max, -1);
    const std::string text = ReadOptionalFile(line);
    const std::size_t bytes = limit < 0 ? text.size() : static_cast<std::size_t>(limit);
    WriteLine(std::to_string(DetectCodePage(text.c_str(), bytes)));
    return kExitSuccess;
}

int Recode(const CommandLine& line) {
    const auto from = CodePageOption(line, "--from", kCodePageUnknown);
    const auto to = CodePageOption(line, "--to", kCodePageEnglish);
    std::string text = ReadOptionalFileToRewrite(line);
    RecodeText(static_cast<int>(from), static_cast<int>(to), text.data());
    WriteBytes(text);
    return kExitSuccess;
}

int Strip(const CommandLine& line) {
    std::string text = ReadOptionalFileToRewrite(line);
    StripCommands(text.data());
    WriteBytes(text);
    return kExitSuccess;
}

int Clean(const CommandLine& line) {
    const PlayerOptions options = OptionsFrom(line);
    std::string text = ReadOptionalFileToRewrite(line);
    text.resize(CleanText(options, text.data()));
    WriteBytes(text);
    return kExitSuccess;
}

// The options a player window reads the text with: the full analysis unless --analyse says
// otherwise, as when the player loads a document, then the --set assignments over it.
PlayerOptions AnalysedOptions(const CommandLine& line, const std::string& text) {
    PlayerOptions options;
    DefaultPlayerOptions(options);
    const std::string* analyse = line.Value("--analyse");
    const std::string how = analyse ? *analyse : "full";
    if (how != "none" && how != "quick" && how != "full")
        throw UsageError("--analyse expects none, quick or full, got \"" + how + "\"");
    if (how != "none") AnalyseText(options, how == "full", text.c_str());
    ApplyAssignments(line, options);
    return options;
}

int Portions(const CommandLine& line) {
    const std::string text = ReadRequiredFile(line, 0);
    const std::size_t from = PositionOption(line, text);
    const PlayerOptions options = AnalysedOptions(line, text);
    SetBoundsTo(text);
    const auto cut = [&](const char* position) { return PreparePortion(options, position); };
    const auto print = [&](const Portion& portion) {
        JsonLine json;
        json.Number("start", Offset(text, portion.Start)).Number("end", Offset(text, portion.End));
        if (portion.Text) {
            json.Text("text", *portion.Text);
        } else {
            json.Null("text");
        }
        WriteLine(json.Str());
    };
    const char* const first = text.data();
    const CutOutcome outcome = CutToTheEnd(first, first + text.size(), first + from, cut, print);
    if (outcome.Finished) return kExitSuccess;
    std::fprintf(stderr, "tovrin-text: %s\n", DescribeStall(outcome, first).c_str());
    return kExitStuck;
}

int Analyse(const CommandLine& line) {
    PlayerOptions options;
    DefaultPlayerOptions(options);
    const std::string text = ReadOptionalFile(line);
    AnalyseText(options, line.Has("--full"), text.c_str());
    JsonLine json;
    for (const PlayerOptionField& field : PlayerOptionFields()) {
        std::visit(
            [&](auto member) {
                const auto& value = options.*member;
                using Value = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<Value, bool>) {
                    json.Boolean(field.Name, value);
                } else if constexpr (std::is_same_v<Value, std::string>) {
                    json.Text(field.Name, value);
                } else {
                    json.Number(field.Name, value);
                }
            },
            field.Member);
    }
    WriteLine(json.Str());
    return kExitSuccess;
}

Move MoveNamed(const std::string& name) {
    if (name == "down") return Move::ParagraphDown;
    if (name == "up") return Move::ParagraphUp;
    if (name == "next-section") return Move::SectionDown;
    if (name == "prev-section") return Move::SectionUp;
    throw UsageError("unknown move \"" + name + "\" (down, up, next-section, prev-section)");
}

int MoveCaret(const CommandLine& line) {
    const PlayerOptions options = OptionsFrom(line);
    ExpectPositionals(line, 2, 2);
    const Move move = MoveNamed(line.Positionals()[0]);
    if (!line.Value("--from")) throw UsageError("--from is required");
    const std::string text = ReadRequiredFile(line, 1);
    const std::size_t from = PositionOption(line, text);
    SetBoundsTo(text);
    const char* target = MoveTarget(LayoutParamsOf(options), move, text.data() + from);
    WriteLine(JsonLine().Number("target", Offset(text, target)).Str());
    return kExitSuccess;
}

int Find(const CommandLine& line) {
    const PlayerOptions options = OptionsFrom(line);
    const std::string* pattern = line.Value("--pattern");
    if (!pattern) throw UsageError("--pattern is required");
    const std::string text = ReadRequiredFile(line, 0);
    const std::size_t given = PositionOption(line, text);
    FindRequest request;
    request.Find = Utf8ToWindows1251(*pattern);
    request.AsMask = line.Has("--mask");
    request.WordOnly = line.Has("--word");
    request.CaseOnly = line.Has("--case");
    request.Down = !line.Has("--up");
    request.Select = line.Has("--select");
    const std::string notFound = JsonLine().Boolean("found", false).Str();
    if (!MaskIsUsable(request)) {
        WriteLine(notFound);
        return kExitNotFound;
    }
    // Without --from the search covers the whole text: from its start down, from its end up.
    const std::size_t from = line.Value("--from") || request.Down ? given : text.size();
    SetBoundsTo(text);
    const FindResult result = FindMatch(LayoutParamsOf(options), text.data() + from, request);
    if (!result.Found) {
        WriteLine(notFound);
        return kExitNotFound;
    }
    WriteLine(JsonLine()
                  .Boolean("found", true)
                  .Number("start", Offset(text, result.Start))
                  .Number("end", Offset(text, result.End))
                  .Str());
    return kExitSuccess;
}

int DictLine(const CommandLine& line) {
    ExpectPositionals(line, 1, 1);
    DictionaryLine parsed;
    const bool ok = ParseDictionaryLine(Utf8ToWindows1251(line.Positionals()[0]), parsed);
    WriteLine(JsonLine()
                  .Boolean("ok", ok)
                  .Text("First", parsed.First)
                  .Text("Second", parsed.Second)
                  .Text("Third", parsed.Third)
                  .Number("Number1", parsed.Number1)
                  .Number("Number2", parsed.Number2)
                  .Str());
    return ok ? kExitSuccess : kExitNotFound;
}

int Gap(const CommandLine& line) {
    PlayerOptions options;
    DefaultPlayerOptions(options);
    const std::string text = ReadOptionalFile(line);
    SetBoundsTo(text);
    WriteLine(std::to_string(MostCommonGap(LayoutParamsOf(options), text.c_str())));
    return kExitSuccess;
}

}  // namespace

const std::vector<TextCommand>& TextCommands() {
    static const std::vector<TextCommand> commands = {
        {"detect", "detect [--limit N] [FILE]", {{"--limit"}, {}}, Detect},
        {"recode", "recode --from I --to J [FILE]", {{"--from", "--to"}, {}}, Recode},
        {"strip", "strip [FILE]", {{}, {}}, Strip},
        {"clean", "clean [--set F=V]... [FILE]", {{"--set"}, {}}, Clean},
        {"portions",
         "portions [--set F=V]... [--analyse none|quick|full (default)] [--from POS] FILE",
         {{"--set", "--analyse", "--from"}, {}},
         Portions},
        {"analyse", "analyse [--full] [FILE]", {{}, {"--full"}}, Analyse},
        {"move",
         "move down|up|next-section|prev-section --from POS [--set F=V]... FILE",
         {{"--from", "--set"}, {}},
         MoveCaret},
        {"find",
         "find --pattern P [--mask] [--word] [--case] [--up] [--select] [--from POS] "
         "[--set F=V]... FILE",
         {{"--pattern", "--from", "--set"}, {"--mask", "--word", "--case", "--up", "--select"}},
         Find},
        {"dict-line", "dict-line LINE", {{}, {}}, DictLine},
        {"gap", "gap [FILE]", {{}, {}}, Gap},
    };
    return commands;
}

}  // namespace tovrin
