#include "platform/Profile.h"

#include "platform/AtomicFile.h"
#include "platform/FileReader.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <thread>

namespace tovrin {
namespace {

void WriteAll(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

int FilesBeside(const std::string& path) {
    int files = 0;
    for ([[maybe_unused]] auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(path).parent_path())) {
        ++files;
    }
    return files;
}

std::string NewIniPath() {
    return test::MakeTempDir("profile") + "/test.ini";
}

TEST(ProfileTest, ReadsWithWindowsSemantics) {
    std::string path = NewIniPath();
    WriteAll(path,
             "; a comment\r\n"
             "[Keldworth]\r\n"
             "  Files  =  /opt/zal lib  \r\n"
             "Quoted=\"  kept blanks  \"\r\n"
             "Single='x'\r\n"
             "Mismatched=\"x'\r\n"
             "Path=a=b=c\r\n"
             "Bare\r\n"
             "[ Other ]\r\n"
             "Files=other\r\n");
    ProfileFile ini(path);
    EXPECT_EQ(ini.ReadString("keldworth", "FILES"), "/opt/zal lib");
    EXPECT_EQ(ini.ReadString("Keldworth", "Quoted"), "  kept blanks  ");
    EXPECT_EQ(ini.ReadString("Keldworth", "Single"), "x");
    EXPECT_EQ(ini.ReadString("Keldworth", "Mismatched"), "\"x'");
    EXPECT_EQ(ini.ReadString("Keldworth", "Path"), "a=b=c");
    EXPECT_EQ(ini.ReadString("Keldworth", "Bare", "dflt"), "");
    EXPECT_EQ(ini.ReadString("Keldworth", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("other", "files"), "other");
    EXPECT_EQ(ini.ReadString("Nowhere", "Files", "d"), "d");
    EXPECT_EQ(ini.KeyNames("KELDWORTH"), (std::vector<std::string>{"Files", "Quoted", "Single",
                                                                   "Mismatched", "Path", "Bare"}));
    EXPECT_TRUE(ini.SectionExists("OTHER"));
    EXPECT_FALSE(ini.SectionExists("a comment"));

    ProfileFile missing(test::MakeTempDir("profile") + "/none.ini");
    EXPECT_EQ(missing.ReadString("S", "K", "d"), "d");
    EXPECT_TRUE(missing.KeyNames("S").empty());
    EXPECT_FALSE(missing.SectionExists("S"));
}

TEST(ProfileTest, WritesKeepEverythingElse) {
    std::string path = NewIniPath();
    WriteAll(path,
             "[First]\r\nA=1\r\nB=2\r\n\r\n"
             "[ZalSynthes]\r\nPath=old\r\nStrFile=Yes\r\n\r\n"
             "[Last]\r\nZ=26\r\n");
    ProfileFile ini(path);
    ASSERT_TRUE(ini.WriteString("zalsynthes", "PATH", "/new/owndict=x.dic"));
    ASSERT_TRUE(ini.WriteString("ZalSynthes", "StartupFile", "/s.zal"));
    EXPECT_EQ(test::ReadWholeFile(path),
              "[First]\r\nA=1\r\nB=2\r\n\r\n"
              "[ZalSynthes]\r\nPath=/new/owndict=x.dic\r\nStrFile=Yes\r\nStartupFile=/s.zal\r\n"
              "\r\n[Last]\r\nZ=26\r\n");
    EXPECT_EQ(ini.ReadString("ZalSynthes", "Path"), "/new/owndict=x.dic");

    ASSERT_TRUE(ini.DeleteKey("ZALSYNTHES", "strfile"));
    ASSERT_TRUE(ini.DeleteKey("ZalSynthes", "NotThere"));
    ASSERT_TRUE(ini.DeleteKey("NoSection", "A"));
    EXPECT_EQ(ini.KeyNames("ZalSynthes"), (std::vector<std::string>{"Path", "StartupFile"}));

    ASSERT_TRUE(ini.EraseSection("first"));
    EXPECT_FALSE(ini.SectionExists("First"));
    EXPECT_EQ(ini.ReadString("Last", "Z"), "26");
    ASSERT_TRUE(ini.EraseSection("Never existed"));

    // A section that did not exist is added at the end; a restore-like erase removes it again.
    ASSERT_TRUE(ini.WriteString("Keldworth", "UserName", "DEFAULT"));
    EXPECT_EQ(ini.KeyNames("Keldworth"), std::vector<std::string>{"UserName"});
    ASSERT_TRUE(ini.EraseSection("Keldworth"));
    EXPECT_EQ(test::ReadWholeFile(path),
              "[ZalSynthes]\r\nPath=/new/owndict=x.dic\r\nStartupFile=/s.zal\r\n\r\n"
              "[Last]\r\nZ=26\r\n");
}

// Repeated sections and keys: the first occurrence is read, every occurrence is erased or
// deleted, and the parse-once reader agrees with the file's own reads.
TEST(ProfileTest, RepeatedSectionsAndKeys) {
    const std::string content =
        "[S]\r\nk=1\r\nK = \"2\"\r\nother=x\r\n[T]\r\nk=t\r\n[s]\r\nk=3\r\nlate=4\r\n"
        "[T]\r\nk=u\r\n";
    const std::string path = NewIniPath();
    WriteAll(path, content);
    const ProfileFile ini(path);
    const ProfileReader reader(content);
    for (const auto& [section, key] : std::vector<std::pair<std::string, std::string>>{
             {"S", "k"}, {"s", "OTHER"}, {"S", "late"}, {"t", "K"}, {"U", "k"}, {"S", " k"}}) {
        EXPECT_EQ(reader.Value(section, key).value_or("none"), ini.ReadString(section, key, "none"))
            << section << "/" << key;
    }
    EXPECT_EQ(ini.ReadString("S", "k"), "1");
    EXPECT_EQ(reader.Value("S", "late"), std::nullopt);  // only in the second [s]
    EXPECT_EQ(ini.KeyNames("s"), (std::vector<std::string>{"k", "other"}));
    EXPECT_EQ(ProfileSectionEntries(content, "S"),
              (std::vector<std::pair<std::string, std::string>>{{"k", "1"}, {"other", "x"}}));
    EXPECT_TRUE(reader.SectionExists("t"));

    const auto changed =
        ApplyProfileChanges(content, {{ProfileChange::Kind::DeleteKey, "S", "K", ""},
                                      {ProfileChange::Kind::EraseSection, "t", "", ""},
                                      {ProfileChange::Kind::Write, "S", "new", "5"}});
    ASSERT_TRUE(changed);
    EXPECT_EQ(*changed, "[S]\r\nother=x\r\nnew=5\r\n[s]\r\nk=3\r\nlate=4\r\n");
    EXPECT_EQ(ApplyProfileChanges(content, {{ProfileChange::Kind::EraseSection, "none", "", ""}}),
              content);
}

TEST(ProfileTest, CreatesMissingFileAndRefusesStructureBreakingText) {
    std::string path = NewIniPath();
    ProfileFile ini(path);
    ASSERT_TRUE(ini.WriteString("S", "K", "v"));
    EXPECT_EQ(test::ReadWholeFile(path), "[S]\nK=v\n");
    EXPECT_FALSE(ini.WriteString("S", "K", "two\nlines"));
    EXPECT_FALSE(ini.WriteString("S", "K=", "v"));
    EXPECT_FALSE(ini.WriteString("S]", "K", "v"));
    EXPECT_FALSE(ini.WriteString("", "K", "v"));
    EXPECT_EQ(test::ReadWholeFile(path), "[S]\nK=v\n");
    EXPECT_EQ(FilesBeside(path), 1) << "no temporary file is left";
}

TEST(ProfileTest, NewFileGetsTheCreationMaskAndAnOldOneKeepsItsMode) {
    const mode_t saved = umask(027);
    const std::string path = NewIniPath();
    const bool written = WriteFileAtomically(path, "a");
    const mode_t underMask = NewFileMode();
    umask(saved);
    struct stat made {};
    ASSERT_TRUE(written);
    ASSERT_EQ(stat(path.c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0640u);
    EXPECT_EQ(underMask, 0640u);

    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(WriteFileAtomically(path, "b"));
    ASSERT_EQ(stat(path.c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0600u);
}

TEST(ProfileTest, WritesThroughALinkAndRefuseALinkThatLeadsNowhere) {
    namespace fs = std::filesystem;
    const std::string folder = test::MakeTempDir("profile");
    const std::string link = folder + "/win.ini";
    fs::create_symlink(folder + "/real.ini", link);
    ProfileFile ini(link);
    EXPECT_FALSE(ini.WriteString("S", "K", "v"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_FALSE(fs::exists(folder + "/real.ini"));
    EXPECT_EQ(FilesBeside(link), 1);

    WriteAll(folder + "/real.ini", "[S]\nK=old\n");
    ASSERT_TRUE(ini.WriteString("S", "K", "v"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(test::ReadWholeFile(folder + "/real.ini"), "[S]\nK=v\n");
}

TEST(ProfileTest, FailingWriteLosesNothing) {
    std::string path = NewIniPath();
    std::string original = "[A]\nKey=" + std::string(4000, 'x') + "\n[B]\nOther=1\n";
    WriteAll(path, original);
    ProfileFile ini(path);

    // The file size limit makes every write beyond 1 KiB fail, as a full disk would.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    bool written = ini.WriteString("B", "New", "value");
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(written);
    EXPECT_EQ(test::ReadWholeFile(path), original);
    EXPECT_EQ(FilesBeside(path), 1);
}

// Runs `check` in a child process that a hang or a runaway read cannot outlive: an alarm ends
// it after a few seconds and its memory is bounded. The check prints what went wrong.
void BoundedCheck(const std::function<bool()>& check) {
    alarm(10);
    const rlimit memory{size_t{1} << 30, size_t{1} << 30};
    setrlimit(RLIMIT_AS, &memory);
    _exit(check() ? 0 : 1);
}

bool Expect(bool condition, const char* what) {
    if (!condition) fprintf(stderr, "failed: %s\n", what);
    return condition;
}

// A FIFO or a device in a settings file's place: nothing waits for a writer, nothing reads
// without end, nothing replaces them.
TEST(ProfileTest, FilesThatAreNoRegularFilesAreNeitherReadNorReplaced) {
    namespace fs = std::filesystem;
    const std::string folder = test::MakeTempDir("special");
    const std::string fifo = folder + "/win.ini";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = folder + "/tovrin.ini";
    fs::create_symlink("/dev/zero", zero);
    EXPECT_EXIT(BoundedCheck([&] {
                    bool ok = true;
                    for (const std::string& path : {fifo, zero, folder}) {
                        ProfileFile ini(path);
                        ok &= Expect(ini.ReadString("S", "K", "d") == "d", "default read");
                        ok &= Expect(ini.KeyNames("S").empty(), "no keys");
                        ok &= Expect(!ini.WriteString("S", "K", "v"), "write refused");
                        ok &= Expect(!WriteFileAtomically(path, "x"), "replace refused");
                        ok &= Expect(!ReadFileContent(path), "content refused");
                    }
                    ok &= Expect(ReadRegularFile(fifo, 100).Status == FileReadStatus::NotRegular,
                                 "fifo status");
                    ok &= Expect(
                        FileReadProblem(ReadRegularFile(zero, 100), 100) == "Это не обычный файл",
                        "device message");
                    return ok;
                }),
                testing::ExitedWithCode(0), "");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_symlink(zero));
    EXPECT_EQ(FilesBeside(fifo), 2);
}

TEST(ProfileTest, TheReaderKeepsToItsLimitAndReadsStretches) {
    const std::string path = NewIniPath();
    WriteAll(path, "0123456789");
    EXPECT_EQ(ReadRegularFile(path, 10).Bytes, "0123456789");
    const FileRead over = ReadRegularFile(path, 9);
    EXPECT_EQ(over.Status, FileReadStatus::TooLarge);
    EXPECT_TRUE(over.Bytes.empty());
    EXPECT_EQ(FileReadProblem(ReadRegularFile(path, size_t{16} << 20), 1), "");
    EXPECT_EQ(ReadRegularFile(path + ".none", 10).Status, FileReadStatus::Missing);
    EXPECT_EQ(ReadFileContent(path + ".none")->Exists, false);

    const OpenedFile file = OpenRegularFile(path);
    ASSERT_EQ(file.Status, FileReadStatus::Read);
    EXPECT_EQ(file.Size, 10u);
    uint8_t stretch[4] = {};
    ASSERT_TRUE(ReadStretch(file.Fd.get(), 6, 4, stretch));
    EXPECT_EQ(std::string(stretch, stretch + 4), "6789");
    EXPECT_FALSE(ReadStretch(file.Fd.get(), 7, 4, stretch));  // past the end
}

TEST(ProfileTest, ConcurrentWritersLoseNoChange) {
    std::string path = NewIniPath();
    auto writeKeys = [&path](const std::string& prefix) {
        ProfileFile ini(path);
        for (int i = 0; i < 40; ++i)
            ini.WriteString("Shared", prefix + std::to_string(i), "v");
    };
    std::thread first(writeKeys, "a");
    std::thread second(writeKeys, "b");
    first.join();
    second.join();
    EXPECT_EQ(ProfileFile(path).KeyNames("Shared").size(), 80u);
}

TEST(ProfileTest, SystemFolderFollowsConfigHome) {
    std::string saved = getenv("XDG_CONFIG_HOME");
    std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    std::string config = test::MakeTempDir("xdg");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    EXPECT_EQ(SystemFolder(), config + "/tovrin");
    EXPECT_TRUE(std::filesystem::is_directory(config + "/tovrin"));
    EXPECT_EQ(WinIniPath(), config + "/tovrin/win.ini");

    std::string home = test::MakeTempDir("home");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(SystemFolder(), home + "/.config/tovrin");
    unsetenv("HOME");
    EXPECT_EQ(SystemFolder(), std::nullopt);
    EXPECT_EQ(WinIniPath(), std::nullopt);

    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    if (!savedHome.empty()) setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace tovrin
