#include "main/SettingsFile.h"

#include "platform/Profile.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tovrin {
namespace {

const ScreenInfo kScreen{1024, 768, 96};

WindowPlacement PlacementAt(int left, int top) {
    WindowPlacement placement;
    placement.Left = left;
    placement.Top = top;
    placement.Right = left + 162;
    placement.Bottom = top + 437;
    placement.ScreenWidth = 1024;
    placement.ScreenHeight = 768;
    return placement;
}

TEST(SettingsFileTest, ValuesComeBackAsTheRulesOfTheFileSay) {
    const std::string path = test::MakeTempDir("ini") + "/tovrin.ini";
    {
        std::ofstream(path) << "[Other]\nkept=1\n[TFrmTalk]\nFuture_Key=0.5\n"
                            << "[TFrmTalk.TestRes_Items]\nCount=9\nItem8=stale\n";
    }
    StoredControls saved;
    saved.TestResItems = {"2", " \"quoted\" ", "  padded  ", "'single'"};
    saved.BlockItemText = " 4 ";
    saved.BtnRunDown = true;
    saved.FormVisibleChecked = false;
    ASSERT_TRUE(SaveSettingsFile(path, PlacementAt(40, 50), saved));

    const ProfileFile file(path);
    EXPECT_EQ(file.ReadString("Other", "kept"), "1");
    EXPECT_EQ(file.ReadString("TFrmTalk", "Future_Key"), "0.5");
    EXPECT_EQ(file.ReadString("TFrmTalk", "NormPos(1024x768)"), "40,50,202,487");
    EXPECT_EQ(file.ReadString("TFrmTalk", "BtnRun_Down"), "True");
    EXPECT_EQ(file.KeyNames("TFrmTalk.TestRes_Items").size(), 5u);  // the old list is gone
    EXPECT_NE(test::ReadWholeFile(path).find("Item1=\"\"quoted\"\""), std::string::npos);
    // Nothing but the file itself is left in its folder.
    EXPECT_EQ(
        std::distance(
            std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()), {}),
        1);

    StoredControls loaded;
    const auto position = LoadSettingsFile(path, kScreen, loaded);
    ASSERT_TRUE(position);
    EXPECT_EQ(position->Left, 40);
    EXPECT_EQ(position->Top, 50);
    EXPECT_EQ(loaded.TestResItems,
              (std::vector<std::string>{"2", "\"quoted\"", "padded", "'single'"}));
    EXPECT_EQ(loaded.BlockItemText, "4");
    EXPECT_TRUE(loaded.BtnRunDown);
    EXPECT_FALSE(loaded.FormVisibleChecked);

    // Another screen density: the position is ignored, the controls are still restored.
    StoredControls denser;
    EXPECT_FALSE(LoadSettingsFile(path, {1024, 768, 144}, denser));
    EXPECT_TRUE(denser.BtnRunDown);
    // Another screen size falls back to the plain key.
    EXPECT_TRUE(LoadSettingsFile(path, {800, 600, 96}, denser));
}

TEST(SettingsFileTest, BadOrMissingValuesLeaveTheControlsAlone) {
    const std::string path = test::MakeTempDir("ini") + "/tovrin.ini";
    std::ofstream(path) << "[TFrmTalk]\nBtnRun_Down=Yes\nFormVisible_Checked=false\n"
                        << "[TFrmTalk.TestRes_Items]\nCount=0\nItem0=5\n";
    StoredControls controls;
    controls.TestResItems = {"0", "built-in"};
    controls.BtnRunDown = true;
    EXPECT_FALSE(LoadSettingsFile(path, kScreen, controls));
    EXPECT_TRUE(controls.BtnRunDown);
    EXPECT_FALSE(controls.FormVisibleChecked);
    EXPECT_EQ(controls.TestResItems, (std::vector<std::string>{"0", "built-in"}));
    EXPECT_EQ(controls.BlockItemText, "0");

    // A first save makes the file.
    const std::string fresh = test::MakeTempDir("ini") + "/tovrin.ini";
    ASSERT_TRUE(SaveSettingsFile(fresh, PlacementAt(0, 0), controls));
    EXPECT_EQ(ProfileFile(fresh).ReadString("TFrmTalk", "FormVisible_Checked"), "False");

    StoredControls untouched;
    EXPECT_FALSE(LoadSettingsFile(path + ".missing", kScreen, untouched));
    EXPECT_TRUE(untouched.FormVisibleChecked);
}

TEST(SettingsFileTest, TheFileLivesBesideAWritableExecutableElseInTheSystemFolder) {
    const std::string folder = test::MakeTempDir("exe");
    EXPECT_EQ(SettingsFilePath(folder + "/tovrin"), folder + "/tovrin.ini");
    EXPECT_EQ(SettingsFilePath("/proc/1/tovrin"), *SystemFolder() + "/tovrin.ini");
}

}  // namespace
}  // namespace tovrin
