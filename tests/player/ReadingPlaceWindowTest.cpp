// A player window remembers where the reading of a document stopped and its own state: a
// window closed and a new one opened on the same file come back there, read on from there,
// and show what is being read while it is read.

#include "player/TalkView.h"

#include "player/PlayerDocument.h"
#include "player/SpeechHighlight.h"
#include "tests/player/FakePlayerHost.h"
#include "tests/player/QtApplication.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>

#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace tovrin {
namespace {

std::string W(const char* utf8) {
    return Utf8ToWindows1251(utf8);
}

// A book of 120 paragraphs of three lines each, the first line indented; `starts` gets the
// offset of each paragraph's first and third line.
std::string MakeBook(std::vector<int32_t>& starts, std::vector<int32_t>& thirdLines) {
    std::string text;
    for (int n = 0; n < 120; ++n) {
        starts.push_back(static_cast<int32_t>(text.size()));
        text += "    " + W("Абзац ") + std::to_string(n) + W(", его первая строка,\r\n");
        text += W("вторая строка абзаца,\r\n");
        thirdLines.push_back(static_cast<int32_t>(text.size()));
        text += W("третья строка абзаца ") + std::to_string(n) + ".\r\n";
    }
    return text;
}

class ReadingPlaceWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = test::MakeTempDir("places");
        places_ = std::make_unique<ReadingPlaces>(folder_ + "/state");
        book_ = folder_ + "/book.txt";
        text_ = MakeBook(starts_, thirdLines_);
        Write(book_, text_);
    }
    void TearDown() override { view_.reset(); }

    static void Write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    // A new window, as the program makes one, with `file` loaded.
    void Open(const std::string& file) {
        view_.reset();
        view_ = std::make_unique<TFrmView>(host_);
        view_->KeepPlacesIn(places_.get());
        view_->show();
        ASSERT_TRUE(view_->LoadText(file));
    }
    void Close() { view_.reset(); }

    QAction* Item(const char* name) { return view_->findChild<QAction*>(name); }
    QPlainTextEdit* Editor() { return view_->findChild<QPlainTextEdit*>("Editor"); }
    bool Reading() { return Item("PlayItem")->isChecked(); }
    bool CaretInView() { return Editor()->viewport()->rect().contains(Editor()->cursorRect()); }

    // Starts reading at `caret` (shown third from the top) and lets the engine speak three
    // quarters of the first portion.
    void ReadFrom(int32_t caret) {
        view_->SetCaret(caret);
        view_->ScrollToCaret();
        view_->ClickPlay();
        host_.busy = true;
        host_.progress = {0, 100, 75};
        host_.Tick();
    }

    test::FakePlayerHost host_;
    std::string folder_;
    std::unique_ptr<ReadingPlaces> places_;
    std::string book_;
    std::string text_;
    std::vector<int32_t> starts_, thirdLines_;
    std::unique_ptr<TFrmView> view_;
};

TEST_F(ReadingPlaceWindowTest, ANewWindowComesBackWhereTheReadingStoppedAndReadsOnFromThere) {
    Open(book_);
    EXPECT_EQ(view_->Caret(), 0);
    ReadFrom(starts_[70]);
    // Three quarters into the paragraph is its third line: reading goes on from that line.
    Item("StopItem")->trigger();
    ASSERT_FALSE(Reading());
    EXPECT_EQ(view_->CurrentPlace().Caret, thirdLines_[70]);
    const int32_t top = view_->CurrentPlace().Top;
    Close();

    Open(book_);
    EXPECT_EQ(view_->Caret(), thirdLines_[70]);
    EXPECT_EQ(view_->CurrentPlace().Top, top);
    EXPECT_GT(Editor()->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(CaretInView());
    const size_t sent = host_.spoken.size();
    view_->ClickPlay();
    ASSERT_EQ(host_.spoken.size(), sent + 1);
    EXPECT_EQ(host_.spoken.back().rfind(W("третья строка абзаца 70."), 0), 0u);

    // A window closed while it reads (as the program's end closes it) keeps the spoken line.
    Item("StopItem")->trigger();
    ReadFrom(starts_[80]);
    Close();
    Open(book_);
    EXPECT_EQ(view_->Caret(), thirdLines_[80]);

    // A pause keeps the place at once, before any close.
    ReadFrom(starts_[90]);
    Item("PauseItem")->trigger();
    EXPECT_EQ(places_->Find(*KeyOfFile(book_))->Caret, thirdLines_[90]);
    // A caret the user moves after a stop is what is kept then.
    Item("StopItem")->trigger();
    view_->SetCaret(starts_[5]);
    Close();
    Open(book_);
    EXPECT_EQ(view_->Caret(), starts_[5]);
}

TEST_F(ReadingPlaceWindowTest, ARewrittenFileOrOneReadToItsEndOpensAtItsStart) {
    // Another document loaded into the window keeps the first one's place.
    const std::string other = folder_ + "/other.txt";
    Write(other, W("Другой текст.\r\n"));
    Open(book_);
    view_->SetCaret(starts_[40]);
    ASSERT_TRUE(view_->LoadText(other));
    EXPECT_EQ(places_->Find(*KeyOfFile(book_))->Caret, starts_[40]);
    ASSERT_TRUE(view_->LoadText(book_));
    EXPECT_EQ(view_->Caret(), starts_[40]);
    Close();

    // Rewritten under the same name, it is another document.
    Write(book_, text_ + W("Новая строка в конце.\r\n"));
    Open(book_);
    EXPECT_EQ(view_->Caret(), 0);

    // Read to the end: the place is forgotten, and not kept again when the window closes.
    ReadFrom(starts_[119]);
    for (int i = 0; i < 50 && Reading(); ++i) {
        host_.busy = false;
        host_.Tick();
        host_.busy = true;
        host_.Tick();
    }
    ASSERT_FALSE(Reading());
    EXPECT_FALSE(places_->Find(*KeyOfFile(book_)));
    Close();
    EXPECT_FALSE(places_->Find(*KeyOfFile(book_)));
    Open(book_);
    EXPECT_EQ(view_->Caret(), 0);
}

TEST_F(ReadingPlaceWindowTest, ABookComesBackToItsPlaceByTheBookFile) {
    // The book is copied so that its key is this test's own.
    const std::string book = folder_ + "/lighthouse.fb2";
    std::ifstream sample(TOVRIN_SAMPLES_DIR "/lighthouse.fb2", std::ios::binary);
    Write(book, std::string(std::istreambuf_iterator<char>(sample), {}));
    Open(book);
    const int32_t middle = view_->Document().Size() / 2;
    view_->SetCaret(middle);
    const int32_t caret = view_->Caret();
    Close();
    ASSERT_TRUE(places_->Find(*KeyOfFile(book)));
    Open(book);
    EXPECT_EQ(view_->Caret(), caret);
}

TEST_F(ReadingPlaceWindowTest, TheWindowStateGoesToTheNextNewWindow) {
    Open(book_);
    EXPECT_TRUE(Item("HighlightItem")->isChecked());
    Item("BtnWrap")->trigger();
    Item("HighlightItem")->trigger();
    view_->setGeometry(40, 50, 500, 380);
    ReadFrom(starts_[3]);
    Item("DragItem")->trigger();
    ASSERT_TRUE(Item("DragItem")->isChecked());
    Close();

    Open(book_);
    EXPECT_NE(Editor()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(Item("BtnWrap")->isChecked());
    EXPECT_FALSE(Item("HighlightItem")->isChecked());
    EXPECT_EQ(view_->geometry(), QRect(40, 50, 500, 380));
    // The drag mode comes back with the first reading.
    EXPECT_FALSE(Item("DragItem")->isChecked());
    view_->ClickPlay();
    EXPECT_TRUE(Item("DragItem")->isChecked());
    EXPECT_TRUE(view_->Highlight().PortionShown() == SpeechHighlight::Range{});

    // A damaged state file is ignored: the window opens as a new one does.
    Close();
    Write(places_->FileName(), "{ not json");
    Open(book_);
    EXPECT_EQ(Editor()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(Item("HighlightItem")->isChecked());
    EXPECT_EQ(view_->Caret(), 0);
    Close();
    EXPECT_TRUE(places_->WindowState());  // and a sound one replaces it
}

// A window kept on a larger screen (or at a smaller scale) comes back inside the screen it
// opens on: no larger than it, and moved in where it would stick out.
TEST_F(ReadingPlaceWindowTest, AKeptWindowLargerThanTheScreenComesBackInsideIt) {
    PlayerWindowState kept;
    const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
    kept.Left = room.x() + room.width() / 2;
    kept.Top = room.y() + room.height() / 2;
    kept.Width = room.width() + 300;
    kept.Height = room.height() + 200;
    ASSERT_TRUE(places_->RememberWindowState(kept));
    Open(book_);
    // Its frame too: the client leaves room for a title bar above and borders around.
    const QRect frame = view_->frameGeometry();
    EXPECT_TRUE(room.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width()
                                      << "x" << frame.height() << " in " << room.width() << "x"
                                      << room.height();
    EXPECT_LT(view_->height(), room.height());
    // One that fits stays where it was kept.
    Close();
    kept = PlayerWindowState{};
    kept.Left = room.x() + 40;
    kept.Top = room.y() + 60;
    kept.Width = room.width() / 2;
    kept.Height = room.height() / 2;
    ASSERT_TRUE(places_->RememberWindowState(kept));
    Open(book_);
    EXPECT_EQ(view_->geometry(), QRect(kept.Left, kept.Top, kept.Width, kept.Height));
}

TEST_F(ReadingPlaceWindowTest, WhatIsBeingReadIsShownWithoutMovingTheCaretOrTheView) {
    Open(book_);
    view_->SetCaret(starts_[2]);
    const int scrolled = Editor()->verticalScrollBar()->value();
    view_->ClickPlay();
    host_.busy = true;
    host_.progress = {0, 100, 75};
    host_.Tick();
    const PlayerDocument& document = view_->Document();
    EXPECT_EQ(view_->Highlight().PortionShown().Start,
              document.ViewPositionOf(view_->BlockStart()));
    EXPECT_EQ(view_->Highlight().LineShown().Start, document.ViewPositionOf(thirdLines_[2]));
    EXPECT_EQ(view_->Caret(), starts_[2]);
    EXPECT_EQ(Editor()->verticalScrollBar()->value(), scrolled);

    // Turned off from the menu while reading, then on again: shown from the next tick.
    Item("HighlightItem")->trigger();
    EXPECT_TRUE(Editor()->extraSelections().isEmpty());
    Item("HighlightItem")->trigger();
    EXPECT_EQ(Editor()->extraSelections().size(), 2);

    Item("StopItem")->trigger();
    EXPECT_TRUE(Editor()->extraSelections().isEmpty());
}

}  // namespace
}  // namespace tovrin
