#include "dialogs/TalkOpt.h"

#include "dialogs/PauseEdit.h"
#include "tests/player/QtApplication.h"
#include "text/CodePages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace tovrin {
namespace {

class FakeOwner : public SetupOwner {
  public:
    void SetupConfirmed() override { confirmed.push_back(dialog->ReadControls()); }
    void SetupClosed() override { ++closed; }
    const char* SetupText() override { return text.c_str(); }
    void SetupError(const std::string& error) override { errors.push_back(error); }

    TFrmSetup* dialog = nullptr;
    std::vector<PlayerOptions> confirmed;
    int closed = 0;
    std::string text;
    std::vector<std::string> errors;
};

// Every field away from its default.
PlayerOptions Unusual() {
    PlayerOptions options;
    options.ReadingType = 2;
    options.CodePage = 2;
    options.Dcd_pH = options.Dcd_NoPeren = options.Dcd_NoUdar = false;
    options.Dcd_NoCommand = options.Dcd_NoChar = false;
    options.AbzType = 1;
    options.AbzBeg = Utf8ToWindows1251("Абзац");
    options.AbzBegP = true;
    options.AbzBegPause = 15;
    options.AbzEnd = "{wait3}";
    options.AbzEndP = true;
    options.AbzEndPause = 7;
    options.AbzNoEndP = false;
    options.RazdEmpt = 12;
    options.RazdKey = Utf8ToWindows1251("Глава");
    options.BlockSize = 2048;
    options.BlockOrgAbz = false;
    options.BlockSelAbz = false;
    options.BlockPack = false;
    options.BlockMsg = Utf8ToWindows1251("Дальше");
    options.DictScript = "T2R";
    options.DictOver = false;
    options.DictRep = false;
    return options;
}

template <typename Widget>
Widget* Control(TFrmSetup& dialog, const char* name) {
    auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_TRUE(widget) << name;
    return widget;
}

void Choose(TFrmSetup& dialog, const char* list, int item) {
    auto* combo = Control<QComboBox>(dialog, list);
    combo->setCurrentIndex(item);
    emit combo->activated(item);
}

void Type(TFrmSetup& dialog, const char* field, const QString& text) {
    auto* edit = Control<QLineEdit>(dialog, field);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

TEST(TalkOpt, ControlsMapEveryFieldBothWays) {
    TFrmSetup dialog(nullptr);
    for (const char* name :
         {"BtnCalc", "BtnOk",       "BtnCancel",   "ReadingType",   "CodePageName",
          "Dcd_pH",  "Dcd_NoPeren", "Dcd_NoUdar",  "Dcd_NoCommand", "Dcd_NoChar",
          "AbzType", "AbzBeg",      "AbzBegP",     "AbzBegPause",   "AbzEnd",
          "AbzEndP", "AbzEndPause", "AbzNoEndP",   "RazdType",      "RazdEmpt",
          "RazdKey", "BlockSize",   "BlockSelAbz", "BlockOrgAbz",   "BlockPack",
          "BlockMsg"}) {
        auto* control = Control<QWidget>(dialog, name);
        if (control) {
            EXPECT_FALSE(control->accessibleName().isEmpty()) << name;
        }
    }
    EXPECT_EQ(dialog.windowTitle(), "Настройка плеера");

    PlayerOptions unusual = Unusual();
    dialog.WriteControls(unusual);
    unusual.RazdType = 3;
    EXPECT_EQ(Control<PauseEdit>(dialog, "AbzBegPause")->text(), "1.5");
    EXPECT_EQ(Control<QLineEdit>(dialog, "AbzBeg")->text(), "Абзац");
    EXPECT_EQ(Control<QComboBox>(dialog, "BlockSize")->currentText(), "2 Килобайта");
    EXPECT_TRUE(Control<QCheckBox>(dialog, "BlockPack")->isEnabled() == false);
    EXPECT_TRUE(Control<QCheckBox>(dialog, "BlockOrgAbz")->isEnabled());
    const PlayerOptions back = dialog.ReadControls();
    EXPECT_EQ(back.ReadingType, 2);
    EXPECT_EQ(back.AbzBeg, unusual.AbzBeg);
    EXPECT_EQ(back.AbzBegPause, 15);
    EXPECT_EQ(back.AbzEndPause, 7);
    EXPECT_EQ(back.RazdKey, unusual.RazdKey);
    EXPECT_EQ(back.BlockMsg, unusual.BlockMsg);
    // What the dialog does not show comes back as it was loaded.
    EXPECT_EQ(back.DictScript, "T2R");
    EXPECT_FALSE(back.DictOver);
    EXPECT_FALSE(back.DictRep);
    const auto same = [](PlayerOptions a, const PlayerOptions& b) {
        return a.Dcd_pH == b.Dcd_pH && a.Dcd_NoChar == b.Dcd_NoChar && a.AbzType == b.AbzType &&
               a.AbzBegP == b.AbzBegP && a.AbzEnd == b.AbzEnd && a.AbzNoEndP == b.AbzNoEndP &&
               a.RazdEmpt == b.RazdEmpt && a.BlockSize == b.BlockSize &&
               a.BlockSelAbz == b.BlockSelAbz && a.BlockOrgAbz == b.BlockOrgAbz &&
               a.CodePage == b.CodePage;
    };
    EXPECT_TRUE(same(back, unusual));

    // The third paragraph form, every line a paragraph, is shown and read back.
    unusual.AbzType = kAbzEachLine;
    dialog.WriteControls(unusual);
    EXPECT_TRUE(Control<QRadioButton>(dialog, "AbzType2")->isChecked());
    EXPECT_EQ(Control<QRadioButton>(dialog, "AbzType2")->text(), "Каждая строка");
    EXPECT_EQ(dialog.ReadControls().AbzType, kAbzEachLine);
    Control<QRadioButton>(dialog, "AbzType0")->setChecked(true);
    EXPECT_EQ(dialog.ReadControls().AbzType, kAbzIndented);

    // Odd values shown the way the lists and bounds allow.
    PlayerOptions odd;
    odd.BlockSize = 5000;
    odd.RazdEmpt = 0;
    odd.CodePage = 3;
    dialog.WriteControls(odd);
    EXPECT_EQ(Control<QComboBox>(dialog, "BlockSize")->currentIndex(), 0);
    EXPECT_EQ(Control<QLineEdit>(dialog, "RazdEmpt")->text(), "1");
    EXPECT_EQ(Control<QComboBox>(dialog, "CodePageName")->currentText(), "Неизвестная кодировка");
    EXPECT_EQ(dialog.ReadControls().BlockSize, 32768);
    EXPECT_EQ(dialog.ReadControls().CodePage, 3);  // a detected KOI-8 kept while untouched
    odd.RazdEmpt = 30;
    dialog.WriteControls(odd);
    EXPECT_EQ(dialog.ReadControls().RazdEmpt, 24);
}

TEST(TalkOpt, ChangesNormaliseTheControlsOnlyWhenReady) {
    TFrmSetup dialog(nullptr);
    dialog.show();
    PlayerOptions options;
    options.CodePage = 3;
    dialog.WriteControls(options);
    auto* lastSectionType = Control<QRadioButton>(dialog, "RazdType3");
    auto* firstSectionType = Control<QRadioButton>(dialog, "RazdType0");
    auto* pack = Control<QCheckBox>(dialog, "BlockPack");

    QTest::mouseClick(firstSectionType, Qt::LeftButton);  // not ready: nothing snaps back
    EXPECT_TRUE(firstSectionType->isChecked());
    Type(dialog, "RazdEmpt", "40");
    EXPECT_EQ(Control<QLineEdit>(dialog, "RazdEmpt")->text(), "40");

    dialog.Ready = true;
    QTest::mouseClick(firstSectionType, Qt::LeftButton);
    EXPECT_TRUE(lastSectionType->isChecked());
    Type(dialog, "RazdEmpt", "40");
    EXPECT_EQ(Control<QLineEdit>(dialog, "RazdEmpt")->text(), "24");
    Type(dialog, "RazdEmpt", "5");  // one digit is that many lines
    EXPECT_EQ(dialog.ReadControls().RazdEmpt, 5);
    EXPECT_EQ(dialog.ReadControls().CodePage, 3);

    Choose(dialog, "CodePageName", 3);  // choosing "Unix KOI-8" shows the unknown code page
    EXPECT_EQ(Control<QComboBox>(dialog, "CodePageName")->currentIndex(), 4);
    EXPECT_EQ(dialog.ReadControls().CodePage, -1);
    Choose(dialog, "CodePageName", 1);
    EXPECT_EQ(dialog.ReadControls().CodePage, 1);

    QTest::mouseClick(Control<QCheckBox>(dialog, "BlockSelAbz"), Qt::LeftButton);
    EXPECT_FALSE(pack->isEnabled());
    EXPECT_TRUE(Control<QCheckBox>(dialog, "BlockOrgAbz")->isEnabled());
}

TEST(TalkOpt, CalculateOkAndCancelServeTheOwner) {
    TFrmSetup orphan(nullptr);
    orphan.WriteControls(Unusual());
    orphan.show();
    Control<QPushButton>(orphan, "BtnCalc")->click();  // no owner: nothing happens
    Control<QPushButton>(orphan, "BtnOk")->click();
    EXPECT_EQ(orphan.ReadControls().AbzType, 1);
    EXPECT_TRUE(orphan.isVisible());

    FakeOwner owner;
    TFrmSetup dialog(&owner);
    owner.dialog = &dialog;
    PlayerOptions options;
    options.DictScript = "R";
    dialog.WriteControls(options);
    dialog.Ready = true;
    dialog.show();
    // Plain text without "p", "H", quotes, braces or spaced letters, sections after two
    // empty lines.
    owner.text = Utf8ToWindows1251(
        "Первая строка текста.\r\n\r\n\r\nВторая строка текста.\r\n\r\n"
        "\r\nТретья строка.\r\n");
    Control<QPushButton>(dialog, "BtnCalc")->click();
    EXPECT_FALSE(Control<QCheckBox>(dialog, "Dcd_pH")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(dialog, "Dcd_NoUdar")->isChecked());
    EXPECT_EQ(Control<QLineEdit>(dialog, "RazdEmpt")->text(), "3");
    EXPECT_TRUE(owner.confirmed.empty());  // only the controls change

    Control<QPushButton>(dialog, "BtnOk")->click();
    ASSERT_EQ(owner.confirmed.size(), 1u);
    EXPECT_EQ(owner.confirmed[0].RazdEmpt, 3);
    EXPECT_EQ(owner.confirmed[0].AbzType, 1);
    EXPECT_EQ(owner.confirmed[0].DictScript, "R");
    EXPECT_FALSE(dialog.isVisible());

    dialog.show();
    QTest::keyClick(Control<QCheckBox>(dialog, "Dcd_pH"), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(owner.closed, 1);
    dialog.show();
    QTest::keyClick(Control<QLineEdit>(dialog, "AbzBeg"), Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(owner.closed, 2);
    dialog.show();
    Control<QPushButton>(dialog, "BtnCancel")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(owner.closed, 3);
    EXPECT_TRUE(owner.errors.empty());
}

}  // namespace
}  // namespace tovrin
