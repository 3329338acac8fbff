// tovrin-say: the engine controller from the shell. Starts the speech engine when none runs,
// speaks TEXT, or reads FILE aloud portion by portion as a player window does, and closes the
// engine again if it started it. SIGINT, SIGTERM, SIGHUP and SIGQUIT end it promptly in every
// phase, and it puts everything back as it found it; a closed output pipe is no reason to stop.
// With --output the same speech goes into a sound file at synthesis speed instead, rendered in
// this process: no engine program, no wave device, no win.ini write.
#include "engine/Clock.h"
#include "engine/EngineError.h"
#include "engine/TalkServ.h"
#include "platform/WaveDevice.h"
#include "text/CodePages.h"
#include "text/DocumentFile.h"
#include "text/PlayerOptions.h"
#include "text/PortionSequence.h"
#include "tools/SayBook.h"
#include "tools/TextToolArgs.h"
#include "tools/TextToolInput.h"
#include "tools/TextToolOptions.h"
#ifdef TOVRIN_SAY_EXPORT
#include "books/DocumentLoader.h"
#include "synth/ChapterExport.h"
#include "synth/EspeakSynthesizer.h"
#include "synth/SpeechExport.h"
#include "tools/SayExport.h"
#endif

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
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
    "(TEXT | --file FILE [--set F=V]...) [--output FILE.wav|.flac|.ogg|.opus|.mp3 [--force] | "
    "--output-dir DIR [--format ogg|opus|mp3|flac|wav]]";

const char* const kHelp =
    "usage: tovrin-say [OPTIONS] TEXT\n"
    "       tovrin-say [OPTIONS] --file FILE [--set FIELD=VALUE]...\n"
    "Speaks TEXT, or reads FILE aloud portion by portion, through the speech engine.\n"
    "  --voice N, --tempo N, --timbre N, --melody N   voice parameters, 0..9\n"
    "  --volume N                                     volume, 0..255\n"
    "  --set FIELD=VALUE                              a reading option for FILE\n"
    "  --output FILE    save the speech into FILE (.wav, .flac, .ogg, .opus, .mp3)\n"
    "  --force          replace FILE even when it is read-only\n"
    "  --output-dir DIR one sound file per chapter of FILE into DIR, with a playlist\n"
    "  --format F       the chapters' sound format: ogg (the default), opus, mp3, flac, wav\n"
    "  -h, --help       show this text;  --version  show the version\n"
    "  --               what follows is TEXT, even when it starts with a dash\n"
    "Exit status: 0 done, 1 failed, 2 usage error, 130 interrupted.\n";

// The options tovrin-say takes, those with a value and those that stand alone.
AcceptedOptions SayOptions() {
    return {{"--voice", "--tempo", "--timbre", "--melody", "--volume", "--file", "--set",
#ifdef TOVRIN_SAY_EXPORT
             "--output", "--output-dir", "--format"
#endif
            },
            {"--help", "--version",
#ifdef TOVRIN_SAY_EXPORT
             "--force"
#endif
            }};
}

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) {
    interrupted = true;
}

// Every signal that asks a terminal program to end (a closed terminal sends SIGHUP) ends the
// reading the same orderly way, so that win.ini, the engine and any temporary file are put
// back. A reader of the output that went away (SIGPIPE) only makes writes fail, which the
// messages can bear: the speech goes on.
void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// The time the controller's waits see. Once SIGINT or SIGTERM has arrived, every wait ends at
// once: each reading of the clock lies an hour past the one before, so any deadline has passed
// at its next check, and no pause is slept.
class InterruptibleClock final : public Clock {
  public:
    TimePoint Now() const override {
        TimePoint now = std::chrono::steady_clock::now();
        if (interrupted) now += std::chrono::hours(++hoursSkipped_);
        return now;
    }
    void Sleep(std::chrono::milliseconds duration) override {
        constexpr auto kStep = std::chrono::milliseconds(10);
        const auto end = std::chrono::steady_clock::now() + duration;
        for (auto now = std::chrono::steady_clock::now(); !interrupted && now < end;
             now = std::chrono::steady_clock::now())
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(kStep, end - now));
    }

  private:
    mutable std::atomic<int64_t> hoursSkipped_{0};
};

void Warn(const std::string& message) {
    std::fprintf(stderr, "tovrin-say: %s\n", message.c_str());
}

// Said once before the engine starts: without a sound server the default device only keeps
// time, and a user hearing nothing should learn why and what to do instead.
void TellWhenSilent() {
    if (!DefaultSoundIsSilent()) return;
    Warn(
        "no sound server answers, so the speech is silent; "
        "to record it instead, set TOVRIN_AUDIO=wav:FILE");
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
bool SpeakAndWait(TTalkServ& serv, Clock& clock, const std::string& text, SpeechHolder& holder) {
    const SpeakResult result = serv.SpeakText(text, &holder);
    if (result != SpeakResult::Accepted) throw SpeakRefused(result);
    for (;;) {
        clock.Sleep(kPollInterval);
        if (interrupted) return false;
        const EngineState state = serv.GetEngineState();
        if (!state.Running) throw EngineError("the engine has been closed");
        if (state.Busy) continue;
        if (!serv.EngineHoldsText(text))
            throw EngineError("the portion was cut short by another program");
        return true;
    }
}

// What to say: TEXT, or the first piece of --file in the library's form and the reader of
// the rest, so that a document of any size costs a bounded amount of memory.
// A converted book (FB2, EPUB, ...) or a document cut into chapters is held whole instead.
struct Book {
    std::string Text;
    std::unique_ptr<BookReader> Reader;
    int32_t CodePage = kCodePageUnknown;
#ifdef TOVRIN_SAY_EXPORT
    OpenedDocument Opened;  // a whole document: a converted book's title, author and chapters
#endif
};

#ifdef TOVRIN_SAY_EXPORT
Book LoadWholeBook(const std::string& path) {
    Book book;
    book.Opened = OpenDocument(path);
    LoadedDocument& document = book.Opened.Document;
    if (document.UnmappedCharacters > 0)
        Warn(std::to_string(document.UnmappedCharacters) +
             " characters have no Windows-1251 form and are read as \"?\"");
    if (const size_t zero = document.Text.find('\0'); zero != std::string::npos) {
        Warn(ZeroByteWarning(document.Text.size() - zero));
        document.Text.resize(zero);
    }
    book.Text = std::move(document.Text);
    book.CodePage = document.CodePage;
    return book;
}
#endif

// Plain text is read piece by piece; books, and documents exported by chapter, whole.
Book LoadBook(const std::string& path, [[maybe_unused]] bool whole) {
#ifdef TOVRIN_SAY_EXPORT
    if (whole || FileLooksLikeBook(path)) return LoadWholeBook(path);
#endif
    Book book;
    book.Reader = std::make_unique<BookReader>(path);
    book.Reader->ReadPiece(book.Text);
    book.CodePage = book.Reader->CodePage();
    return book;
}

// Said once the document has been read: what of it was not read as it stands.
void WarnAboutLosses(const BookReader& reader) {
    if (reader.UnmappedCharacters() > 0)
        Warn(std::to_string(reader.UnmappedCharacters()) +
             " characters have no Windows-1251 form and are read as \"?\"");
    if (reader.BytesLeftOut() > 0) Warn(ZeroByteWarning(reader.BytesLeftOut()));
}

PlayerOptions FileOptions(const CommandLine& line, const Book& book) {
    PlayerOptions options;
    DefaultPlayerOptions(options);
    AnalyseText(options, true, book.Text.c_str());
    // A converted file is known to be Windows-1251 now, whatever its letters suggest.
    if (book.CodePage != kCodePageUnknown) options.CodePage = book.CodePage;
    for (const auto& assignment : line.Values("--set")) {
        const std::string problem = SetPlayerOption(options, assignment);
        if (!problem.empty()) throw UsageError(problem);
    }
    return options;
}

// Cuts the book into the portions a player window reads, one after another. False when the
// handler stopped; a cutter that cannot move on is a failure, as the rest would go unread.
bool ForEachPortion(Book& book, const PlayerOptions& options, const PortionHandler& handle) {
    CutOutcome outcome;
    if (book.Reader) {
        outcome = ForEachBookPortion(*book.Reader, std::move(book.Text), options, handle);
        WarnAboutLosses(*book.Reader);
    } else {
        const char* text = book.Text.c_str();
        outcome = ForEachPortion(text, text + book.Text.size(), text, options, handle);
    }
    if (outcome.Stalled()) throw std::runtime_error("the text could not be read to its end");
    return outcome.Finished;
}

// A speech the engine played into a device that failed reached nobody: a failed run. The
// engine has said why on its standard error; this says what it means here.
void ExpectHeard(const TTalkServ& serv) {
    if (const auto failure = serv.EngineDeviceFailure())
        throw EngineError("the speech was not played: the engine's wave device failed (" +
                          *failure + ")");
}

bool ReadBookAloud(TTalkServ& serv, Clock& clock, Book& book, const PlayerOptions& options,
                   SpeechHolder& holder) {
    int number = 0;
    return ForEachPortion(book, options, [&](const std::string& text, double, double to) {
        std::fprintf(stderr, "portion %d, %d%%\n", ++number, static_cast<int>(to * 100));
        if (!SpeakAndWait(serv, clock, text, holder)) return false;
        ExpectHeard(serv);
        return true;
    });
}

#ifdef TOVRIN_SAY_EXPORT
// The export settings for the voice chosen on the command line, into `path`.
ExportSettings VoiceSettings(const std::string& path, AudioFileType type,
                             const VoiceChoice& choice) {
    return {.path = path,
            .type = type,
            .voice = choice.Voice,
            .timbre = choice.Timbre,
            .tempo = choice.Tempo,
            .melody = choice.Melody,
            .volume = choice.Volume,
            .engineFolder = DefaultEngineFolder()};
}

int Export(const CommandLine& line, AudioFileType type, const VoiceChoice& choice, Book& book,
           const PlayerOptions* options) {
    const ExportSettings settings = VoiceSettings(*line.Value("--output"), type, choice);
    // This program runs no other thread that could read the environment meanwhile.
    StartEspeakBeforeThreads();
    ExportProgressLine progress;
    SpeechExport out(settings, interrupted, [&](double done) { progress.Show(done); });
    auto speak = [&](const std::string& text, double from, double to) {
        return out.Speak(text, from, to);
    };
    const bool completed = options ? ForEachPortion(book, *options, speak) : speak(book.Text, 0, 1);
    if (!completed || interrupted) return kExitInterrupted;
    out.Finish();
    progress.Saved(settings.path, out.SecondsWritten());
    return 0;
}

// A file the user made read-only is one they meant to keep: it is replaced only on --force.
void RefuseReadOnlyTarget(const std::string& path, bool force) {
    struct stat status {};
    if (force || stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return;
    // Owner, group and others may all lack the write bit while root could still write.
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && access(path.c_str(), W_OK) == 0)
        return;
    throw EngineError(path + " is read-only; give --force to replace it");
}

// One sound file per chapter into --output-dir, with its playlist.
int ExportByChapter(const CommandLine& line, AudioFileType type, const VoiceChoice& choice,
                    const Book& book, const PlayerOptions& options) {
    const std::string& path = *line.Value("--file");
    ChapterExportRequest request{.Folder = *line.Value("--output-dir"),
                                 .Voice = VoiceSettings({}, type, choice),
                                 .BookTitle = book.Opened.Title,
                                 .Author = book.Opened.Author};
    if (request.BookTitle.empty()) request.BookTitle = std::filesystem::path(path).stem().string();
    // This program runs no other thread that could read the environment meanwhile.
    StartEspeakBeforeThreads();
    // Each chapter's progress on a line of its own, after the line naming the chapter.
    std::optional<ExportProgressLine> shown;
    const ChapterExportProgress progress{
        .Begun =
            [&](size_t number, size_t count, const std::string& fileName) {
                shown.reset();
                std::fprintf(stderr, "tovrin-say: chapter %zu of %zu: %s\n", number, count,
                             fileName.c_str());
                shown.emplace();
            },
        .Moved = [&](double chapter, double) { shown->Show(chapter); },
        .Saved = [&](const std::string& saved, double seconds) { shown->Saved(saved, seconds); }};
    const bool completed = ExportChapters(
        request, book.Text, DocumentChapters(book.Text, book.Opened.Chapters, options), options,
        interrupted, progress);
    return completed && !interrupted ? 0 : kExitInterrupted;
}

// The sound file type --output or --output-dir asks for; checked before any work is done.
std::optional<AudioFileType> OutputType(const CommandLine& line) {
    if (line.Value("--output-dir")) {
        if (!line.Value("--file") || line.Value("--output"))
            throw UsageError("--output-dir needs --file and excludes --output");
        const std::string* format = line.Value("--format");
        const auto type = ChapterFileType(format ? *format : "ogg");
        if (!type) throw UsageError("--format must be ogg, opus, mp3, flac or wav");
        return type;
    }
    if (line.Value("--format")) throw UsageError("--format goes with --output-dir");
    const std::string* output = line.Value("--output");
    if (!output) {
        if (line.Has("--force")) throw UsageError("--force needs --output");
        return std::nullopt;
    }
    const auto type = AudioFileTypeFor(*output);
    if (!type)
        throw UsageError("--output FILE must end in .wav, .flac, .ogg, .opus or .mp3: " + *output);
    RefuseReadOnlyTarget(*output, line.Has("--force"));
    return type;
}
#endif

// The user's win.ini could not be put back: reported and failed even after an interruption,
// since the user has to know where the sections are kept.
class RestoreFailed : public EngineError {
  public:
    using EngineError::EngineError;
};

// Leaves the engine as the tool found it, however the reading ends: not paused, released (which
// silences it), and closed when the tool started it.
class EngineSession {
  public:
    EngineSession(TTalkServ& serv, bool startedHere) : serv_(serv), startedHere_(startedHere) {}
    ~EngineSession() {
        try {
            serv_.SetPaused(false);
            serv_.ReleaseEngine();
            if (startedHere_) serv_.SetEngineRunning(false);
        } catch (const std::exception& e) {
            Warn(e.what());
        }
    }
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

  private:
    TTalkServ& serv_;
    const bool startedHere_;
};

int Run(const CommandLine& line) {
    const bool fromFile = line.Value("--file") != nullptr;
    if (fromFile == (line.Positionals().size() == 1) || line.Positionals().size() > 1)
        throw UsageError(kUsage);
    const VoiceChoice voice = ReadVoiceChoice(line);
#ifdef TOVRIN_SAY_EXPORT
    const std::optional<AudioFileType> outputType = OutputType(line);
#endif
    // The document is read before anything is started: a file that cannot be read costs no
    // engine start.
    Book book;
    PlayerOptions options;
    if (fromFile) {
        book = LoadBook(*line.Value("--file"), line.Value("--output-dir") != nullptr);
        options = FileOptions(line, book);
    } else {
        book.Text = Utf8ToWindows1251(line.Positionals()[0]);
    }
    if (interrupted) return kExitInterrupted;
#ifdef TOVRIN_SAY_EXPORT
    if (outputType && line.Value("--output-dir"))
        return ExportByChapter(line, *outputType, voice, book, options);
    if (outputType) return Export(line, *outputType, voice, book, fromFile ? &options : nullptr);
#endif
    // A TOVRIN_AUDIO that names no device has said so once; the engine would only say it
    // again and speak into nothing.
    if (WaveOutDeviceCount() != 0 && WaveDeviceFailure()) return kExitFailure;
    TellWhenSilent();

    InterruptibleClock clock;
    TTalkServ serv(DefaultEngineFolder(), clock);
    serv.ResetController();
    serv.SetEngineRunning(true);
    const bool startedHere = serv.StartedEngine();
    ShellHolder holder;
    bool completed = false;
    {
        EngineSession session(serv, startedHere);
        if (!interrupted) {
            ApplyVoiceChoice(serv, voice, startedHere);
            serv.AcquireEngine(&holder);
            completed = fromFile ? ReadBookAloud(serv, clock, book, options, holder)
                                 : SpeakAndWait(serv, clock, book.Text, holder);
            if (completed) ExpectHeard(serv);
        }
    }
    if (!serv.RestoreEngineSections()) {
        throw RestoreFailed("can not restore " + serv.WinIniFile() +
                            "; your sections are kept in " + serv.UserSectionsFile() +
                            " for the next start");
    }
    return completed && !interrupted ? 0 : kExitInterrupted;
}

}  // namespace
}  // namespace tovrin

int main(int argc, char** argv) {
    using namespace tovrin;
    CatchInterrupts();
    int status = kExitFailure;
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        const CommandLine line = ParseCommandLine(args, SayOptions());
        if (line.Has("--help") || AsksForHelp(args)) {
            PrintHelp(kHelp);
            return 0;
        }
        if (line.Has("--version")) {
            PrintVersion("tovrin-say");
            return 0;
        }
        status = Run(line);
    } catch (const UsageError& e) {
        Warn(e.what());
        status = kExitUsage;
    } catch (const RestoreFailed& e) {
        Warn(e.what());
        return kExitFailure;
    } catch (const std::exception& e) {
        // A wait cut short by the signal fails as a timeout would; that is no failure to report.
        if (!interrupted) Warn(e.what());
        status = kExitFailure;
    }
    return interrupted ? kExitInterrupted : status;
}
