// The highlight of what is being read follows the portion and the spoken line, and leaves the
// caret and the view alone.

#include "player/SpeechHighlight.h"

#include "player/PlayerDocument.h"
#include "tests/player/QtApplication.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QScrollBar>

namespace tovrin {
namespace {

std::string W(const char* utf8) {
    return Utf8ToWindows1251(utf8);
}

TEST(SpeechHighlightTest, ThePortionAndItsSpokenLineAreShownWithoutMovingTheCaret) {
    QPlainTextEdit editor;
    PlayerDocument document(*editor.document());
    // Buffer: "Первая\r\n" (0..8) "вторая строка\r\n" (8..23) "третья\r\n" (23..31) "конец".
    document.SetText(W("Первая\r\nвторая строка\r\nтретья\r\nконец"), 1);
    editor.resize(300, 200);
    QTextCursor caret(editor.document());
    caret.setPosition(2);
    editor.setTextCursor(caret);
    const int scrolled = editor.verticalScrollBar()->value();

    SpeechHighlight highlight(editor, document);
    highlight.Show(8, 31, 25);  // lines two and three, speaking in line three
    // View positions count a line break as one: line two is 7..20, line three 21..27.
    EXPECT_EQ(highlight.PortionShown(), (SpeechHighlight::Range{7, 28}));
    EXPECT_EQ(highlight.LineShown(), (SpeechHighlight::Range{21, 27}));
    EXPECT_EQ(editor.extraSelections().size(), 2);
    EXPECT_EQ(editor.textCursor().position(), 2);
    EXPECT_FALSE(editor.textCursor().hasSelection());
    EXPECT_EQ(editor.verticalScrollBar()->value(), scrolled);

    // The spoken line never reaches outside the portion.
    highlight.Show(10, 14, 12);
    EXPECT_EQ(highlight.LineShown(), (SpeechHighlight::Range{9, 13}));

    highlight.SetEnabled(false);
    EXPECT_TRUE(editor.extraSelections().isEmpty());
    highlight.Show(8, 31, 25);
    EXPECT_TRUE(editor.extraSelections().isEmpty());
    highlight.SetEnabled(true);
    highlight.Show(8, 31, 25);
    EXPECT_EQ(editor.extraSelections().size(), 2);
    highlight.Show(0, 0, 0);  // reading ended
    EXPECT_TRUE(editor.extraSelections().isEmpty());
}

}  // namespace
}  // namespace tovrin
