#include "engine/TalkServ.h"

#include "platform/ControllerRecord.h"
#include "platform/InstanceLock.h"
#include "platform/Profile.h"
#include "platform/RuntimeFolder.h"
#include "tests/engine/FakeClock.h"
#include "tests/engine/FakeEngine.h"
#include "tests/platform/Eventually.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

extern char** environ;

namespace tovrin {
namespace {

namespace fs = std::filesystem;

// A win.ini with what users' files hold: comments, quotes, blank lines, a key twice, a section
// twice and in other letter case, LF lines among CR LF ones, no line end at the very end.
const std::string kUserFile =
    "; my settings\r\n"
    "[Desktop]\r\nWallpaper=\"/x y.png\"\r\n\r\n"
    "[keldworth]\r\n; engine user\r\nFiles = 'quoted'\r\nMacro=m1\r\nMacro=m2\r\n\r\n"
    "[Fonts]\nArial=arial.ttf\n"
    "[ZalSynthes]\r\nPath=a=b\r\n"
    "[Keldworth]\r\nEngine=second\r\n"
    "[Last]\r\nZ=26";

std::string WinIni() {
    return *WinIniPath();
}

std::string SideFile() {
    return WinIni() + ".tovrin-saved";
}

void WriteWinIni(const std::string& text) {
    std::ofstream(WinIni(), std::ios::binary | std::ios::trunc) << text;
}

// An engine folder holding the fake engine program, which speaks every text at once.
std::string FakeEngineFolder() {
    const std::string folder = test::MakeTempDir("engine") + "/ZalLib";
    fs::create_directories(folder);
    fs::copy_file(test::BinaryDir() + "/fake_zalwin", folder + "/zalwin");
    std::ofstream(folder + "/speak-at-once") << "";
    return folder;
}

pid_t StartClient(const std::vector<std::string>& args) {
    const std::string program = test::BinaryDir() + "/controller_client";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

// The exit status, or 128 + the signal that ended it; a client that has not ended within
// 20 s is killed.
int AwaitClient(pid_t pid) {
    int status = 0;
    for (int polls = 0; waitpid(pid, &status, WNOHANG) == 0; ++polls) {
        if (polls == 4000) kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Fails the n-th change of a file (counting replaces and removes), as a full disk would.
class FailingStore final : public FileStore {
  public:
    explicit FailingStore(int failAt) : failAt_(failAt) {}
    std::optional<FileContent> Read(const std::string& path) override {
        return DiskFileStore::Instance().Read(path);
    }
    bool Replace(const std::string& path, const std::string& content) override {
        return ++changes_ != failAt_ && DiskFileStore::Instance().Replace(path, content);
    }
    bool Remove(const std::string& path) override {
        return ++changes_ != failAt_ && DiskFileStore::Instance().Remove(path);
    }

  private:
    int failAt_;
    int changes_ = 0;
};

class SharedControllersTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::remove(WinIni());
        fs::remove(SideFile());
    }
    test::FakeClock clock;
    const std::string folder = "/opt/talk/ZalLib";
};

TEST_F(SharedControllersTest, TheUsersFileComesBackByteForByte) {
    WriteWinIni(kUserFile);
    {
        TTalkServ serv(folder, clock);
        EXPECT_EQ(serv.SavedHostSection(), (std::vector<std::string>{"Files=quoted", "Macro=m1"}));
        ASSERT_TRUE(serv.WriteEngineConfig());
        ASSERT_TRUE(serv.WriteEngineConfig());  // the user's file is saved once, not twice
        const ProfileFile ini(WinIni());
        EXPECT_EQ(ini.ReadString("Keldworth", "Files"), folder);
        EXPECT_EQ(ini.ReadString("ZalSynthes", "StrFile"), "No");
        EXPECT_EQ(ini.ReadString("Desktop", "Wallpaper"), "/x y.png");
        EXPECT_TRUE(fs::exists(SideFile()));
    }
    EXPECT_EQ(test::ReadWholeFile(WinIni()), kUserFile);
    EXPECT_FALSE(fs::exists(SideFile()));

    // Without a win.ini there is none again afterwards.
    fs::remove(WinIni());
    {
        TTalkServ serv(folder, clock);
        ASSERT_TRUE(serv.WriteEngineConfig());
    }
    EXPECT_FALSE(fs::exists(WinIni()));

    // A change made meanwhile to another section stays; the user's sections return to their
    // places as they were.
    WriteWinIni(kUserFile);
    {
        TTalkServ serv(folder, clock);
        ASSERT_TRUE(serv.WriteEngineConfig());
        ASSERT_TRUE(ProfileFile(WinIni()).WriteString("Fonts", "Arial", "new.ttf"));
    }
    EXPECT_EQ(test::ReadWholeFile(WinIni()),
              "; my settings\r\n[Desktop]\r\nWallpaper=\"/x y.png\"\r\n\r\n"
              "[keldworth]\r\n; engine user\r\nFiles = 'quoted'\r\nMacro=m1\r\nMacro=m2\r\n\r\n"
              "[Fonts]\r\nArial=new.ttf\r\n"
              "[ZalSynthes]\r\nPath=a=b\r\n"
              "[Keldworth]\r\nEngine=second\r\n"
              "[Last]\r\nZ=26\r\n");
}

TEST_F(SharedControllersTest, AFailedEditLosesNothing) {
    // The changes: the side file, win.ini configured, win.ini put back, the side file removed.
    for (int failAt = 1; failAt <= 4; ++failAt) {
        WriteWinIni(kUserFile);
        FailingStore store(failAt);
        {
            TTalkServ serv(folder, clock, store);
            EXPECT_EQ(serv.WriteEngineConfig(), failAt > 2) << failAt;
            if (failAt <= 2) {
                EXPECT_EQ(test::ReadWholeFile(WinIni()), kUserFile) << failAt;
            }
            EXPECT_EQ(serv.RestoreEngineSections(), failAt <= 2) << failAt;
            EXPECT_EQ(fs::exists(SideFile()), failAt > 2) << failAt;
        }
        { TTalkServ next(folder, clock); }
        EXPECT_EQ(test::ReadWholeFile(WinIni()), kUserFile) << failAt;
        EXPECT_FALSE(fs::exists(SideFile())) << failAt;
    }
}

TEST_F(SharedControllersTest, AControllerKilledAtAnyStepLosesNothing) {
    for (int killAt = 1; killAt <= 5; ++killAt) {
        WriteWinIni(kUserFile);
        const int status = AwaitClient(StartClient({folder, "edit", std::to_string(killAt)}));
        EXPECT_EQ(status, killAt <= 4 ? 128 + SIGKILL : 0) << killAt;
        { TTalkServ next(folder, clock); }  // the next start puts back what was left
        EXPECT_EQ(test::ReadWholeFile(WinIni()), kUserFile) << killAt;
        EXPECT_FALSE(fs::exists(SideFile())) << killAt;
    }
}

TEST_F(SharedControllersTest, TheLastControllerRestoresAndClosesTheEngine) {
    WriteWinIni(kUserFile);
    test::FakeEngine engine;
    {
        auto first = std::make_unique<TTalkServ>(folder, clock);
        first->SetEngineRunning(true);
        ASSERT_TRUE(first->WriteEngineConfig());
        TTalkServ second(folder, clock);
        // The user's values, not the configuration that stands for the first controller.
        EXPECT_EQ(second.SavedHostSection(), first->SavedHostSection());
        second.SetEngineRunning(true);
        ASSERT_TRUE(second.WriteEngineConfig());

        first->SetEngineRunning(false);
        EXPECT_FALSE(engine.Destroyed()) << "closed under the second controller";
        EXPECT_EQ(first->Windows().Main, kNoWindow);
        first.reset();
        EXPECT_EQ(ProfileFile(WinIni()).ReadString("Keldworth", "Files"), folder);
        EXPECT_FALSE(engine.Destroyed());
    }
    EXPECT_TRUE(engine.Destroyed()) << "the close waited for the last user";
    EXPECT_EQ(test::ReadWholeFile(WinIni()), kUserFile);
}

TEST_F(SharedControllersTest, AWaitingCloseIsKeptForTheProcessItWasMeantFor) {
    test::FakeEngine engine;
    const std::string record = ControllerRecordPath(*RuntimeFolder());
    const uint64_t started = *ProcessStartTime(getpid());
    // A close left for an engine that has ended since; its pid and window serial now name
    // another program's window (this process's). Nothing may close that.
    std::ofstream(record) << "close " << engine.Main() << " " << started + 1 << "\n";
    { TTalkServ controller(folder, clock); }
    EXPECT_FALSE(engine.Destroyed());
    EXPECT_EQ(test::ReadWholeFile(record).find("close"), std::string::npos);
    // The same close left for the process that owns the window now is carried out.
    std::ofstream(record) << "close " << engine.Main() << " " << started << "\n";
    { TTalkServ controller(folder, clock); }
    EXPECT_TRUE(engine.Destroyed());
}

TEST_F(SharedControllersTest, ARecordThatIsNoFileLeavesEachControllerAlone) {
    const std::string record = ControllerRecordPath(*RuntimeFolder());
    fs::remove(record);
    fs::create_symlink("/dev/zero", record);
    WriteWinIni(kUserFile);
    // In a child with bounded memory: reading zeros for ever must fail there, not here.
    const pid_t child = fork();
    if (child == 0) {
        const rlimit memory{1u << 30, 1u << 30};
        setrlimit(RLIMIT_AS, &memory);
        try {
            TTalkServ controller(folder, clock);
            _exit(controller.WriteEngineConfig() ? 0 : 2);
        } catch (...) {
            _exit(3);
        }
    }
    const auto status = test::WaitStatusOfChild(child);
    ASSERT_TRUE(status && WIFEXITED(*status)) << "hung or died";
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    fs::remove(record);
}

TEST_F(SharedControllersTest, TwoControllerProcessesAtOnceManyTimes) {
    const std::string engineFolder = FakeEngineFolder();
    for (int round = 0; round < 20; ++round) {
        WriteWinIni(kUserFile);
        const pid_t first = StartClient({engineFolder, "say", "words"});
        const pid_t second = StartClient({engineFolder, "say", "words"});
        // Each speaks through the one engine; one may find its text replaced by the other's
        // (4), but neither fails.
        const int firstStatus = AwaitClient(first), secondStatus = AwaitClient(second);
        ASSERT_TRUE(firstStatus == 0 || firstStatus == 4) << firstStatus << " in " << round;
        ASSERT_TRUE(secondStatus == 0 || secondStatus == 4) << secondStatus << " in " << round;
        ASSERT_EQ(test::ReadWholeFile(WinIni()), kUserFile) << round;
        ASSERT_FALSE(fs::exists(SideFile())) << round;
        ASSERT_EQ(desktop::FindWindow(kEngineWindowClass, std::nullopt), kNoWindow) << round;
        ASSERT_FALSE(InstanceLock::IsHeld(*EngineLockPath())) << "an engine stayed, " << round;
    }
}

}  // namespace
}  // namespace tovrin
