// The program tovrin as a user and other programs meet it: started, started again, asked over
// DDE, renamed, and stopped by a signal. Each case runs a copy of the program in a folder of
// its own (the settings file lands beside it) with fresh runtime and configuration folders.

#include "main/CommandText.h"
#include "main/SettingsFile.h"
#include "platform/Dde.h"
#include "platform/Desktop.h"
#include "platform/Profile.h"
#include "tests/platform/Eventually.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

namespace tovrin {
namespace {

namespace fs = std::filesystem;
using test::Eventually;

// A program started in a folder, its standard error kept in a file.
class Program {
  public:
    Program(const std::string& path, const std::vector<std::string>& arguments,
            const std::string& folder, const std::string& errorFile,
            const std::vector<std::string>& unsetVariables = {}) {
        pid_ = fork();
        if (pid_ != 0) return;
        if (chdir(folder.c_str()) != 0) _exit(126);
        const int error = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(error, 2);
        for (const auto& name : unsetVariables)
            unsetenv(name.c_str());
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    ~Program() {
        if (status_) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    void Signal(int signal) const { kill(pid_, signal); }
    // Whether the program has ended by now (not waited for).
    bool Ended() {
        int status = 0;
        if (status_) return true;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }
    // The exit status once the program has ended by itself (bounded wait).
    std::optional<int> Exit() {
        Eventually([this] { return Ended(); });
        return status_;
    }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// A copy of the program in a folder of its own, beside a link to the built engine folder.
class ProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", test::MakeTempDir("runtime").c_str(), 1);
        setenv("XDG_CONFIG_HOME", test::MakeTempDir("config").c_str(), 1);
        root_ = test::MakeTempDir("program");
        // No session bus unless a test brings its own: a program under test never shows up on
        // the user's desktop bus.
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root_ + "/no-bus").c_str(), 1);
        fs::create_directories(root_ + "/app");
        fs::create_directory_symlink(test::BinaryDir() + "/ZalLib", root_ + "/app/ZalLib");
    }

    // A copy of the program whose settings file has both daily events off, so that no run
    // of a test pauses the speech or asks for the power to go at the events' times.
    std::string Install(const std::string& name,
                        const std::string& keys = "LogOff_Checked=False\nLogOn_Checked=False\n") {
        const std::string path = root_ + "/app/" + name;
        fs::copy_file(test::BinaryDir() + "/tovrin", path);
        std::ofstream(path + ".ini") << "[TFrmTalk]\n" << keys;
        return path;
    }
    std::string Folder(const std::string& name) {
        fs::create_directories(root_ + "/" + name);
        return root_ + "/" + name;
    }
    std::string ErrorFile(const std::string& name) { return root_ + "/" + name + ".err"; }

    static bool Serving() {
        DdeConversation conversation;
        return conversation.Connect("tovrin", kDdeTopic);
    }
    // What the engine was last given to speak, in UTF-8.
    static std::string EngineText() {
        const WindowHandle edit = desktop::FindWindow("Edit", std::nullopt);
        return Windows1251ToUtf8(desktop::GetWindowText(edit).value_or(""));
    }

    std::string root_;
};

TEST_F(ProgramTest, FilesComeFromASecondCopyAndOverDdeAndASignalEndsItCleanly) {
    const std::string program = Install("tovrin");
    const std::string winIni = *WinIniPath();
    const std::string before = "[Keldworth]\r\nFiles=old place\r\n[Other]\r\nkept=1\r\n";
    { std::ofstream(winIni, std::ios::binary) << before; }
    std::ofstream(Folder("docs") + "/первый.txt", std::ios::binary) << "Первый текст.\r\n";
    std::ofstream(root_ + "/docs/second.txt", std::ios::binary) << "Second text.\r\n";

    // The first copy runs two levels down, where the relative name below names nothing.
    Program first(program, {}, Folder("home/deep"), ErrorFile("first"));
    ASSERT_TRUE(Eventually(Serving)) << test::ReadWholeFile(ErrorFile("first"));

    // Started in another folder with a relative name, the second copy hands the file over.
    Program second(program, {"../docs/первый.txt"}, Folder("elsewhere"), ErrorFile("second"));
    EXPECT_EQ(second.Exit(), 0);
    ASSERT_TRUE(Eventually([] { return EngineText().find("Первый текст.") != std::string::npos; }))
        << EngineText();

    // Another program asks over DDE; the answer comes before the work is done.
    const std::string macro = "{TALKSERVCMD}\\r\\n{SpeakFile}\\r\\n" + root_ + "/docs/second.txt";
    Program client(test::BinaryDir() + "/tovrin-winmsg", {"dde", "tovrin", kDdeTopic, macro}, root_,
                   ErrorFile("client"));
    EXPECT_EQ(client.Exit(), 0);
    EXPECT_TRUE(Eventually([] { return EngineText().find("Second text.") != std::string::npos; }));

    first.Signal(SIGTERM);
    EXPECT_EQ(first.Exit(), 0);
    EXPECT_EQ(desktop::FindWindow("Speech Synthesizer", std::nullopt), kNoWindow);
    // The engine's sections are back as they were; the others are untouched.
    const ProfileFile restored(winIni);
    EXPECT_EQ(restored.KeyNames("Keldworth"), std::vector<std::string>{"Files"});
    EXPECT_EQ(restored.ReadString("Keldworth", "Files"), "old place");
    EXPECT_TRUE(restored.KeyNames("ZalSynthes").empty());
    EXPECT_EQ(restored.ReadString("Other", "kept"), "1");
    const ProfileFile settings(program + ".ini");
    EXPECT_EQ(settings.ReadString("TFrmTalk", "BtnRun_Down"), "True");
    EXPECT_EQ(settings.ReadString("TFrmTalk", "FormVisible_Checked"), "True");
    EXPECT_EQ(test::ReadWholeFile(ErrorFile("second")), "");
}

TEST_F(ProgramTest, ARenamedProgramOrOneWithoutConfigurationFolderRefusesToRun) {
    const std::string renamed = Install("Tovrin");
    Program refused(renamed, {}, root_, ErrorFile("renamed"));
    EXPECT_EQ(refused.Exit(), 1);
    EXPECT_NE(test::ReadWholeFile(ErrorFile("renamed"))
                  .find("tovrin: Программа была переименована!\r\nЕё правильное имя - tovrin\r\n"),
              std::string::npos);
    const std::string seeded = "[TFrmTalk]\nLogOff_Checked=False\nLogOn_Checked=False\n";
    EXPECT_EQ(test::ReadWholeFile(renamed + ".ini"), seeded);
    EXPECT_FALSE(fs::exists(*WinIniPath()));

    const std::string program = Install("tovrin");
    Program homeless(program, {}, root_, ErrorFile("homeless"), {"XDG_CONFIG_HOME", "HOME"});
    EXPECT_EQ(homeless.Exit(), 1);
    EXPECT_NE(test::ReadWholeFile(ErrorFile("homeless"))
                  .find("tovrin: Can not define \\WINDOWS directory."),
              std::string::npos);
    EXPECT_EQ(test::ReadWholeFile(program + ".ini"), seeded);
}

TEST_F(ProgramTest, OfTwoCopiesStartedAtOnceOneStaysAndGetsTheFile) {
    const std::string program = Install("tovrin");
    for (int round = 0; round < 5; ++round) {
        const std::string text = "Раунд " + std::to_string(round) + ".";
        const std::string file = Folder("docs") + "/race.txt";
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text << "\r\n";
        Program plain(program, {}, root_, ErrorFile("plain"));
        Program withFile(program, {file}, root_, ErrorFile("file"));
        ASSERT_TRUE(Eventually([&] { return plain.Ended() || withFile.Ended(); })) << round;
        Program& stayed = plain.Ended() ? withFile : plain;
        Program& left = plain.Ended() ? plain : withFile;
        EXPECT_EQ(left.Exit(), 0) << round;
        EXPECT_FALSE(stayed.Ended()) << round;
        // Whichever stayed reads the file: its own, or the one handed over.
        EXPECT_TRUE(Eventually([&] { return EngineText().find(text) != std::string::npos; }))
            << round << ": " << EngineText();
        stayed.Signal(SIGTERM);
        ASSERT_EQ(stayed.Exit(), 0) << round;
    }
}

TEST_F(ProgramTest, AnEngineLeftByAKilledProgramEndsByItself) {
    const std::string program = Install("tovrin");
    const std::string file = Folder("docs") + "/a.txt";
    std::ofstream(file, std::ios::binary) << "Текст.\r\n";
    Program killed(program, {file}, root_, ErrorFile("killed"));
    ASSERT_TRUE(Eventually([] { return EngineText().find("Текст.") != std::string::npos; }));
    killed.Signal(SIGKILL);
    EXPECT_EQ(killed.Exit(), 128 + SIGKILL);
    EXPECT_TRUE(Eventually(
        [] { return desktop::FindWindow("Speech Synthesizer", std::nullopt) == kNoWindow; }));
}

TEST_F(ProgramTest, AFolderGivenAsTheStartFileIsNoFile) {
    const std::string program = Install("tovrin");
    Program first(program, {Folder("docs")}, root_, ErrorFile("folder"));
    ASSERT_TRUE(Eventually(Serving)) << test::ReadWholeFile(ErrorFile("folder"));
    // Treated as no argument: the engine stays off, and so does the stored switch.
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Exit(), 0);
    EXPECT_EQ(desktop::FindWindow("Speech Synthesizer", std::nullopt), kNoWindow);
    EXPECT_EQ(ProfileFile(program + ".ini").ReadString("TFrmTalk", "BtnRun_Down"), "False");
}

// True once the recording holds sound that is not silence.
bool Heard(const std::string& recording) {
    const std::string bytes = test::ReadWholeFile(recording);
    constexpr size_t kHeader = 44;
    for (size_t i = kHeader; i + 1 < bytes.size(); i += 2) {
        const auto sample = static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                                 (static_cast<uint8_t>(bytes[i + 1]) << 8));
        if (sample > 1000 || sample < -1000) return true;
    }
    return false;
}

// The engine program records the speech; a recording it cannot make reached nobody, and the
// user hears of it in a message instead of silence.
TEST_F(ProgramTest, ARecordingThatFailsIsToldToTheUser) {
    setenv("TOVRIN_AUDIO", "wav:/nonexistent/tovrin/heard.wav", 1);
    const std::string document = Folder("docs") + "/short.txt";
    std::ofstream(document, std::ios::binary) << "Short text.\r\n";
    const std::string program = Install("tovrin");
    Program running(program, {document}, Folder("home"), ErrorFile("unheard"));
    const bool told = Eventually([&] {
        return test::ReadWholeFile(ErrorFile("unheard"))
                   .find("tovrin: Синтезатор не смог вывести звук") != std::string::npos;
    });
    setenv("TOVRIN_AUDIO", "null", 1);
    EXPECT_TRUE(told) << test::ReadWholeFile(ErrorFile("unheard"));
    EXPECT_NE(test::ReadWholeFile(ErrorFile("unheard")).find("/nonexistent/tovrin/heard.wav"),
              std::string::npos);
    running.Signal(SIGTERM);
    EXPECT_EQ(running.Exit(), 0);
}

TEST_F(ProgramTest, TheAlarmIsHeardAndTheSettingsAreWrittenAfterASignal) {
    const std::string recording = root_ + "/heard.wav";
    setenv("TOVRIN_AUDIO", ("wav:" + recording).c_str(), 1);
    // The alarm a few seconds from now, as a time of day on the local clock.
    const time_t soon = time(nullptr) + 3;
    tm local{};
    localtime_r(&soon, &local);
    const double alarm = (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
    const std::string program =
        Install("tovrin",
                "LogOff_Checked=False\nLogOn_Checked=True\nRGLogOn_ItemIndex=2\n"
                "StartUpEdit_Text=Подъём, подъём!\nLogOn_Time=" +
                    FormatDateTime(alarm) + "\n");
    Program running(program, {}, Folder("home"), ErrorFile("alarm"));
    const bool heard = Eventually([&] { return Heard(recording); });
    setenv("TOVRIN_AUDIO", "null", 1);
    ASSERT_TRUE(heard) << test::ReadWholeFile(ErrorFile("alarm"));

    running.Signal(SIGTERM);
    EXPECT_EQ(running.Exit(), 0);
    const ProfileFile settings(program + ".ini");
    EXPECT_EQ(settings.ReadString("TFrmTalk", "LogOn_Checked"), "True");
    EXPECT_EQ(settings.ReadString("TFrmTalk", "LogOff_Checked"), "False");
    EXPECT_EQ(settings.ReadString("TFrmTalk", "RGLogOn_ItemIndex"), "2");
    EXPECT_EQ(settings.ReadString("TFrmTalk", "StartUpEdit_Text"), "Подъём, подъём!");
    EXPECT_NEAR(ParseDateTime(settings.ReadString("TFrmTalk", "LogOn_Time")).value_or(-1), alarm,
                1e-6);
    // The alarm left its preset chosen: "Будильник" is the current one.
    EXPECT_EQ(settings.ReadString("TFrmTalk.TestRes_Items", "Item0"), "4");
    EXPECT_EQ(settings.ReadString("TFrmTalk.TestRes_Items", "Count"), "6");
}

// A D-Bus client (gdbus) talking to the media-player service of the program on `bus`: the
// output of one call, empty when it failed.
std::string MediaCall(const test::PrivateSessionBus& bus, const std::string& arguments) {
    const std::string command = "gdbus call --address '" + bus.Address() +
                                "' -d org.mpris.MediaPlayer2.tovrin -o /org/mpris/MediaPlayer2 " +
                                arguments + " 2>/dev/null";
    std::string output;
    if (FILE* client = popen(command.c_str(), "r")) {
        char buffer[512];
        while (const size_t got = fread(buffer, 1, sizeof buffer, client))
            output.append(buffer, got);
        if (pclose(client) != 0) output.clear();
    }
    return output;
}

std::string MediaProperty(const test::PrivateSessionBus& bus, const std::string& name) {
    return MediaCall(bus,
                     "-m org.freedesktop.DBus.Properties.Get "
                     "org.mpris.MediaPlayer2.Player " +
                         name);
}

bool MediaStatusIs(const test::PrivateSessionBus& bus, const std::string& status) {
    return Eventually([&] {
        return MediaProperty(bus, "PlaybackStatus").find("'" + status + "'") != std::string::npos;
    });
}

TEST_F(ProgramTest, MediaKeysDriveTheReadingOverTheSessionBus) {
    test::PrivateSessionBus bus;
    ASSERT_TRUE(bus.Ready());
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str(), 1);
    const std::string program = Install("tovrin");
    // Long paragraphs: the reading is still in the first one while the keys are pressed.
    std::string first = "Первый абзац.";
    std::string second = "Второй абзац.";
    for (int i = 0; i < 40; ++i) {
        first += " Слово за словом идёт первое чтение.";
        second += " Слово за словом идёт второе чтение.";
    }
    std::ofstream(Folder("docs") + "/сказка.txt", std::ios::binary)
        << Utf8ToWindows1251(first + "\r\n" + second + "\r\n");

    // Started with a file, the program reads it at once.
    Program running(program, {root_ + "/docs/сказка.txt"}, Folder("home"), ErrorFile("media"));
    ASSERT_TRUE(MediaStatusIs(bus, "Playing")) << test::ReadWholeFile(ErrorFile("media"));
    EXPECT_NE(MediaProperty(bus, "Metadata").find("'xesam:title': <'сказка.txt'>"),
              std::string::npos)
        << MediaProperty(bus, "Metadata");
    EXPECT_NE(MediaProperty(bus, "CanPause").find("true"), std::string::npos);
    ASSERT_NE(EngineText().find("Первый абзац."), std::string::npos) << EngineText();

    MediaCall(bus, "-m org.mpris.MediaPlayer2.Player.Pause");
    EXPECT_TRUE(MediaStatusIs(bus, "Paused"));
    MediaCall(bus, "-m org.mpris.MediaPlayer2.Player.PlayPause");
    EXPECT_TRUE(MediaStatusIs(bus, "Playing"));

    // Next goes on with the following paragraph, from where the speech is.
    MediaCall(bus, "-m org.mpris.MediaPlayer2.Player.Next");
    EXPECT_TRUE(Eventually([] { return EngineText().find("Второй абзац.") != std::string::npos; }))
        << EngineText();
    EXPECT_TRUE(MediaStatusIs(bus, "Playing"));

    MediaCall(bus, "-m org.mpris.MediaPlayer2.Player.Stop");
    EXPECT_TRUE(MediaStatusIs(bus, "Stopped"));
    EXPECT_NE(MediaProperty(bus, "CanPause").find("false"), std::string::npos);
    MediaCall(bus, "-m org.mpris.MediaPlayer2.Player.PlayPause");
    EXPECT_TRUE(MediaStatusIs(bus, "Playing"));

    running.Signal(SIGTERM);
    EXPECT_EQ(running.Exit(), 0);
    EXPECT_TRUE(Eventually([&] { return MediaProperty(bus, "PlaybackStatus").empty(); }));
}

}  // namespace
}  // namespace tovrin
