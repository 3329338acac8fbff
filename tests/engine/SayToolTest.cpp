#include "engine/TalkServ.h"
#include "platform/Desktop.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "tests/platform/Eventually.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace tovrin {
namespace {

// tovrin-say as a child process, its standard error read through a pipe.
class SayProcess {
  public:
    explicit SayProcess(const std::vector<std::string>& args) {
        int fds[2];
        if (pipe(fds) != 0) throw std::runtime_error("pipe");
        const std::string program = test::BinaryDir() + "/tovrin-say";
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

    // Reads standard error until `text` has appeared (or the stream ended).
    bool AwaitOutput(const std::string& text) {
        while (output_.find(text) == std::string::npos) {
            if (!ReadSome()) return false;
        }
        return true;
    }
    void Interrupt() const { kill(pid_, SIGINT); }
    int Wait() {
        while (ReadSome()) {
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }
    const std::string& Output() const { return output_; }

  private:
    bool ReadSome() {
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
    SayProcess say({"--tempo", "9", "--file", WriteDocument(2)});
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
        while (IsProcessRunning(serv.EngineProcess()))
            std::this_thread::yield();
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
        while (IsProcessRunning(serv.EngineProcess()))
            std::this_thread::yield();
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
        EXPECT_EQ(other.SpeakText("words", &holder), SpeakResult::Accepted);
        ASSERT_TRUE(say.AwaitOutput("cut short")) << say.Output();
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
             {"--file", "/nonexistent/doc.txt"},
             {"--file", WriteDocument(1), "--set", "NoSuchField=1"}}) {
        SayProcess say(args);
        EXPECT_EQ(say.Wait(), 2) << say.Output();
        EXPECT_EQ(say.Output().rfind("tovrin-say: ", 0), 0u) << say.Output();
    }
    ExpectUserConfigBackAndNoEngine();
}

}  // namespace
}  // namespace tovrin
