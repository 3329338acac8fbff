// The player window without a mouse: the keyboard in a read-only document, every command in a
// menu, and what a screen reader meets (names, status panels and their change events).

#include "player/TalkView.h"

#include "dialogs/MessageBoxes.h"
#include "player/PlayerDocument.h"
#include "tests/player/FakePlayerHost.h"
#include "tests/player/QtApplication.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <fstream>
#include <utility>
#include <vector>

namespace tovrin {
namespace {

std::string W(const char* utf8) {
    return Utf8ToWindows1251(utf8);
}

const std::string kText =
    W("    Первый абзац.\r\n    Второй абзац текста.\r\n    Третий абзац.\r\n");
const int32_t kSecondLine = static_cast<int32_t>(W("    Первый абзац.\r\n").size());

// Every accessibility event the widgets send, as (object, event type).
std::vector<std::pair<QObject*, QAccessible::Event>> recorded;

void Record(QAccessibleEvent* event) {
    recorded.emplace_back(event->object(), event->type());
}

class PlayerAccessTest : public testing::Test {
  protected:
    void SetUp() override {
        view_ = new TFrmView(host_, nullptr, &boxes_);
        view_->show();
        const std::string path = test::MakeTempDir("access") + "/Повесть.txt";
        std::ofstream(path, std::ios::binary) << kText;
        ASSERT_TRUE(view_->LoadText(path));
        Editor()->setFocus();
    }
    void TearDown() override {
        QAccessible::installUpdateHandler(nullptr);
        delete view_.data();
    }

    QPlainTextEdit* Editor() { return view_->findChild<QPlainTextEdit*>("Editor"); }
    QLabel* Panel(const char* name) { return view_->findChild<QLabel*>(name); }
    static QString Name(QObject* object) {
        return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
    }
    // Without a platform bridge (the offscreen tests) Qt sends no events: nothing to check.
    bool Announced(QObject* object, QAccessible::Event type) {
        if (!QAccessible::isActive()) return true;
        return std::find(recorded.begin(), recorded.end(), std::make_pair(object, type)) !=
               recorded.end();
    }

    test::FakePlayerHost host_;
    ScriptedMessageBoxes boxes_;
    QPointer<TFrmView> view_;
};

TEST_F(PlayerAccessTest, AReadOnlyDocumentKeepsAMovingCaretAndKeyboardSelection) {
    ASSERT_TRUE(Editor()->isReadOnly());
    EXPECT_TRUE(Editor()->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    EXPECT_GT(Editor()->cursorWidth(), 0);

    QTest::keyClick(Editor(), Qt::Key_Down);
    EXPECT_EQ(view_->Caret(), kSecondLine);
    QTest::keyClick(Editor(), Qt::Key_End);
    QTest::keyClick(Editor(), Qt::Key_Home, Qt::ShiftModifier);
    ASSERT_TRUE(Editor()->textCursor().hasSelection());
    QTest::keyClick(Editor(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "    Второй абзац текста.");
    EXPECT_TRUE(Editor()->isReadOnly());

    // Unlocked and locked again, the keyboard still moves the caret.
    for (int i = 0; i < 2; ++i)
        view_->findChild<QAction*>("BtnReadOnly")->trigger();
    ASSERT_TRUE(Editor()->isReadOnly());
    QTest::keyClick(Editor(), Qt::Key_Up);
    EXPECT_EQ(view_->Caret(), 0);
}

TEST_F(PlayerAccessTest, PlayWithASelectionStartsWhereTheSelectionStarts) {
    view_->SetCaret(kSecondLine);
    for (int i = 0; i < 8; ++i)
        QTest::keyClick(Editor(), Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(Editor()->textCursor().position(), Editor()->textCursor().selectionEnd());
    EXPECT_EQ(view_->Caret(), kSecondLine);
    view_->findChild<QAction*>("PlayItem")->trigger();
    EXPECT_EQ(view_->BlockStart(), kSecondLine);
}

TEST_F(PlayerAccessTest, EveryCommandHasAMenuItem) {
    int commands = 0;
    for (QAction* action : view_->findChildren<QAction*>(Qt::FindDirectChildrenOnly)) {
        if (action->objectName().isEmpty()) continue;
        ++commands;
        const QList<QObject*> shown = action->associatedObjects();
        EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](QObject* o) {
            return qobject_cast<QMenu*>(o) != nullptr;
        })) << action->objectName().toStdString();
    }
    EXPECT_GT(commands, 40);
    // The lock through its menu item makes the text writable and back.
    auto* edit = view_->menuBar()->findChild<QMenu*>("EditMenu");
    const QList<QAction*> items = edit->actions();
    const auto lock = std::find_if(items.begin(), items.end(),
                                   [](QAction* a) { return a->objectName() == "BtnReadOnly"; });
    ASSERT_NE(lock, items.end());
    (*lock)->trigger();
    EXPECT_FALSE(Editor()->isReadOnly());
    EXPECT_TRUE(view_->findChild<QToolButton*>("BtnReadOnly")->isChecked() == false);
}

TEST_F(PlayerAccessTest, StatusPanelsAndTheWindowAreNamedByWhatTheyShow) {
    QAccessible::installUpdateHandler(&Record);
    QAccessible::setActive(true);
    recorded.clear();

    // The window is told apart by its document.
    EXPECT_EQ(Name(view_), "Плеер - Повесть.txt");
    const std::string other = test::MakeTempDir("access") + "/Рассказ.txt";
    std::ofstream(other, std::ios::binary) << kText;
    ASSERT_TRUE(view_->LoadText(other));
    EXPECT_EQ(Name(view_), "Плеер - Рассказ.txt");
    EXPECT_TRUE(Announced(view_, QAccessible::NameChanged));

    // Each panel's text is what the reader hears, and each change is announced.
    recorded.clear();
    QTest::keyClick(Editor(), Qt::Key_Down);
    EXPECT_EQ(Name(Panel("StatusCaret")), Panel("StatusCaret")->text());
    EXPECT_TRUE(Name(Panel("StatusCaret")).contains("Строка:   2"));
    EXPECT_TRUE(Announced(Panel("StatusCaret"), QAccessible::NameChanged));

    view_->findChild<QAction*>("PlayItem")->trigger();
    EXPECT_EQ(Name(Panel("StatusMessage")), Panel("StatusMessage")->text());
    EXPECT_FALSE(Name(Panel("StatusMessage")).isEmpty());
    EXPECT_TRUE(Announced(Panel("StatusMessage"), QAccessible::NameChanged));
    view_->findChild<QAction*>("StopItem")->trigger();

    view_->findChild<QAction*>("BtnReadOnly")->trigger();
    Editor()->textCursor().insertText("x");
    EXPECT_EQ(Name(Panel("StatusModified")), "Modified");
    EXPECT_TRUE(Announced(Panel("StatusModified"), QAccessible::NameChanged));
    // What a panel is stays with it, for a reader that asks.
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(Panel("StatusModified"))
                     ->text(QAccessible::Description)
                     .isEmpty());
}

}  // namespace
}  // namespace tovrin
