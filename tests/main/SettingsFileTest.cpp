#include "main/SettingsFile.h"

#include "platform/Profile.h"
#include "tests/support/TestEnvironment.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <map>

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

// Every type of stored value, written under a comma-decimal locale and read back.
TEST(SettingsFileTest, EveryStoredControlRoundTripsInTheFilesFormatsWhateverTheLocale) {
    // The user's locale must not reach the file: a comma-decimal one must be there to prove it.
    ASSERT_NE(std::setlocale(LC_ALL, "ru_RU.UTF-8"), nullptr)
        << "the ru_RU.UTF-8 locale is missing: run scripts/setup";
    const std::string path = test::MakeTempDir("ini") + "/tovrin.ini";
    StoredControls saved;
    saved.LogOffTime = 23.0 / 24 + 30.0 / 1440;  // 23:30
    saved.RGLogOffIndex = 2;
    saved.LogOnChecked = false;
    saved.StartUpEdit = "два\r\nряда";
    saved.AbzBeg = " \"в кавычках\" ";
    saved.AbzEndPause = "15";
    saved.Look.WindowColor = -2147483633;
    saved.Look.StyleDos = {"DejaVu Sans Mono", -19, 14, 1 | 2, 255, 255, "fpFixed"};
    saved.TestResItems = {"1", "3,85,0,7,5"};
    ASSERT_TRUE(SaveSettingsFile(path, PlacementAt(0, 0), saved));
    std::setlocale(LC_ALL, "C");

    const ProfileFile file(path);
    EXPECT_EQ(file.ReadString("TFrmTalk", "LogOff_Time"), "0.979166666666667");
    EXPECT_EQ(file.ReadString("TFrmTalk", "LogOn_Checked"), "False");
    EXPECT_EQ(file.ReadString("TFrmTalk", "StartUpEdit_Text"), "два  ряда");
    EXPECT_EQ(file.ReadString("TFrmTalk", "PnlPlayerSetup_Color"), "-2147483633");
    EXPECT_EQ(file.ReadString("TFrmTalk", "StyleDos_FontStyle"), "[fsBold,fsItalic]");
    EXPECT_EQ(file.ReadString("TFrmTalk", "StyleDos_FontPitch"), "fpFixed");
    EXPECT_EQ(file.ReadString("TFrmTalk", "StyleWin_FontStyle"), "[fsBold]");
    EXPECT_EQ(file.ReadString("TFrmTalk", "AutoCalc_Checked"), "True");
    // The keys stand in the stored list's order, the presets' section after StartUpEdit.
    const std::string text = test::ReadWholeFile(path);
    EXPECT_LT(text.find("LogOff_Time"), text.find("StartUpEdit_Text"));
    EXPECT_LT(text.find("StartUpEdit_Text"), text.find("[TFrmTalk.TestRes_Items]"));
    EXPECT_LT(text.find("DictOver_Checked"), text.find("FormVisible_Checked"));

    StoredControls loaded;
    LoadSettingsFile(path, kScreen, loaded);
    EXPECT_DOUBLE_EQ(loaded.LogOffTime, std::stod("0.979166666666667"));
    EXPECT_EQ(loaded.RGLogOffIndex, 2);
    EXPECT_FALSE(loaded.LogOnChecked);
    EXPECT_EQ(loaded.AbzBeg, "\"в кавычках\"");
    EXPECT_EQ(loaded.AbzEndPause, "15");
    EXPECT_EQ(loaded.Look, saved.Look);
    EXPECT_EQ(loaded.TestResItems, saved.TestResItems);
}

TEST(SettingsFileTest, DamagedValuesAreSkippedNeverClampedAndAFailedWriteKeepsTheOldFile) {
    const std::string path = test::MakeTempDir("ini") + "/tovrin.ini";
    std::ofstream(path)
        << "[TFrmTalk]\nRGLogOff_ItemIndex=7\nRGLogOn_ItemIndex=2\n"
        << "LogOn_Time=7,5\nReadingType_ItemIndex=-5\nStyleWin_FontStyle=[fsBold,x]\n"
        << "StyleWin_FontHeight=big\nStyleWin_FontPitch=fpOdd\n"
        << "[TFrmTalk.TestRes_Items]\nCount=2000000000\nItem0=3\n";
    StoredControls controls;
    LoadSettingsFile(path, kScreen, controls);
    EXPECT_EQ(controls.RGLogOffIndex, 1);  // not the power-off action
    EXPECT_EQ(controls.RGLogOnIndex, 2);
    EXPECT_DOUBLE_EQ(controls.LogOnTime, 7.0 / 24);
    EXPECT_EQ(controls.ReadingType, 0);
    EXPECT_EQ(controls.Look.StyleWin, StoredControls().Look.StyleWin);
    EXPECT_EQ(controls.TestResItems.size(), static_cast<size_t>(kMaxStoredListLines));
    EXPECT_EQ(controls.TestResItems[0], "3");

    const std::string before = test::ReadWholeFile(path);
    EXPECT_FALSE(SaveSettingsFile(path, PlacementAt(0, 0), controls,
                                  [](const std::string&, const std::string&) { return false; }));
    EXPECT_EQ(test::ReadWholeFile(path), before);
    // The writer is given the whole new file at once.
    std::string written;
    EXPECT_TRUE(SaveSettingsFile(path, PlacementAt(0, 0), controls,
                                 [&](const std::string&, const std::string& content) {
                                     written = content;
                                     return true;
                                 }));
    EXPECT_NE(written.find("RGLogOff_ItemIndex=1"), std::string::npos);
    EXPECT_NE(written.find("FormVisible_Checked=True"), std::string::npos);

    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_TRUE(SettingsFileReadOnly(path));
    EXPECT_FALSE(SettingsFileReadOnly(path + ".missing"));
}

// Counts what happens to the files of a folder, as the kernel reports it.
class FolderWatch {
  public:
    explicit FolderWatch(const std::string& folder) : fd_(inotify_init1(IN_NONBLOCK)) {
        inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~FolderWatch() { close(fd_); }
    // Events by kind since the watch began.
    std::map<uint32_t, int> Events() {
        alignas(inotify_event) char buffer[65536];
        ssize_t got = 0;
        while ((got = read(fd_, buffer, sizeof buffer)) > 0) {
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                for (uint32_t kind : {IN_CREATE, IN_MOVED_TO, IN_CLOSE_WRITE})
                    if (event->mask & kind) ++events_[kind];
                at += sizeof(inotify_event) + event->len;
            }
        }
        return events_;
    }

  private:
    int fd_;
    std::map<uint32_t, int> events_;
};

// What the save below gives, byte for byte (the file's CR LF line ends written as LF here).
const char kSavedSettings[] = R"(; kept
[Other]
kept=1

[TFrmTalk]
DictRep_Checked=True
Future_Key=x
FormVersion=0
Flags=0
ShowCmd=1
PixelsPerInch=96
MinMaxPos=-1,-1,-1,-1
MinMaxPos(1024x768)=-1,-1,-1,-1
NormPos=3,4,165,441
NormPos(1024x768)=3,4,165,441
Visible=1
LogOff_Time=0.0833333333333333
RGLogOff_ItemIndex=1
LogOff_Checked=True
LogOn_Time=0.291666666666667
RGLogOn_ItemIndex=0
LogOn_Checked=True
StartUpProcess_Text=
StartUpEdit_Text=Ро'та', по-дъё'м '! {wait 3}
TestEdit_Text=Тест произношения
PnlPlayerSetup_Color=-2147483633
PnlPlayerSetup_FontCharset=1
PnlPlayerSetup_FontColor=-2147483640
PnlPlayerSetup_FontHeight=-11
PnlPlayerSetup_FontName=MS Sans Serif
PnlPlayerSetup_FontPitch=fpDefault
PnlPlayerSetup_FontSize=8
PnlPlayerSetup_FontStyle=[]
EditorSetup_Color=-2147483643
EditorSetup_FontColor=0
StyleWin_FontCharset=204
StyleWin_FontColor=0
StyleWin_FontHeight=-13
StyleWin_FontName=Courier New
StyleWin_FontPitch=fpDefault
StyleWin_FontSize=10
StyleWin_FontStyle=[fsBold]
StyleDos_FontCharset=255
StyleDos_FontColor=0
StyleDos_FontHeight=-19
StyleDos_FontName=Terminal
StyleDos_FontPitch=fpDefault
StyleDos_FontSize=14
StyleDos_FontStyle=[]
ReadingType_ItemIndex=0
AutoCalc_Checked=True
AbzBeg_Text=
AbzBegP_Checked=False
AbzBegPause_Text=
AbzEnd_Text=
AbzEndP_Checked=True
AbzEndPause_Text=5
BlockMsg_Text=
BlockItem_Text=0
DictScript_Text=E1R1
DictOver_Checked=True
BtnRun_Down=False
FormVisible_Checked=True

[TFrmTalk.TestRes_Items]
Count=2
Item0=2
Item1="'q'"
)";

std::string WithCrLf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// One save writes one temporary file beside the settings file and renames it over the file:
// no copies elsewhere, no rewrite per key. The bytes are those the key-by-key edits give.
TEST(SettingsFileTest, OneSaveIsOneAtomicWriteOfTheWholeFile) {
    const std::string folder = test::MakeTempDir("ini");
    const std::string path = folder + "/tovrin.ini";
    const std::string original =
        "; kept\r\n[Other]\r\nkept=1\r\n\r\n[TFrmTalk.TestRes_Items]\r\nCount=1\r\n"
        "Item0=old\r\n\r\n[TFrmTalk]\r\nDictRep_Checked=False\r\nFuture_Key=x\r\n\r\n"
        "[TFrmTalk.TestRes_Items]\r\nItem5=stale\r\n";
    std::ofstream(path, std::ios::binary) << original;
    StoredControls controls;
    controls.TestResItems = {"2", "'q'"};

    std::string written;
    SaveSettingsFile(path, PlacementAt(3, 4), controls,
                     [&](const std::string&, const std::string& content) {
                         written = content;
                         return true;
                     });
    EXPECT_EQ(written, WithCrLf(kSavedSettings));

    // A temporary of a writer killed before its rename goes with the next save; a user's own
    // copy beside the file stays.
    const std::string leftover = path + ".tovrin-tmp.Ab12Cd";
    std::ofstream(leftover, std::ios::binary) << "half";
    std::ofstream(path + ".backup", std::ios::binary) << original;

    const std::string temporary = test::MakeTempDir("tmp");
    const std::string savedTmp = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    setenv("TMPDIR", temporary.c_str(), 1);
    FolderWatch watchFolder(folder);
    FolderWatch watchTemporary(temporary);
    const bool saved = SaveSettingsFile(path, PlacementAt(3, 4), controls);
    savedTmp.empty() ? unsetenv("TMPDIR") : setenv("TMPDIR", savedTmp.c_str(), 1);
    ASSERT_TRUE(saved);
    EXPECT_EQ(test::ReadWholeFile(path), written);
    const auto events = watchFolder.Events();
    EXPECT_EQ(events.count(IN_CREATE) ? events.at(IN_CREATE) : 0, 1);
    EXPECT_EQ(events.count(IN_MOVED_TO) ? events.at(IN_MOVED_TO) : 0, 1);
    EXPECT_TRUE(watchTemporary.Events().empty());
    EXPECT_FALSE(std::filesystem::exists(leftover));
    EXPECT_EQ(test::ReadWholeFile(path + ".backup"), original);
}

// A FIFO or a device in the settings file's place is read as no file and never replaced.
TEST(SettingsFileTest, ASettingsFileThatIsNoRegularFileIsLeftAlone) {
    const std::string folder = test::MakeTempDir("ini");
    const std::string fifo = folder + "/tovrin.ini";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = folder + "/zero.ini";
    std::filesystem::create_symlink("/dev/zero", zero);
    EXPECT_EXIT(
        {
            alarm(10);
            bool ok = true;
            for (const std::string& path : {fifo, zero}) {
                StoredControls controls;
                ok = ok && !LoadSettingsFile(path, kScreen, controls);
                ok = ok && controls.DictScript == StoredControls().DictScript;
                ok = ok && !SaveSettingsFile(path, PlacementAt(0, 0), controls);
            }
            _exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_symlink(zero));
}

TEST(SettingsFileTest, TheFileLivesBesideAWritableExecutableElseInTheSystemFolder) {
    const std::string folder = test::MakeTempDir("exe");
    EXPECT_EQ(SettingsFilePath(folder + "/tovrin"), folder + "/tovrin.ini");
    EXPECT_EQ(SettingsFilePath("/proc/1/tovrin"), *SystemFolder() + "/tovrin.ini");
    // A folder marked read-only is left alone even by the superuser, who could write there.
    const std::string readOnly = test::MakeTempDir("installed");
    ASSERT_EQ(chmod(readOnly.c_str(), 0555), 0);
    EXPECT_EQ(SettingsFilePath(readOnly + "/tovrin"), *SystemFolder() + "/tovrin.ini");
}

}  // namespace
}  // namespace tovrin
