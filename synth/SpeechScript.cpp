#include "synth/SpeechScript.h"

#include "synth/SpokenClock.h"
#include "synth/VoiceSettings.h"
#include "platform/Win1251Case.h"
#include "text/CodePages.h"
#include "text/EngineCommands.h"

#include <algorithm>
#include <array>
#include <optional>

namespace tovrin {

namespace {

using Kind = ScriptStep::Kind;

// Command words whose group ends in a number, with the step each one makes.
struct ValueCommand {
    std::string_view prefix;
    Kind kind;
};

constexpr auto kWaitRu = W1251("{ждать");
constexpr auto kTimbreRu = W1251("{тембр");
constexpr auto kTimbreRuVariant = W1251("{тэмбр");
constexpr auto kSpeedRu = W1251("{скорость");
constexpr auto kMelodyRu = W1251("{мелод");

const std::array<ValueCommand, 10> kValueCommands = {{
    {"{wait", Kind::Pause},
    {kWaitRu.view(), Kind::Pause},
    {"{timbre", Kind::Timbre},
    {kTimbreRu.view(), Kind::Timbre},
    {kTimbreRuVariant.view(), Kind::Timbre},
    {"{temp", Kind::Tempo},
    {kSpeedRu.view(), Kind::Tempo},
    {"{mel", Kind::Melody},
    {kMelodyRu.view(), Kind::Melody},
    {"{setvoice", Kind::Voice},
}};

constexpr std::string_view kPlaceholderTime = "??:??";
constexpr std::string_view kPlaceholderDate = "??.??";
constexpr std::string_view kWaveSuffix = ".wav}";

std::string Normalise(std::string_view group) {
    std::string normalised;
    normalised.reserve(group.size());
    for (char c : group) {
        if (!IsBlankWin1251(c)) normalised += ToLowerWin1251(c);
    }
    return normalised;
}

// The first decimal number in `argument` ("5" in "5", "o5" or "=5"), saturated well above
// any useful value; nullopt when there is none.
std::optional<int> FirstNumber(std::string_view argument) {
    const size_t first = argument.find_first_of("0123456789");
    if (first == std::string_view::npos) return std::nullopt;
    const std::string_view digits = argument.substr(first);
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') break;
        value = std::min(value * 10 + (c - '0'), 1'000'000);
    }
    return value;
}

class ScriptBuilder {
  public:
    void AddChar(char c, uint32_t origin) {
        // Control bytes and stray braces are read as word breaks.
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || c == '{' || c == '}') c = ' ';
        speech_.text += c;
        speech_.origins.push_back(origin);
    }

    void AddWords(const std::string& words, uint32_t origin) {
        AddChar(' ', origin);
        for (char c : words)
            AddChar(c, origin);
        AddChar(' ', origin);
    }

    void AddGroup(std::string_view group, uint32_t origin) {
        // A silent group still parts the words on either side of it.
        if (!AddCommand(group, origin)) AddChar(' ', origin);
    }

    std::vector<ScriptStep> Finish() {
        FlushSpeech();
        return std::move(steps_);
    }

  private:
    // False when the group asks for nothing.
    bool AddCommand(std::string_view group, uint32_t origin) {
        const std::string normalised = Normalise(group);
        if (const int voice = NamedVoiceIndex(normalised); voice >= 0) {
            AddStep(Kind::Voice, voice, origin);
            return true;
        }
        for (const ValueCommand& command : kValueCommands) {
            if (!normalised.starts_with(command.prefix)) continue;
            const auto value =
                FirstNumber(std::string_view(normalised).substr(command.prefix.size()));
            return value && AddValueStep(command.kind, *value, origin);
        }
        if (!normalised.ends_with(kWaveSuffix)) return false;
        const std::string name(TrimBlanksWin1251(group.substr(1, group.size() - 2)));
        AddStep(ScriptStep{Kind::PlayFile, name, {}, origin, 0});
        return true;
    }

    bool AddValueStep(Kind kind, int value, uint32_t origin) {
        if (kind != Kind::Pause) {
            AddStep(kind, ClampParameter(value), origin);
            return true;
        }
        if (value <= 0) return false;
        AddStep(kind, std::min(value, kMaxPauseTenths), origin);
        return true;
    }

    void AddStep(Kind kind, int value, uint32_t origin) {
        AddStep(ScriptStep{kind, {}, {}, origin, value});
    }

    void AddStep(ScriptStep step) {
        FlushSpeech();
        steps_.push_back(std::move(step));
    }

    // Ends the stretch of words gathered so far; a stretch of blanks says nothing.
    void FlushSpeech() {
        const bool hasWords =
            std::any_of(speech_.text.begin(), speech_.text.end(), [](char c) { return c != ' '; });
        if (hasWords) {
            speech_.kind = Kind::Speak;
            speech_.origin = speech_.origins.front();
            steps_.push_back(std::move(speech_));
        }
        speech_ = ScriptStep{};
    }

    ScriptStep speech_;
    std::vector<ScriptStep> steps_;
};

// End of the brace group opened at `open`, or npos when the "{" is read as text: nothing
// closes it, another "{" comes first, or the group is too long to be a command.
size_t GroupEnd(std::string_view text, size_t open) {
    const size_t close = text.find_first_of("{}", open + 1);
    if (close == std::string_view::npos || text[close] == '{') return std::string_view::npos;
    if (close - open + 1 > kMaxCommandGroup) return std::string_view::npos;
    return close;
}

}  // namespace

std::vector<ScriptStep> ParseSpeechScript(std::string_view text, const std::tm& now) {
    text = text.substr(0, text.find('\0'));
    ScriptBuilder builder;
    size_t i = 0;
    while (i < text.size()) {
        const auto origin = static_cast<uint32_t>(i);
        if (text[i] == '{') {
            if (const size_t close = GroupEnd(text, i); close != std::string_view::npos) {
                builder.AddGroup(text.substr(i, close - i + 1), origin);
                i = close + 1;
                continue;
            }
        }
        const std::string_view rest = text.substr(i);
        if (rest.starts_with(kPlaceholderTime) || rest.starts_with(kPlaceholderDate)) {
            const bool isTime = rest.starts_with(kPlaceholderTime);
            builder.AddWords(isTime ? SpokenTime(now) : SpokenDate(now), origin);
            i += kPlaceholderTime.size();
            continue;
        }
        builder.AddChar(text[i], origin);
        ++i;
    }
    return builder.Finish();
}

}  // namespace tovrin
