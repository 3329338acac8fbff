#include "engine/TalkServ.h"
#include "platform/Desktop.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "tests/platform/Eventually.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sndfile.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

namespace tovrin {
namespace {

// tovrin-say as a child process, its standard error read through a pipe.
class SayProcess {
  public:
    explicit SayProcess(const std::vector<std::string>& args,
                        const std::string& program = test::BinaryDir() + "/tovrin-say") {
        int fds[2];
        if (pipe(fds) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], STDERR_FILENO);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
    }
    ~SayProcess() {
        if (out_ >= 0) close(out_);
        if (pid_ > 0 && status_ < 0) Wait();
    }
    SayProcess(const SayProcess&) = delete;
    SayProcess& operator=(const SayProcess&) = delete;

    // Reads standard error until `text` has appeared; false when the stream ended or nothing
    // came for half a minute.
    bool AwaitOutput(const std::string& text) {
        while (output_.find(text) == std::string::npos) {
            if (!ReadSome(kOutputPatienceMs)) return false;
        }
        return true;
    }
    // Reads standard error until `text` has appeared; false when the stream ended or `ms`
    // passed first.
    bool AwaitOutputWithin(const std::string& text, int ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (output_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) return false;
        }
        return true;
    }
    void Interrupt(int signal = SIGINT) const { kill(pid_, signal); }
    // The exit status; -1 (and the process killed) when it has not ended within half a minute.
    int Wait() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                return status_ = -1;
            }
            pollfd ready{out_, POLLIN, 0};
            if (poll(&ready, 1, 10) > 0) ReadSome();
        }
        while (out_ >= 0 && ReadSome(0)) {
        }
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }
    const std::string& Output() const { return output_; }
    // Closes the reading end, as a `| head -1` does once it has its line.
    void CloseOutput() {
        close(out_);
        out_ = -1;
    }

  private:
    static constexpr int kOutputPatienceMs = 30000;

    // Reads what has arrived; waits up to `timeoutMs` for something (-1: until the writers end).
    bool ReadSome(int timeoutMs = -1) {
        pollfd ready{out_, POLLIN, 0};
        if (poll(&ready, 1, timeoutMs) <= 0) return false;
        char buffer[512];
        const ssize_t got = read(out_, buffer, sizeof buffer);
        if (got <= 0) return false;
        output_.append(buffer, static_cast<size_t>(got));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
    std::string output_;
};

std::string WriteDocument(int paragraphs) {
    const std::string path = test::MakeTempDir("doc") + "/doc.txt";
    std::string text;
    for (int i = 0; i < paragraphs; ++i)
        text += "Мама мыла раму.\r\n\r\n";
    std::ofstream(path, std::ios::binary) << Utf8ToWindows1251(text);
    return path;
}

// A book as Linux users keep one: UTF-8 with bare line feeds.
std::string WriteUtf8Book(int paragraphs) {
    const std::string path = test::MakeTempDir("book") + "/book.txt";
    std::ofstream book(path, std::ios::binary);
    for (int i = 0; i < paragraphs; ++i)
        book << "Мама мыла раму.\n\n";
    return path;
}

// A copy of tovrin-say beside a stand-in engine; `mode` names the stand-in's behaviour file.
struct SayBesideFake {
    std::string Program;
    std::string Engine;
};

SayBesideFake MakeSayBesideFake(const std::string& mode) {
    const std::filesystem::path folder = test::MakeTempDir("fake-beside");
    std::filesystem::create_directories(folder / "ZalLib");
    std::filesystem::copy_file(test::BinaryDir() + "/tovrin-say", folder / "tovrin-say");
    std::filesystem::copy_file(test::BinaryDir() + "/fake_zalwin", folder / "ZalLib/zalwin");
    std::ofstream(folder / "ZalLib" / mode) << "";
    return {(folder / "tovrin-say").string(),
            std::filesystem::canonical(folder / "ZalLib/zalwin").string()};
}

// Whether a live process runs the program at `path` (a zombie has no program left).
bool ProgramRuns(const std::string& path) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path() / "exe", error) == path) return true;
    }
    return false;
}

class SayToolTest : public testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(*WinIniPath(), std::ios::trunc) << "[Keldworth]\nFiles=mine\n";
    }
    void TearDown() override { setenv("TOVRIN_AUDIO", "null", 1); }

    static void ExpectUserConfigBackAndNoEngine() {
        const ProfileFile profile(*WinIniPath());
        EXPECT_EQ(profile.KeyNames("Keldworth"), std::vector<std::string>{"Files"});
        EXPECT_EQ(profile.ReadString("Keldworth", "Files"), "mine");
        EXPECT_FALSE(profile.SectionExists("ZalSynthes"));
        EXPECT_EQ(desktop::FindWindow("Speech Synthesizer", std::nullopt), kNoWindow);
    }
};

TEST_F(SayToolTest, ReadsADocumentIntoAWaveFile) {
    const std::string wav = test::MakeTempDir("say") + "/book.wav";
    setenv("TOVRIN_AUDIO", ("wav:" + wav).c_str(), 1);
    SayProcess say({"--tempo", "9", "--file", WriteUtf8Book(2)});
    EXPECT_EQ(say.Wait(), 0) << say.Output();
    EXPECT_NE(say.Output().find("portion 1, "), std::string::npos) << say.Output();
    EXPECT_NE(say.Output().find("portion 2, "), std::string::npos) << say.Output();
    EXPECT_EQ(say.Output().find("portion 3"), std::string::npos) << say.Output();
    EXPECT_GT(std::filesystem::file_size(wav), 22050u);  // more than half a second of sound
    ExpectUserConfigBackAndNoEngine();
}

TEST_F(SayToolTest, StopsCleanlyOnInterrupt) {
    SayProcess say({"--file", WriteDocument(40)});
    ASSERT_TRUE(say.AwaitOutput("portion 1,")) << say.Output();
    say.Interrupt();
    EXPECT_EQ(say.Wait(), 130);
    EXPECT_EQ(say.Output().find("portion 40,"), std::string::npos);
    ExpectUserConfigBackAndNoEngine();
}

TEST_F(SayToolTest, LeavesAnEngineItDidNotStartRunning) {
    {
        TTalkServ serv(test::BinaryDir() + "/ZalLib");
        serv.SetEngineRunning(true);
        const WindowHandle engine = serv.Windows().Main;
        SayProcess say({"--voice", "2", "Да"});
        EXPECT_EQ(say.Wait(), 0) << say.Output();
        EXPECT_EQ(desktop::FindWindow("Speech Synthesizer", std::nullopt), engine);
        serv.SetEngineRunning(false);
        EXPECT_TRUE(test::Eventually([&] { return !IsProcessRunning(serv.EngineProcess()); }))
            << "the engine program did not end";
    }
    ExpectUserConfigBackAndNoEngine();
}

TEST_F(SayToolTest, BesideARunningEngineSendsOnlyTheVoiceNamed) {
    const std::string folder = test::MakeTempDir("engine") + "/ZalLib";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(test::BinaryDir() + "/fake_zalwin", folder + "/zalwin");
    std::ofstream(folder + "/speak-at-once") << "";
    {
        TTalkServ serv(folder);
        serv.ResetController();
        serv.SetTempo(3);
        serv.SetEngineRunning(true);  // voice 0, timbre 5, tempo 3, melody 0
        SayProcess plain({"Да"});
        EXPECT_EQ(plain.Wait(), 0) << plain.Output();
        // Voice 0 and timbre 5 are also what the tool's own controller holds.
        SayProcess named({"--voice", "0", "--timbre", "5", "--melody", "4", "Да"});
        EXPECT_EQ(named.Wait(), 0) << named.Output();
        serv.SetEngineRunning(false);
        EXPECT_TRUE(test::Eventually([&] { return !IsProcessRunning(serv.EngineProcess()); }))
            << "the engine program did not end";
    }
    std::ifstream log(folder + "/commands.log");
    const std::string commands{std::istreambuf_iterator<char>(log),
                               std::istreambuf_iterator<char>()};
    EXPECT_EQ(commands, "171\n146\n154\n161\n301\n172\n171\n141\n146\n165\n301\n");
    ExpectUserConfigBackAndNoEngine();
}

class PlayerHolder : public SpeechHolder {
  public:
    bool IsPlayerWindow() const override { return true; }
    void PlayerPoll(const EngineState&) override {}
};

TEST_F(SayToolTest, APortionCutShortByAnotherProgramIsAFailure) {
    SayProcess say({"--file", WriteDocument(40)});
    ASSERT_TRUE(say.AwaitOutput("portion 1,")) << say.Output();
    {
        // Another controller takes the engine and speaks a text of its own.
        TTalkServ other(test::BinaryDir() + "/ZalLib");
        other.SetEngineRunning(true);
        PlayerHolder holder;
        other.AcquireEngine(&holder);
        // Its stop and its text are two steps: tovrin-say may find the engine idle between
        // them, count its portion done and take the engine back with the next one. The other
        // program then speaks once more, as its user would.
        bool cut = false;
        for (int attempt = 0; attempt < 10 && !cut; ++attempt) {
            EXPECT_EQ(other.SpeakText("words", &holder), SpeakResult::Accepted);
            cut = say.AwaitOutputWithin("cut short", 3000);
        }
        ASSERT_TRUE(cut) << say.Output();
        // The engine that tovrin-say started is not closed under this controller; the last
        // of them to leave closes it.
        EXPECT_TRUE(other.GetEngineState().Running);
        other.ReleaseEngine();
    }
    EXPECT_EQ(say.Wait(), 1);
    ExpectUserConfigBackAndNoEngine();
}

TEST_F(SayToolTest, AWinIniThatCannotBePutBackIsReportedAndKept) {
    const std::string user = test::ReadWholeFile(*WinIniPath());
    SayProcess say({"--file", WriteDocument(40)});
    ASSERT_TRUE(say.AwaitOutput("portion 1,")) << say.Output();
    // A folder in win.ini's place cannot be replaced by a file.
    std::filesystem::remove(*WinIniPath());
    std::filesystem::create_directories(*WinIniPath() + "/blocked");
    say.Interrupt();
    EXPECT_EQ(say.Wait(), 1);
    EXPECT_NE(say.Output().find("tovrin-say: can not restore "), std::string::npos) << say.Output();
    EXPECT_TRUE(std::filesystem::exists(*WinIniPath() + ".tovrin-saved"));
    std::filesystem::remove_all(*WinIniPath());
    { TTalkServ next(test::BinaryDir() + "/ZalLib"); }  // the next start puts it back
    EXPECT_EQ(test::ReadWholeFile(*WinIniPath()), user);
    ExpectUserConfigBackAndNoEngine();
}

TEST_F(SayToolTest, OfTwoEngineProgramsStartedAtOnceOneStays) {
    const std::string program = test::BinaryDir() + "/ZalLib/zalwin";
    ProcessInfo first, second;
    ASSERT_EQ(StartHiddenProcess(program, {}, test::BinaryDir() + "/ZalLib", first), 0);
    ASSERT_EQ(StartHiddenProcess(program, {}, test::BinaryDir() + "/ZalLib", second), 0);
    ASSERT_TRUE(
        test::Eventually([&] { return IsProcessRunning(first) != IsProcessRunning(second); }));
    WindowHandle engine = kNoWindow;
    ASSERT_TRUE(test::Eventually([&] {
        engine = desktop::FindWindow("Speech Synthesizer", std::nullopt);
        return engine != kNoWindow;
    }));
    const pid_t stayed = IsProcessRunning(first) ? first.pid : second.pid;
    EXPECT_EQ(static_cast<pid_t>(engine >> 32), stayed);
    desktop::SendMessage(engine, WM_DESTROY, 0);
    EXPECT_TRUE(
        test::Eventually([&] { return !IsProcessRunning(first) && !IsProcessRunning(second); }));
}

TEST_F(SayToolTest, FailuresEndWithTheirMessage) {
    setenv("TOVRIN_AUDIO", "none", 1);
    SayProcess noDevice({"Привет"});
    EXPECT_EQ(noDevice.Wait(), 1);
    EXPECT_EQ(noDevice.Output(), "tovrin-say: Create process error: wave device not found\n");
    setenv("TOVRIN_AUDIO", "null", 1);

    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"one", "two"},
             {"--voice", "12", "text"},
             {"--file", WriteDocument(1), "--set", "NoSuchField=1"}}) {
        SayProcess say(args);
        EXPECT_EQ(say.Wait(), 2) << say.Output();
        EXPECT_EQ(say.Output().rfind("tovrin-say: ", 0), 0u) << say.Output();
    }
    // Files that cannot be read are failures, not usage errors; a device is never read.
    for (const auto& [file, reason] : std::vector<std::pair<std::string, std::string>>{
             {"/nonexistent/doc.txt", "Нет такого файла"}, {"/dev/zero", "Это не обычный файл"}}) {
        SayProcess say({"--file", file});
        EXPECT_EQ(say.Wait(), 1) << say.Output();
        EXPECT_EQ(say.Output().rfind("tovrin-say: Не удалось открыть файл «" + file + "»", 0), 0u)
            << say.Output();
        EXPECT_NE(say.Output().find(reason), std::string::npos) << say.Output();
    }
    ExpectUserConfigBackAndNoEngine();
}

TEST_F(SayToolTest, ASignalEndsTheWaitForTheEnginesStart) {
    const SayBesideFake setup = MakeSayBesideFake("no-window");
    SayProcess say({"Да"}, setup.Program);
    ASSERT_TRUE(test::Eventually([&] { return ProgramRuns(setup.Engine); }));
    say.Interrupt(SIGTERM);
    EXPECT_EQ(say.Wait(), 130) << say.Output();
    EXPECT_EQ(say.Output().find("Timeout"), std::string::npos) << say.Output();
    EXPECT_TRUE(test::Eventually([&] { return !ProgramRuns(setup.Engine); }));
    ExpectUserConfigBackAndNoEngine();
}

TEST_F(SayToolTest, SaysOnceThatTheSpeechIsSilentWithoutASoundServer) {
    const SayBesideFake setup = MakeSayBesideFake("speak-at-once");
    unsetenv("TOVRIN_AUDIO");
    unsetenv("PULSE_SERVER");
    unsetenv("PULSE_RUNTIME_PATH");
    SayProcess silent({"Да"}, setup.Program);
    EXPECT_EQ(silent.Wait(), 0) << silent.Output();
    const std::string hint = "TOVRIN_AUDIO=wav:FILE";
    const size_t first = silent.Output().find(hint);
    EXPECT_NE(first, std::string::npos) << silent.Output();
    EXPECT_EQ(silent.Output().find(hint, first + 1), std::string::npos) << silent.Output();

    setenv("TOVRIN_AUDIO", "null", 1);
    SayProcess chosen({"Да"}, setup.Program);
    EXPECT_EQ(chosen.Wait(), 0) << chosen.Output();
    EXPECT_EQ(chosen.Output(), "");
    ExpectUserConfigBackAndNoEngine();
}

// A sound file read back through libsndfile: its rate and its samples as 16-bit mono.
struct SoundFile {
    int Rate = 0;
    std::vector<int16_t> Samples;
};

SoundFile ReadSoundFile(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    SoundFile sound{info.samplerate, std::vector<int16_t>(size_t(info.frames) * info.channels)};
    sound.Samples.resize(size_t(sf_readf_short(file, sound.Samples.data(), info.frames)));
    sf_close(file);
    return sound;
}

// The quiet stretches of at least `seconds`, as their lengths in seconds.
std::vector<double> Silences(const SoundFile& sound, double seconds) {
    constexpr int kQuiet = 64;
    std::vector<double> found;
    size_t run = 0;
    for (size_t i = 0; i <= sound.Samples.size(); ++i) {
        if (i < sound.Samples.size() && std::abs(sound.Samples[i]) < kQuiet) {
            ++run;
            continue;
        }
        if (run >= seconds * sound.Rate) found.push_back(double(run) / sound.Rate);
        run = 0;
    }
    return found;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST_F(SayToolTest, ExportsTheReadingIntoAWaveFileFasterThanItLasts) {
    // Three paragraphs of about 25 seconds each, every one after a pause of two seconds
    // put before it by the paragraph settings. No device: export needs none.
    setenv("TOVRIN_AUDIO", "none", 1);
    const std::string folder = test::MakeTempDir("export");
    std::string paragraph;
    for (int i = 0; i < 12; ++i)
        paragraph += "Мама мыла раму, а папа читал книгу. ";
    std::ofstream(folder + "/book.txt") << paragraph << "\n\n"
                                        << paragraph << "\n\n"
                                        << paragraph << "\n";
    SayProcess say({"--file", folder + "/book.txt", "--set", "AbzBegP=true", "--set",
                    "AbzBegPause=20", "--output", folder + "/book.wav"});
    // The wait gives up after half a minute, less than the speech lasts.
    ASSERT_EQ(say.Wait(), 0) << say.Output();
    EXPECT_NE(say.Output().find("100% done"), std::string::npos) << say.Output();

    const SoundFile sound = ReadSoundFile(folder + "/book.wav");
    ASSERT_EQ(sound.Rate, 22050);
    const double seconds = double(sound.Samples.size()) / sound.Rate;
    EXPECT_GT(seconds, 60);
    EXPECT_LT(seconds, 120);
    EXPECT_GT(std::count_if(sound.Samples.begin(), sound.Samples.end(),
                            [](int16_t s) { return std::abs(s) > 2000; }),
              sound.Rate);
    const std::vector<double> pauses = Silences(sound, 1.95);
    ASSERT_EQ(pauses.size(), 3u);
    EXPECT_LT(pauses[0], 2.1);  // the first pause opens the file
    EXPECT_EQ(FolderEntries(folder).size(), 2u);

    // A short export reaches its end at once: the last line is shown once, not twice.
    SayProcess brief({"Да", "--output", folder + "/brief.wav"});
    ASSERT_EQ(brief.Wait(), 0) << brief.Output();
    const std::string told = brief.Output();
    EXPECT_EQ(told.find("100% done"), told.rfind("100% done")) << told;
    EXPECT_NE(told.find("100% done"), std::string::npos) << told;
    ExpectUserConfigBackAndNoEngine();
}

TEST_F(SayToolTest, ExportsEveryFileTypeByItsExtension) {
    const std::string folder = test::MakeTempDir("types");
    for (const auto& [name, rate] : std::vector<std::pair<std::string, int>>{{"a.wav", 22050},
                                                                             {"a.flac", 22050},
                                                                             {"a.ogg", 22050},
                                                                             {"A.OPUS", 48000},
                                                                             {"a.mp3", 22050}}) {
        SayProcess say({"--voice", "3", "Привет {wait5} мир", "--output", folder + "/" + name});
        EXPECT_EQ(say.Wait(), 0) << name << say.Output();
        const SoundFile sound = ReadSoundFile(folder + "/" + name);
        EXPECT_EQ(sound.Rate, rate) << name;
        EXPECT_GT(sound.Samples.size(), size_t(rate) / 2) << name;
    }
    EXPECT_EQ(FolderEntries(folder).size(), 5u);  // nothing temporary left behind
}

TEST_F(SayToolTest, ExportRefusesUnknownTypesAndLeavesNothingWhenInterruptedOrFailing) {
    const std::string folder = test::MakeTempDir("refused");
    for (const std::string name : {"book.txt", "book"}) {
        SayProcess say({"Да", "--output", folder + "/" + name});
        EXPECT_EQ(say.Wait(), 2) << say.Output();
        EXPECT_EQ(say.Output().rfind("tovrin-say: ", 0), 0u) << say.Output();
    }
    // A folder in the way is found before any work.
    std::filesystem::create_directory(folder + "/dir.wav");
    SayProcess blocked({"Да", "--output", folder + "/dir.wav"});
    EXPECT_EQ(blocked.Wait(), 1);
    EXPECT_EQ(blocked.Output(),
              "tovrin-say: Не удалось создать " + folder + "/dir.wav: Это папка\n");
    std::filesystem::remove(folder + "/dir.wav");
    EXPECT_TRUE(FolderEntries(folder).empty());

    // A file already there stays as it was until an export completes.
    const std::string target = folder + "/book.ogg";
    std::ofstream(target) << "old";
    SayProcess say({"--file", WriteDocument(3000), "--output", target});
    ASSERT_TRUE(say.AwaitOutput("% done")) << say.Output();
    say.Interrupt();
    EXPECT_EQ(say.Wait(), 130) << say.Output();
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"book.ogg"});
    std::ifstream old(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old");

    // A disk that fills up: the tool may write at most 64 KiB into any file. The MP3 encoder
    // is the one that would pass over a failed write unnoticed.
    const std::string document = WriteDocument(30);
    std::unique_ptr<SayProcess> full;
    {
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small{64 * 1024, saved.rlim_max};
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        full = std::make_unique<SayProcess>(
            std::vector<std::string>{"--file", document, "--output", folder + "/full.mp3"});
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, SIG_DFL);
    }
    EXPECT_EQ(full->Wait(), 1) << full->Output();
    EXPECT_NE(full->Output().find("tovrin-say: Не удалось записать " + folder + "/full.mp3"),
              std::string::npos)
        << full->Output();
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"book.ogg"});
    ExpectUserConfigBackAndNoEngine();
}

// Runs a program with `args` and returns its standard output and error, and its status.
std::pair<std::string, int> RunCaptured(const std::string& program, const std::string& args) {
    const std::string command = test::BinaryDir() + "/" + program + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {"", -1};
    std::string output;
    char buffer[512];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    const int status = pclose(pipe);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST_F(SayToolTest, TheToolsAnswerHelpAndVersion) {
    for (const std::string program : {"tovrin-say", "tovrin-text", "tovrin-winmsg"}) {
        for (const std::string option : {"--help", "-h"}) {
            const auto [output, status] = RunCaptured(program, option);
            EXPECT_EQ(status, 0) << program << " " << option << ": " << output;
            EXPECT_EQ(output.rfind("usage: " + program, 0), 0u) << program << ": " << output;
        }
        const auto [version, status] = RunCaptured(program, "--version");
        EXPECT_EQ(status, 0) << program << ": " << version;
        EXPECT_EQ(version.rfind(program + " ", 0), 0u) << version;
        EXPECT_EQ(version.find('\n'), version.size() - 1) << version;
    }
    // After "--" a dash is something to say, not an option: it needs an engine here.
    setenv("TOVRIN_AUDIO", "none", 1);
    EXPECT_EQ(RunCaptured("tovrin-say", "-- -h").second, 1);
    ExpectUserConfigBackAndNoEngine();
}

// The engine program records the speech; when the recording fails, or TOVRIN_AUDIO names no
// device, the speech reached nobody, and the run fails with one message saying why.
TEST_F(SayToolTest, ASpeechWhoseRecordingFailedFailsTheRun) {
    const std::string file = WriteUtf8Book(2);
    for (const auto& [audio, reason] : std::vector<std::pair<std::string, std::string>>{
             {"wav:/dev/full", "No space left on device"},
             {"wav:/nonexistent/tovrin/x.wav", "No such file or directory"},
             {"bogus", "names no wave device"}}) {
        setenv("TOVRIN_AUDIO", audio.c_str(), 1);
        for (const auto& args :
             std::vector<std::vector<std::string>>{{"Привет"}, {"--file", file}}) {
            SayProcess say(args);
            EXPECT_EQ(say.Wait(), 1) << audio << ": " << say.Output();
            const size_t first = say.Output().find(reason);
            EXPECT_NE(first, std::string::npos) << audio << ": " << say.Output();
            if (audio == "bogus") {
                EXPECT_EQ(say.Output().find(reason, first + 1), std::string::npos) << say.Output();
            }
            EXPECT_EQ(say.Output().find("portion 2,"), std::string::npos) << say.Output();
            ExpectUserConfigBackAndNoEngine();
        }
    }
}

TEST_F(SayToolTest, AReadOnlyTargetIsReplacedOnlyWithForce) {
    const std::string folder = test::MakeTempDir("readonly");
    const std::string target = folder + "/kept.wav";
    std::ofstream(target) << "mine";
    std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
    SayProcess refused({"Да", "--output", target});
    EXPECT_EQ(refused.Wait(), 1) << refused.Output();
    EXPECT_NE(refused.Output().find("read-only; give --force"), std::string::npos)
        << refused.Output();
    EXPECT_EQ(test::ReadWholeFile(target), "mine");
    EXPECT_EQ(FolderEntries(folder).size(), 1u);

    SayProcess forced({"Да", "--output", target, "--force"});
    EXPECT_EQ(forced.Wait(), 0) << forced.Output();
    EXPECT_GT(ReadSoundFile(target).Samples.size(), 1000u);
    EXPECT_EQ(FolderEntries(folder).size(), 1u);

    SayProcess forceAlone({"Да", "--force"});
    EXPECT_EQ(forceAlone.Wait(), 2) << forceAlone.Output();
}

// A closed terminal (SIGHUP) or SIGQUIT ends a reading as SIGTERM does: the engine closed,
// win.ini back, no temporary file left; a reader of the messages that went away is no reason
// to stop.
TEST_F(SayToolTest, HangUpAndQuitEndCleanlyAndAClosedPipeIsBorne) {
    for (const int signal : {SIGHUP, SIGQUIT}) {
        SayProcess say({"--file", WriteDocument(40)});
        ASSERT_TRUE(say.AwaitOutput("portion 1,")) << say.Output();
        say.Interrupt(signal);
        EXPECT_EQ(say.Wait(), 130) << signal << ": " << say.Output();
        ExpectUserConfigBackAndNoEngine();

        const std::string folder = test::MakeTempDir("hangup");
        SayProcess out({"--file", WriteDocument(3000), "--output", folder + "/book.flac"});
        ASSERT_TRUE(out.AwaitOutput("% done")) << out.Output();
        out.Interrupt(signal);
        EXPECT_EQ(out.Wait(), 130) << signal << ": " << out.Output();
        EXPECT_TRUE(FolderEntries(folder).empty());
    }
    SayProcess piped({"--file", WriteDocument(3)});
    ASSERT_TRUE(piped.AwaitOutput("portion 1,")) << piped.Output();
    piped.CloseOutput();
    EXPECT_EQ(piped.Wait(), 0);
    ExpectUserConfigBackAndNoEngine();
}

}  // namespace
}  // namespace tovrin
