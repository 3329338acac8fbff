#include "engine/WinIniKeeper.h"

#include "engine/FileStore.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tovrin {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kEngineSections{"ZalSynthes", "TalkHost"};

// The user's sections that the engine's took the place of come back where they stood, also
// when sections repeat and the user edited the file meanwhile.
TEST(WinIniKeeperTest, RepeatedSectionsComeBackInTheirPlaces) {
    const std::string original =
        "[A]\nx=1\n[ZalSynthes]\nmine=1\n[B]\n[a]\ny=2\n[talkhost]\nmine=2\n[ZalSynthes]\nmine=3\n";
    // The engine's sections replaced the user's; a section was added, and one [A] taken out.
    const std::string current = "[A]\nx=1\n[B]\n[ZalSynthes]\nengine=1\n[New]\nz=3\n[a]\ny=2\n";
    EXPECT_EQ(PutBackSections(current, original, kEngineSections),
              "[A]\nx=1\n[ZalSynthes]\nmine=1\n[B]\n[New]\nz=3\n[a]\ny=2\n[talkhost]\nmine=2\n"
              "[ZalSynthes]\nmine=3\n");
    EXPECT_EQ(PutBackSections("[a]\ny=2\n", original, kEngineSections),
              "[a]\ny=2\n[ZalSynthes]\nmine=1\n[talkhost]\nmine=2\n[ZalSynthes]\nmine=3\n");
    // Only the engine's sections differ: the user's bytes come back as they were.
    EXPECT_EQ(PutBackSections("[A]\r\nx=1\r\n[ZalSynthes]\r\nengine=1\r\n[B]\r\n[a]\r\ny=2\r\n",
                              original, kEngineSections),
              original);
}

// A writer killed between making its temporary and renaming it leaves one beside win.ini; the
// next configuration removes it, and nothing else beside win.ini.
TEST(WinIniKeeperTest, TemporariesLeftByAKilledWriterAreRemoved) {
    const std::string folder = test::MakeTempDir("winini");
    const std::string winIni = folder + "/win.ini";
    std::ofstream(winIni) << "[User]\nk=v\n";
    const std::vector<std::string> stale{"win.ini.tovrin-tmp.a1B2c3",
                                         "win.ini.tovrin-saved.tovrin-tmp.Zz9Yy8"};
    const std::vector<std::string> kept{"win.ini.backup", "win.ini.tovrin-tmp.ab12",
                                        "win.ini.tovrin-tmp.ab-12c", "other.ini.tovrin-tmp.a1B2c3"};
    for (const auto& name : stale)
        std::ofstream(folder + "/" + name) << "partial";
    for (const auto& name : kept)
        std::ofstream(folder + "/" + name) << "user's";
    fs::create_directory(folder + "/win.ini.tovrin-tmp.dir123");

    WinIniKeeper keeper(winIni, kEngineSections, DiskFileStore::Instance());
    ASSERT_TRUE(keeper.WriteConfiguration({{ProfileChange::Kind::Write, "ZalSynthes", "k", "1"}}));
    for (const auto& name : stale)
        EXPECT_FALSE(fs::exists(folder + "/" + name)) << name;
    for (const auto& name : kept)
        EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;
    EXPECT_TRUE(fs::is_directory(folder + "/win.ini.tovrin-tmp.dir123"));

    std::ofstream(folder + "/win.ini.tovrin-tmp.Q1w2E3") << "partial";
    ASSERT_TRUE(keeper.PutBackUserSections());
    EXPECT_FALSE(fs::exists(folder + "/win.ini.tovrin-tmp.Q1w2E3"));
    EXPECT_EQ(test::ReadWholeFile(winIni), "[User]\nk=v\n");
}

// A side file too large to read is kept, and the configuration is not written over win.ini.
TEST(WinIniKeeperTest, ASideFileThatCannotBeReadIsNeverReplaced) {
    const std::string folder = test::MakeTempDir("winini");
    const std::string winIni = folder + "/win.ini";
    std::ofstream(winIni) << "[User]\nk=v\n";
    WinIniKeeper keeper(winIni, kEngineSections, DiskFileStore::Instance());
    std::ofstream(keeper.SideFile()) << "present\n";
    fs::resize_file(keeper.SideFile(), kMaxSettingsFileBytes + 1);
    EXPECT_FALSE(keeper.WriteConfiguration({{ProfileChange::Kind::Write, "ZalSynthes", "k", "1"}}));
    EXPECT_EQ(fs::file_size(keeper.SideFile()), kMaxSettingsFileBytes + 1);
    EXPECT_EQ(test::ReadWholeFile(winIni), "[User]\nk=v\n");
}

}  // namespace
}  // namespace tovrin
