// A player window reading a dictionary: each entry goes out as a dictionary request, other
// lines as text; the end of a pass shuffles and repeats as the options say.

#include "player/TalkView.h"

#include "player/PlayerDocument.h"
#include "tests/player/FakePlayerHost.h"
#include "tests/player/QtApplication.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <memory>

namespace tovrin {
namespace {

class DictionaryHost : public test::FakePlayerHost {
  public:
    void GetTextOptions(PlayerOptions& options) override {
        options.ReadingType = 0;
        options.DictScript = "E1R1";
        options.DictOver = dictOver;
        options.DictRep = dictRep;
    }
    bool dictOver = false;
    bool dictRep = false;
};

const std::string kHeading = Utf8ToWindows1251("Слова на каждый день");
const std::string kCat = Utf8ToWindows1251("cat - кошка - words.wav 0 2410");
const std::string kDog = Utf8ToWindows1251("dog - собака - Words.wav 3510 5613");

class DictionaryReadingTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = test::MakeTempDir("dictionary") + "/";
        std::filesystem::create_directory(folder_ + "slovar1");
        view_ = std::make_unique<TFrmView>(host_);
        view_->CreateSetupDialog();
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(folder_ + name, std::ios::binary) << bytes;
        return folder_ + name;
    }
    QToolButton* Button(const char* name) { return view_->findChild<QToolButton*>(name); }
    QString Status() { return view_->findChild<QLabel*>("StatusMessage")->text(); }
    bool Reading() { return Button("BtnPlay")->isChecked(); }
    // Lets the engine finish each portion, at most `ticks` times.
    void Finish(int ticks) {
        for (int i = 0; i < ticks && Reading(); ++i) {
            host_.busy = false;
            host_.Tick();
        }
    }

    std::string folder_;
    DictionaryHost host_;
    std::unique_ptr<TFrmView> view_;
};

TEST_F(DictionaryReadingTest, EntriesGoOutAsRequestsAndOtherLinesAsText) {
    ASSERT_TRUE(view_->LoadText(Write("S1WORDS.TXT", kHeading + "\r\n" + kCat + "\r\n")));
    EXPECT_EQ(view_->DocKind(), "TXT");
    EXPECT_EQ(view_->Options().ReadingType, 0);

    ASSERT_TRUE(view_->LoadText(
        Write("S1WORDS.DIC", kHeading + "\r\n" + kCat + "\r\n\r\n" + kDog + "\r\n")));
    EXPECT_EQ(view_->DocKind(), "DIC");
    EXPECT_EQ(view_->Options().ReadingType, 2);
    view_->ClickPlay();
    Finish(20);
    EXPECT_FALSE(Reading());
    EXPECT_EQ(Status(), "Текст прочитан");
    ASSERT_EQ(host_.spoken.size(), 1u);
    EXPECT_EQ(host_.spoken[0], kHeading);
    ASSERT_EQ(host_.dictionaryRequests.size(), 2u);
    EXPECT_EQ(host_.dictionaryRequests[0], "{TALKSERVCMD}\r\n{IntelDictionary}\r\nE1R1\r\nCAT\r\n" +
                                               Utf8ToWindows1251("кошка\r\n") + folder_ +
                                               "slovar1/WORDS.WAV\r\n0\r\n2410\r\n");
    EXPECT_NE(host_.dictionaryRequests[1].find("\r\nDOG\r\n"), std::string::npos);
}

TEST_F(DictionaryReadingTest, RepeatGoesOnOnlyWhileThereAreEntries) {
    host_.dictOver = true;
    host_.dictRep = true;
    // Entries: shuffled after the pass (the heading dropped), then read again from the top.
    ASSERT_TRUE(view_->LoadText(Write("S1A.DIC", kHeading + "\r\n" + kCat + "\r\n" + kDog)));
    view_->ClickPlay();
    Finish(8);
    EXPECT_TRUE(Reading());
    EXPECT_GE(host_.dictionaryRequests.size(), 4u);
    EXPECT_EQ(host_.spoken.size(), 1u);
    EXPECT_EQ(view_->Document().Bytes().find(kHeading), std::string::npos);

    // No entry at all: one pass as text, no shuffle that would empty the editor, and the end.
    const std::string headings = kHeading + "\r\n" + Utf8ToWindows1251("Глава - вторая") + "\r\n";
    ASSERT_TRUE(view_->LoadText(Write("S1B.DIC", headings)));
    EXPECT_EQ(view_->DocKind(), "DIC");
    host_.spoken.clear();
    view_->ClickPlay();
    Finish(20);
    EXPECT_FALSE(Reading());
    EXPECT_EQ(Status(), "Текст прочитан");
    EXPECT_EQ(host_.spoken.size(), 2u);
    EXPECT_EQ(view_->Document().Bytes(), headings);

    ASSERT_TRUE(view_->LoadText(Write("S1C.DIC", "")));
    view_->ClickPlay();
    Finish(20);
    EXPECT_FALSE(Reading());
    EXPECT_EQ(Status(), "Текст прочитан");
}

TEST_F(DictionaryReadingTest, TheSetupButtonShowsTheOptionsDialog) {
    ASSERT_TRUE(view_->LoadText(Write("S1WORDS.DIC", kCat)));
    auto* dialog = view_->findChild<QDialog*>("FrmSetup");
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->findChild<QGroupBox*>("ReadingType")->isEnabled());
    Button("BtnSetup")->click();
    EXPECT_TRUE(dialog->isVisible());
    auto* pH = dialog->findChild<QCheckBox*>("Dcd_pH");
    pH->click();
    const bool wanted = pH->isChecked();
    dialog->findChild<QPushButton*>("BtnOk")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(Button("BtnSetup")->isChecked());
    EXPECT_EQ(view_->Options().Dcd_pH, wanted);
    EXPECT_EQ(view_->Options().DictScript, "E1R1");
    EXPECT_EQ(view_->Options().ReadingType, 2);

    Button("BtnSetup")->click();
    dialog->findChild<QPushButton*>("BtnCancel")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(Button("BtnSetup")->isChecked());
}

}  // namespace
}  // namespace tovrin
