#include "platform/Process.h"

#include "tests/platform/Eventually.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace tovrin {
namespace {

using test::Eventually;

// True when no process (not even a zombie) holds the pid any more.
bool Gone(pid_t pid) {
    return !std::filesystem::exists("/proc/" + std::to_string(pid));
}

TEST(ProcessTest, RunsInItsFolderAsNewSessionAndIsReaped) {
    std::string folder = test::MakeTempDir("proc");
    std::string before = GetCurrentDir();
    ProcessInfo info;
    ASSERT_EQ(StartHiddenProcess("/bin/sh",
                                 {"-c",
                                  "pwd > out.tmp; ps -o sid= -p $$ >> out.tmp; "
                                  "echo \"$1\" >> out.tmp; mv out.tmp out",
                                  "sh", "two words"},
                                 folder, info),
              0);
    EXPECT_EQ(GetCurrentDir(), before);
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(folder + "/out"); }));
    std::istringstream lines(test::ReadWholeFile(folder + "/out"));
    std::string cwd, sid, arg;
    std::getline(lines, cwd);
    std::getline(lines, sid);
    std::getline(lines, arg);
    EXPECT_EQ(cwd, folder);
    EXPECT_EQ(std::stoi(sid), info.pid) << "the child leads its own session";
    EXPECT_EQ(arg, "two words");
    EXPECT_TRUE(Eventually([&] { return !IsProcessRunning(info); }));
    EXPECT_TRUE(Eventually([&] { return Gone(info.pid); })) << "no zombie stays";
    EXPECT_FALSE(TerminateProcess(info, 0));
}

TEST(ProcessTest, TerminateEndsTheWholeGroup) {
    std::string folder = test::MakeTempDir("proc");
    ProcessInfo info;
    ASSERT_EQ(
        StartHiddenProcess("/bin/sh", {"-c", "sleep 300 & echo $! > pid.tmp; mv pid.tmp pid; wait"},
                           folder, info),
        0);
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(folder + "/pid"); }));
    pid_t grandchild = std::stoi(test::ReadWholeFile(folder + "/pid"));
    EXPECT_TRUE(IsProcessRunning(info));
    EXPECT_TRUE(TerminateProcess(info, 0));
    EXPECT_TRUE(Eventually([&] { return Gone(info.pid); }));
    // The grandchild is reparented and collected by init once killed; it must at least die.
    EXPECT_TRUE(Eventually([&] {
        return Gone(grandchild) ||
               test::ReadWholeFile("/proc/" + std::to_string(grandchild) + "/stat").find(") Z") !=
                   std::string::npos;
    }));
}

TEST(ProcessTest, FailuresReturnErrno) {
    ProcessInfo info;
    EXPECT_EQ(StartHiddenProcess("/nonexistent/program", {}, "/", info), ENOENT);
    std::string folder = test::MakeTempDir("proc");
    std::ofstream(folder + "/not-executable") << "data";
    EXPECT_EQ(StartHiddenProcess(folder + "/not-executable", {}, folder, info), EACCES);
    // Executable, but no program: the start fails rather than reporting a process.
    std::filesystem::permissions(folder + "/not-executable", std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(StartHiddenProcess(folder + "/not-executable", {}, folder, info), ENOEXEC);
    EXPECT_EQ(StartHiddenProcess("/bin/true", {}, folder + "/missing-folder", info), ENOENT);
    EXPECT_FALSE(IsProcessRunning(ProcessInfo{}));

    EXPECT_TRUE(FileExists("/bin/sh"));
    EXPECT_FALSE(FileExists("/bin"));
    EXPECT_FALSE(FileExists(folder + "/nothing"));
    EXPECT_EQ(std::filesystem::path(ExecutablePath()).filename(), "tovrin_system_tests");
    EXPECT_EQ(ExecutableFolder(), test::BinaryDir());
}

}  // namespace
}  // namespace tovrin
