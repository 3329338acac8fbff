// The find dialog against a plain document, and the about box against a made-up memory status.

#include "dialogs/MessageBoxes.h"
#include "dialogs/Reabout.h"
#include "dialogs/TalkFind.h"

#include "tests/player/QtApplication.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <fstream>

namespace tovrin {
namespace {

std::string W(const char* utf8) {
    return Utf8ToWindows1251(utf8);
}

// A document and its selection, in byte offsets.
class FakeTarget : public FindTarget {
  public:
    explicit FakeTarget(std::string text) : text_(std::move(text)) {}

    PlayerOptions FindOptions() const override {
        PlayerOptions options;
        DefaultPlayerOptions(options);
        options.CodePage = codePage;
        return options;
    }
    const char* TextBegin() const override { return text_.c_str(); }
    const char* TextEnd() const override { return text_.c_str() + text_.size(); }
    int32_t SelectionStart() const override { return start; }
    int32_t SelectionLength() const override { return end - start; }
    void SelectRange(int32_t from, int32_t to) override {
        start = from;
        end = to;
    }
    void ScrollToCaret() override { ++scrolls; }
    void FindClosed() override { ++closes; }

    int32_t codePage = 1;
    int32_t start = 0;
    int32_t end = 0;
    int scrolls = 0;
    int closes = 0;

  private:
    std::string text_;
};

class FindDialogTest : public testing::Test {
  protected:
    void Search(const QString& pattern, const char* button = nullptr) {
        dialog_.FindBox()->setEditText(pattern);
        if (button != nullptr)
            dialog_.findChild<QPushButton*>(button)->click();
        else
            QTest::keyClick(dialog_.FindBox(), Qt::Key_Return);
    }
    void Tick(const char* name, bool on) { dialog_.findChild<QCheckBox*>(name)->setChecked(on); }
    std::string Selected() const {
        return text_.substr(target_.start, target_.end - target_.start);
    }

    const std::string text_ = W(" кот котлета кит к т\r\nКОТ\r\n");
    FakeTarget target_{text_};
    TFrmFind dialog_{nullptr, &target_};
};

TEST_F(FindDialogTest, SearchesWithMasksAndWholeWords) {
    // Enter before any arrow searches down, skipping the character at the caret.
    Search(QStringLiteral("кот"));
    EXPECT_EQ(target_.start, 1);
    EXPECT_EQ(Selected(), W("кот"));
    EXPECT_EQ(target_.scrolls, 1);
    // Again from inside the match: "котлета" is no whole word, the capital one is found.
    Search(QStringLiteral("кот"));
    EXPECT_EQ(Selected(), W("КОТ"));
    // And back up.
    Search(QStringLiteral("кот"), "BtnUp");
    EXPECT_EQ(target_.start, 1);
    // A star makes the word open: "**кот*" finds "кот" inside "котлета" as well.
    Search(QStringLiteral("**кот*"), "BtnDown");
    EXPECT_EQ(target_.start, static_cast<int32_t>(text_.find(W("котлета"))));
    EXPECT_EQ(Selected(), W("кот"));

    target_.start = target_.end = 0;
    Search(QStringLiteral("к?т"), "BtnDown");
    EXPECT_EQ(Selected(), W("кот"));
    Search(QStringLiteral("к?т"));
    EXPECT_EQ(Selected(), W("кит")) << "a blank is no letter for \"?\"";
    Search(QStringLiteral("к?т"));
    EXPECT_EQ(Selected(), W("КОТ"));

    // Without "Метка" a match only moves the caret; case counts with "Регистр".
    Tick("Select", false);
    Tick("CaseOnly", true);
    target_.start = target_.end = 0;
    Search(QStringLiteral("КОТ"));
    EXPECT_EQ(target_.start, static_cast<int32_t>(text_.find(W("КОТ"))));
    EXPECT_EQ(target_.end, target_.start);

    // A DOS document is searched with a Windows-1251 pattern.
    std::string dos = text_;
    RecodeText(1, 2, dos.data(), dos.size());
    FakeTarget dosTarget(dos);
    dosTarget.codePage = 2;
    TFrmFind dosDialog(nullptr, &dosTarget);
    dosDialog.FindBox()->setEditText(QStringLiteral("кит"));
    dosDialog.findChild<QPushButton*>("BtnDown")->click();
    EXPECT_EQ(dosTarget.start, static_cast<int32_t>(text_.find(W("кит"))));
}

TEST_F(FindDialogTest, KeepsAHistoryOfAHundredAndRefusesEmptyMasks) {
    Search(QStringLiteral("кот"));
    Search(QStringLiteral("КОТ"));
    EXPECT_EQ(dialog_.FindBox()->count(), 1) << "compared without regard to case";
    const int32_t before = target_.start;
    Search(QStringLiteral("**"));
    EXPECT_EQ(dialog_.FindBox()->count(), 1);
    EXPECT_EQ(target_.start, before);
    for (int i = 0; i < 100; ++i)
        Search(QStringLiteral("слово%1").arg(i));
    EXPECT_EQ(dialog_.FindBox()->count(), 100);
    EXPECT_EQ(dialog_.FindBox()->itemText(0), QStringLiteral("слово99"));
    EXPECT_EQ(dialog_.FindBox()->findText(QStringLiteral("кот")), -1) << "the oldest went";
    EXPECT_EQ(dialog_.FindBox()->currentText(), QStringLiteral("слово99"));

    // Opened, it has the keyboard: typing replaces the last pattern.
    dialog_.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
    EXPECT_EQ(QApplication::focusWidget(), dialog_.FindBox());
    QTest::keyClicks(QApplication::focusWidget(), "k*t");
    EXPECT_EQ(dialog_.FindBox()->currentText(), QStringLiteral("k*t"));
    EXPECT_FALSE(dialog_.FindBox()->lineEdit()->accessibleName().isEmpty());

    // Ctrl+F closes it (hidden, not destroyed) and tells the owner.
    QTest::keyClick(dialog_.FindBox(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_GE(target_.closes, 1);
    for (const char* name :
         {"Find", "AsMask", "CaseOnly", "WordOnly", "Select", "BtnDown", "BtnUp", "BtnCancel"})
        EXPECT_FALSE(dialog_.findChild<QWidget*>(name)->accessibleName().isEmpty()) << name;
}

TEST(AboutBoxTest, ShowsTheMemoryStatusOnce) {
    const std::string path = test::MakeTempDir("about") + "/meminfo";
    std::ofstream(path)
        << "MemTotal:        8000000 kB\nMemFree: 1 kB\nMemAvailable:    5040000 kB\n";
    TAboutBox box(nullptr, path);
    EXPECT_EQ(box.windowTitle(), "О программе");
    EXPECT_EQ(box.findChild<QLabel*>("PhysMem")->text(), "8000000");
    EXPECT_EQ(box.findChild<QLabel*>("FreeRes")->text(), "37 %");
    auto* ok = box.findChild<QPushButton*>("OKButton");
    EXPECT_TRUE(ok->isDefault());
    box.show();
    ok->click();
    EXPECT_FALSE(box.isVisible());
}

// A box asked for by any control opens over that control's window (Qt centres it there); one
// asked for by no window opens over the active one.
TEST(DialogOwnerTest, IsTheWindowOfTheAskingControlOrTheActiveWindow) {
    QWidget window;
    auto* inner = new QWidget(&window);
    auto* control = new QLineEdit(inner);
    EXPECT_EQ(DialogOwner(control), &window);
    EXPECT_EQ(DialogOwner(&window), &window);
    window.show();
    QApplication::setActiveWindow(&window);
    EXPECT_EQ(DialogOwner(nullptr), QApplication::activeWindow());
}

}  // namespace
}  // namespace tovrin
