// tovrin-say: the engine controller from the shell. Starts the speech engine when none runs,
// speaks TEXT, or reads FILE aloud portion by portion as a player window does, and closes the
// engine again if it started it.
#include "engine/EngineError.h"
#include "engine/TalkServ.h"
#include "text/CodePages.h"
#include "text/PlayerOptions.h"
#include "text/Portion.h"
#include "text/TextFinder.h"
#include "tools/TextToolArgs.h"
#include "tools/TextToolInput.h"
#include "tools/TextToolOptions.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tovrin {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;
constexpr auto kPollInterval = std::chrono::milliseconds(100);

const char* const kUsage =
    "usage: tovrin-say [--voice N] [--tempo N] [--timbre N] [--melody N] [--volume N] "
    "(TEXT | --file FILE [--set F=V]...)";

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) {
    interrupted = true;
}

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// The shell is the holder: it is no player window, so nobody polls it.
class ShellHolder : public SpeechHolder {
  public:
    bool IsPlayerWindow() const override { return false; }
    void PlayerPoll(const EngineState&) override {}
};

const char* DescribeRefusal(SpeakResult result) {
    switch (result) {
        case SpeakResult::NotRunning:
            return "the engine is not running";
        case SpeakResult::PlayerModeOff:
            return "player mode is off";
        case SpeakResult::OtherHolder:
            return "another window holds the engine";
        case SpeakResult::TooLong:
            return "the text is longer than 38912 characters";
        default:
            return "the request failed";
    }
}

class SpeakRefused : public std::runtime_error {
  public:
    explicit SpeakRefused(SpeakResult result)
        : std::runtime_error(std::string("speak request refused (") +
                             std::to_string(static_cast<int>(result)) +
                             "): " + DescribeRefusal(result)) {}
};

int32_t VoiceOption(const CommandLine& line, std::string_view name, int64_t maximum) {
    int64_t value = 0;
    if (!ParseDecimal(*line.Value(name), 0, maximum, value))
        throw UsageError(std::string(name) + " expects a number from 0 to " +
                         std::to_string(maximum));
    return static_cast<int32_t>(value);
}

// The voice asked for on the command line, read before anything is started.
struct VoiceChoice {
    std::optional<int32_t> Voice, Timbre, Tempo, Melody, Volume;
};

VoiceChoice ReadVoiceChoice(const CommandLine& line) {
    VoiceChoice choice;
    auto read = [&](std::string_view name, int64_t maximum, std::optional<int32_t>& into) {
        if (line.Value(name)) into = VoiceOption(line, name, maximum);
    };
    read("--voice", 9, choice.Voice);
    read("--timbre", 9, choice.Timbre);
    read("--tempo", 9, choice.Tempo);
    read("--melody", 9, choice.Melody);
    read("--volume", 255, choice.Volume);
    return choice;
}

// Sends the parameters named on the command line. An engine started here got the controller's
// whole voice at its start; an engine that ran already keeps the voice its owner gave it, apart
// from the parameters named.
void ApplyVoiceChoice(TTalkServ& serv, const VoiceChoice& choice, bool startedHere) {
    const VoiceParams held = serv.GetVoiceParams();
    auto apply = [&](void (TTalkServ::*set)(int32_t), int32_t stored,
                     const std::optional<int32_t>& value) {
        if (!value) return;
        // The controller sends only a change of the value it holds, and the running engine's
        // value is unknown: step away first so that the value named is sent.
        if (!startedHere && *value == stored) (serv.*set)(*value == 0 ? 1 : 0);
        (serv.*set)(*value);
    };
    apply(&TTalkServ::SetVoice, held.Voice, choice.Voice);
    apply(&TTalkServ::SetTimbre, held.Timbre, choice.Timbre);
    apply(&TTalkServ::SetTempo, held.Tempo, choice.Tempo);
    apply(&TTalkServ::SetMelody, held.Melody, choice.Melody);
    if (choice.Volume) serv.SetVolume(*choice.Volume);
}

// Hands one text to the engine and returns once the engine has fallen silent, polling as the
// main window's timer does; false when interrupted.
bool SpeakAndWait(TTalkServ& serv, const std::string& text, SpeechHolder& holder) {
    const SpeakResult result = serv.SpeakText(text, &holder);
    if (result != SpeakResult::Accepted) throw SpeakRefused(result);
    for (;;) {
        std::this_thread::sleep_for(kPollInterval);
        if (interrupted) return false;
        const EngineState state = serv.GetEngineState();
        if (!state.Running) throw EngineError("the engine has been closed");
        if (state.Busy) continue;
        if (!serv.EngineHoldsText(text))
            throw EngineError("the portion was cut short by another program");
        return true;
    }
}

PlayerOptions FileOptions(const CommandLine& line, const std::string& text) {
    PlayerOptions options;
    DefaultPlayerOptions(options);
    AnalyseText(options, true, text.c_str());
    for (const auto& assignment : line.Values("--set")) {
        const std::string problem = SetPlayerOption(options, assignment);
        if (!problem.empty()) throw UsageError(problem);
    }
    return options;
}

bool ReadFileAloud(TTalkServ& serv, const CommandLine& line, SpeechHolder& holder) {
    const std::string text = ReadTextInput(*line.Value("--file"));
    const PlayerOptions options = FileOptions(line, text);
    const char* const begin = text.c_str();
    const char* const end = begin + text.size();
    int number = 0;
    for (const char* position = begin; position < end;) {
        SetTextBounds(begin, end);
        const Portion portion = PreparePortion(options, position);
        if (portion.End <= position) break;  // the cutter cannot move on
        position = portion.End;
        if (!portion.Text || portion.Text->empty()) continue;
        ++number;
        const auto percent = (position - begin) * 100 / std::max<ptrdiff_t>(end - begin, 1);
        std::fprintf(stderr, "portion %d, %d%%\n", number, static_cast<int>(percent));
        if (!SpeakAndWait(serv, *portion.Text, holder)) return false;
    }
    return true;
}

int Run(const CommandLine& line) {
    const bool fromFile = line.Value("--file") != nullptr;
    if (fromFile == (line.Positionals().size() == 1) || line.Positionals().size() > 1)
        throw UsageError(kUsage);
    const VoiceChoice voice = ReadVoiceChoice(line);

    TTalkServ serv;
    serv.ResetController();
    serv.SetEngineRunning(true);
    const bool startedHere = serv.StartedEngine();
    ApplyVoiceChoice(serv, voice, startedHere);
    ShellHolder holder;
    serv.AcquireEngine(&holder);

    bool completed = false;
    try {
        completed = fromFile ? ReadFileAloud(serv, line, holder)
                             : SpeakAndWait(serv, Utf8ToWindows1251(line.Positionals()[0]), holder);
    } catch (...) {
        serv.ReleaseEngine();
        if (startedHere) serv.SetEngineRunning(false);
        throw;
    }
    serv.SetPaused(false);
    serv.ReleaseEngine();
    if (startedHere) serv.SetEngineRunning(false);
    if (!serv.RestoreEngineSections()) {
        throw EngineError("can not restore " + serv.WinIniFile() + "; your sections are kept in " +
                          serv.UserSectionsFile() + " for the next start");
    }
    return completed ? 0 : kExitInterrupted;
}

}  // namespace
}  // namespace tovrin

int main(int argc, char** argv) {
    using namespace tovrin;
    CatchInterrupts();
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        const AcceptedOptions accepted{
            {"--voice", "--tempo", "--timbre", "--melody", "--volume", "--file", "--set"}, {}};
        return Run(ParseCommandLine(args, accepted));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "tovrin-say: %s\n", e.what());
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tovrin-say: %s\n", e.what());
        return kExitFailure;
    }
}
