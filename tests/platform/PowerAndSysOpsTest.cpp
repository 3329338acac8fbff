#include "platform/DesktopHost.h"
#include "platform/Dispatcher.h"
#include "tests/support/RecordingPowerControl.h"
#include "platform/SystemInfo.h"
#include "platform/WaveDevice.h"
#include "text/SysOps.h"
#include "text/TextError.h"

#include "tests/platform/Eventually.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace tovrin {
namespace {

using test::Eventually;

// A script that writes its working folder and arguments to "report" beside itself.
std::string MakeReportingProgram(const std::string& folder) {
    std::filesystem::create_directories(folder);
    std::string program = folder + "/prog";
    std::ofstream(program)
        << "#!/bin/sh\n{ pwd; echo \"$@\"; } > report.tmp\nmv report.tmp report\n";
    chmod(program.c_str(), 0755);
    return program;
}

std::string LaunchError(const std::string& commandLine) {
    ProcessInfo info;
    try {
        LaunchProcess(commandLine, kShowHidden, info);
    } catch (const ProcessError& error) {
        return error.what();
    }
    return "";
}

TEST(SysOpsTest, LaunchProcessFollowsTheCommandLineRule) {
    std::string before = GetCurrentDir();
    std::string root = test::MakeTempDir("launch");

    EXPECT_EQ(LaunchError(root + "/missing.exe"), "Create process error: 2");
    EXPECT_EQ(LaunchError(""), "Create process error: 2");
    EXPECT_EQ(LaunchError(root), "Create process error: 13");
    EXPECT_EQ(GetCurrentDir(), before);

    std::string plain = MakeReportingProgram(root + "/plain");
    ProcessInfo info;
    ASSERT_TRUE(LaunchProcess(plain + " one  two", kShowHidden, info));
    EXPECT_EQ(GetCurrentDir(), before);
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(root + "/plain/report"); }));
    EXPECT_EQ(test::ReadWholeFile(root + "/plain/report"), root + "/plain\none two\n");

    // A path with a blank is cut at the blank unless the program part is quoted.
    std::string spaced = MakeReportingProgram(root + "/with blank");
    EXPECT_EQ(LaunchError(spaced), "Create process error: 2");
    EXPECT_EQ(GetCurrentDir(), before);
    ASSERT_TRUE(LaunchProcess("\"" + spaced + "\" arg", kShowHidden, info));
    EXPECT_EQ(GetCurrentDir(), before);
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(root + "/with blank/report"); }));
    EXPECT_EQ(test::ReadWholeFile(root + "/with blank/report"), root + "/with blank\narg\n");
    EXPECT_TRUE(Eventually([&] {
        return !std::filesystem::exists("/proc/" + std::to_string(info.pid));
    })) << "the started program is reaped";
}

TEST(SysOpsTest, WindowCaptionIsEmptyWhenThereIsNone) {
    PlainDispatcher dispatcher;
    DesktopHost host(dispatcher);
    WindowHandle named = host.CreateWindow("Speech Synthesizer", "Говорить", kNoWindow, false);
    WindowHandle unnamed = host.CreateWindow("Edit", "", named, false);
    WindowHandle longer = host.CreateWindow("Edit", std::string(300, 'x'), named, false);
    EXPECT_EQ(GetWindowCaption(named), "Говорить");
    EXPECT_EQ(GetWindowCaption(unnamed), "");
    EXPECT_EQ(GetWindowCaption(longer), std::string(254, 'x'));
    host.DestroyWindow(named);
    EXPECT_EQ(GetWindowCaption(named), "");
    EXPECT_EQ(GetWindowCaption(kNoWindow), "");
}

TEST(SysOpsTest, PowerGoesOnlyThroughTheInstalledControl) {
    ASSERT_EQ(InstalledPowerControl(), nullptr);
    EXPECT_FALSE(PowerOffComputer());
    EXPECT_FALSE(HibernateComputer());

    RecordingPowerControl fake;
    InstallPowerControl(&fake);
    EXPECT_TRUE(HibernateComputer());
    fake.result = false;
    EXPECT_FALSE(PowerOffComputer());
    InstallPowerControl(nullptr);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"Hibernate", "PowerOff"}));
}

TEST(SysOpsTest, WaveVolumeIsTheLeftChannelOr666) {
    ASSERT_TRUE(SetWaveOutVolume(0x1234ABCD));
    EXPECT_EQ(GetWaveVolume(), 0xABCD);
    std::string volumeFile = std::string(getenv("XDG_RUNTIME_DIR")) + "/tovrin-desktop/wave-volume";
    ASSERT_TRUE(std::filesystem::exists(volumeFile));
    std::ofstream(volumeFile) << "not a number";
    EXPECT_EQ(GetWaveVolume(), kWaveVolumeUnknown);
    ASSERT_TRUE(SetWaveOutVolume(0xFFFFFFFF));
    EXPECT_EQ(GetWaveVolume(), 0xFFFF);
}

TEST(SysOpsTest, MemoryStatusFromMeminfo) {
    std::string folder = test::MakeTempDir("mem");
    std::ofstream(folder + "/meminfo") << "MemTotal:        8000000 kB\n"
                                          "MemFree:          100000 kB\n"
                                          "MemAvailable:     2000000 kB\n";
    auto status = ReadMemoryStatus(folder + "/meminfo");
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->totalPhysicalBytes, 8000000ull * 1024);
    EXPECT_EQ(status->loadPercent, 75);

    std::ofstream(folder + "/broken") << "MemTotal: lots\nMemAvailable: 1 kB\n";
    EXPECT_FALSE(ReadMemoryStatus(folder + "/broken").has_value());
    EXPECT_FALSE(ReadMemoryStatus(folder + "/missing").has_value());
    auto real = ReadMemoryStatus();
    ASSERT_TRUE(real.has_value());
    EXPECT_GT(real->totalPhysicalBytes, 0u);
    EXPECT_GE(real->loadPercent, 0);
    EXPECT_LE(real->loadPercent, 100);
}

}  // namespace
}  // namespace tovrin
