// The program as installed: this build laid out under a fresh prefix by `cmake --install`,
// its desktop entry and AppStream metadata as the validators judge them, and the installed
// programs started through their links in bin/ from a folder nobody may write to.

#include "platform/Desktop.h"
#include "platform/Profile.h"
#include "tests/platform/Eventually.h"
#include "tests/platform/HostProcess.h"
#include "tests/support/TestEnvironment.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QMimeDatabase>

#include <filesystem>
#include <fstream>
#include <set>

extern char** environ;

namespace tovrin {
namespace {

namespace fs = std::filesystem;
using test::Eventually;
using test::RunProgram;

// The names in a folder, to tell whether anything was written into it.
std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A program left running until the test stops it; killed if the test fails first.
class Running {
  public:
    explicit Running(const std::string& path) {
        char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
        if (posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, environ) != 0) pid_ = -1;
    }
    ~Running() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    bool Started() const { return pid_ > 0; }
    // SIGTERM, then the exit status once the program has ended (bounded wait); -1 if it does not.
    int Terminate() {
        kill(pid_, SIGTERM);
        int status = -1;
        const bool ended = Eventually([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
        if (!ended) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

  private:
    pid_t pid_ = -1;
};

// Makes a folder read-only for as long as it lives, so that the test root can be removed after.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(std::string folder) : folder_(std::move(folder)) {
        chmod(folder_.c_str(), 0555);
    }
    ~ReadOnlyFolder() { chmod(folder_.c_str(), 0755); }

  private:
    std::string folder_;
};

class InstallTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        prefix_ = test::MakeTempDir("prefix");
        const auto result =
            RunProgram(TOVRIN_CMAKE, {"--install", TOVRIN_BUILD_TREE, "--prefix", prefix_});
        installed_ = result.status == 0;
        if (!installed_) ADD_FAILURE() << "cmake --install failed:\n" << result.output;
    }
    void SetUp() override { ASSERT_TRUE(installed_); }

    static std::string At(const std::string& path) { return prefix_ + "/" + path; }

    static inline std::string prefix_;
    static inline bool installed_ = false;
};

TEST_F(InstallTest, TheDesktopEntryAndTheMetadataPassTheirValidators) {
    const std::string desktopFile = At("share/applications/tovrin.desktop");
    ASSERT_TRUE(fs::exists(At("share/icons/hicolor/scalable/apps/tovrin.svg")));
    const auto entry = RunProgram(TOVRIN_DESKTOP_FILE_VALIDATE, {desktopFile});
    EXPECT_EQ(entry.status, 0) << entry.output;
    EXPECT_NE(test::ReadWholeFile(desktopFile).find("\nExec=tovrin %f\n"), std::string::npos);

    // Offered for every kind of document the program opens, as the desktop names its type.
    const std::string entryText = test::ReadWholeFile(desktopFile);
    const QMimeDatabase types;
    for (const char* document : {"book.txt", "book.fb2", "book.fb2.zip", "book.epub", "book.docx",
                                 "book.odt", "book.html", "book.xhtml", "book.pdf"}) {
        const QString type =
            types.mimeTypeForFile(QString::fromLatin1(document), QMimeDatabase::MatchExtension)
                .name();
        EXPECT_NE(entryText.find(type.toStdString() + ";"), std::string::npos) << document;
    }

    // The tree check also finds the desktop entry that the metadata names as its launcher.
    const auto metadata =
        RunProgram(TOVRIN_APPSTREAMCLI,
                   {"validate", "--no-net", At("share/metainfo/org.tovrin.Tovrin.metainfo.xml")});
    EXPECT_EQ(metadata.status, 0) << metadata.output;
    const auto tree = RunProgram(TOVRIN_APPSTREAMCLI, {"validate-tree", "--no-net", prefix_});
    EXPECT_EQ(tree.status, 0) << tree.output;
}

TEST_F(InstallTest, InstalledProgramsFindTheirEngineAndLeaveTheirReadOnlyFolderAlone) {
    for (const char* program : {"tovrin", "tovrin-say", "tovrin-text", "tovrin-winmsg"})
        EXPECT_EQ(access(At(std::string("bin/") + program).c_str(), X_OK), 0) << program;
    const std::string programFolder = fs::canonical(At("bin/tovrin")).parent_path().string();
    const std::string engineFolder = programFolder + "/ZalLib";
    ASSERT_EQ(access((engineFolder + "/zalwin").c_str(), X_OK), 0);

    // Both daily events off, and the evening one set to a mere pause, so that nothing can ask
    // to power the machine down while the program runs.
    const std::string settings = *SystemFolder() + "/tovrin.ini";
    std::ofstream(settings, std::ios::binary)
        << "[TFrmTalk]\r\nLogOff_Checked=False\r\nRGLogOff_ItemIndex=0\r\n"
           "LogOn_Checked=False\r\nBtnRun_Down=True\r\n";
    const auto programFiles = Entries(programFolder);
    const auto engineFiles = Entries(engineFolder);
    {
        ReadOnlyFolder readOnlyPrograms(programFolder);
        ReadOnlyFolder readOnlyEngine(engineFolder);

        const auto said = RunProgram(At("bin/tovrin-say"), {"Да."});
        EXPECT_EQ(said.status, 0) << said.output;

        Running tovrin(At("bin/tovrin"));
        ASSERT_TRUE(tovrin.Started());
        // The engine switched on at start shows that the program found it.
        EXPECT_TRUE(Eventually(
            [] { return desktop::FindWindow("Speech Synthesizer", std::nullopt) != kNoWindow; }));
        EXPECT_EQ(tovrin.Terminate(), 0);
    }
    EXPECT_EQ(Entries(programFolder), programFiles);
    EXPECT_EQ(Entries(engineFolder), engineFiles);
    const ProfileFile saved(settings);
    EXPECT_EQ(saved.ReadString("TFrmTalk", "BtnRun_Down"), "True");
    EXPECT_EQ(saved.ReadString("TFrmTalk", "LogOff_Checked"), "False");
    EXPECT_NE(saved.ReadString("TFrmTalk", "NormPos"), "");
}

}  // namespace
}  // namespace tovrin
