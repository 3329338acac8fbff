// The player's document: bytes in their own code page behind a Qt editor, kept equal to what
// the editor shows through every kind of edit.

#include "player/PlayerDocument.h"

#include "player/DisplayTables.h"
#include "tests/player/QtApplication.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>

#include <random>
#include <set>

namespace tovrin {
namespace {

constexpr int kCodePages[] = {-1, 0, 1, 2, 3};

// Every byte but the line break characters, in lines of 40, with CR LF between them.
std::string AllBytesInLines() {
    std::string text;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte == '\r' || byte == '\n') continue;
        text += static_cast<char>(byte);
        if (byte % 40 == 39) text += "\r\n";
    }
    return text + "\r\n\r\nend";
}

TEST(DisplayTableTest, EveryByteShowsAsItsOwnCharacterAndEncodesBack) {
    for (int codePage : kCodePages) {
        const DisplayTable& table = DisplayTable::For(codePage);
        std::set<char16_t> shown;
        for (int byte = 0; byte < 256; ++byte) {
            shown.insert(table.Show(static_cast<unsigned char>(byte)));
            if (byte != '\r' && byte != '\n') {
                EXPECT_EQ(table.Encode(table.Show(static_cast<unsigned char>(byte))), byte)
                    << "code page " << codePage << " byte " << byte;
            }
        }
        EXPECT_EQ(shown.size(), 256u) << "code page " << codePage;
        // Typed Russian letters land on the code page's own bytes.
        EXPECT_EQ(table.Encode(u'Я'), RecodeCharFromWindows(codePage < 0 ? 1 : codePage, 0xDF));
        EXPECT_EQ(table.Encode(u'✓'), '?');
    }
    EXPECT_EQ(DisplayTable::For(1).Show(0x98), 0x0098);
    EXPECT_EQ(DisplayTable::For(2).Show(0xC4), u'─');
    EXPECT_EQ(DisplayTable::For(3).Show(0xC1), u'а');
}

// The bytes of what the editor holds, read without toPlainText.
std::string EncodedView(const PlayerDocument& document, QPlainTextEdit& editor) {
    return document.Encode(editor.document()->toRawText());
}

// Typing as a keyboard does it, one key event per character.
void Type(QWidget& widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&widget, &press);
    }
}

TEST(PlayerDocumentTest, RandomEditsKeepTheBufferEqualToTheView) {
    QPlainTextEdit editor;
    PlayerDocument document(*editor.document());
    std::mt19937 random(7);
    const QString typed[] = {QStringLiteral("Ёж"),       QStringLiteral("─┼"),
                             QStringLiteral("a\u00A0b"), QStringLiteral("x\u2029y"),
                             QStringLiteral("é✓"),       QString::fromUtf8("😀"),
                             QStringLiteral("\u0098")};
    for (int codePage : kCodePages) {
        SCOPED_TRACE(codePage);
        const std::string original = AllBytesInLines();
        document.SetText(original, codePage);
        ASSERT_EQ(editor.document()->toRawText(),
                  document.Show(original).replace(u'\n', QChar(0x2029)));
        for (int step = 0; step < 150; ++step) {
            const int length = editor.document()->characterCount() - 1;
            QTextCursor cursor = editor.textCursor();
            cursor.setPosition(std::uniform_int_distribution<int>(0, length)(random));
            switch (random() % 6) {
                case 0:
                    cursor.insertText(typed[random() % std::size(typed)]);
                    break;
                case 1:
                    cursor.setPosition(std::min(length, cursor.position() + int(random() % 90)),
                                       QTextCursor::KeepAnchor);
                    cursor.removeSelectedText();
                    break;
                case 2:
                    editor.setTextCursor(cursor);
                    Type(editor, QStringLiteral("Щи"));
                    QTest::keyClick(&editor, Qt::Key_Return);
                    QTest::keyClick(&editor, Qt::Key_Backspace);
                    QTest::keyClick(&editor, Qt::Key_Delete);
                    break;
                case 3:
                    editor.undo();
                    break;
                case 4:
                    editor.redo();
                    break;
                default:
                    editor.setTextCursor(cursor);
                    editor.insertPlainText(QStringLiteral("строка\nещё\r\n"));
                    break;
            }
            ASSERT_EQ(document.Bytes(), EncodedView(document, editor)) << "step " << step;
        }
        // Positions map both ways, every line break two bytes.
        for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next()) {
            const int32_t offset = document.OffsetOf(block.position());
            EXPECT_EQ(offset, block.position() + block.blockNumber());
            EXPECT_TRUE(offset == 0 || document.Bytes().compare(offset - 2, 2, "\r\n") == 0);
            EXPECT_EQ(document.ViewPositionOf(offset), block.position());
            // Inside the CR LF that ends the block: the end of the line.
            EXPECT_EQ(document.ViewPositionOf(offset + block.length()),
                      block.position() + block.length() - 1);
        }
        EXPECT_EQ(document.ViewPositionOf(-5), 0);
        EXPECT_EQ(document.ViewPositionOf(document.Size() + 5),
                  editor.document()->characterCount() - 1);

        // Whatever was deleted comes back byte for byte.
        document.SetText(original, codePage);
        editor.selectAll();
        editor.textCursor().removeSelectedText();
        EXPECT_EQ(document.Size(), 0);
        editor.undo();
        EXPECT_EQ(document.Bytes(), original);
    }
}

TEST(PlayerDocumentTest, LoneCarriageReturnsLineFeedsAndZerosAreKeptInTheirLines) {
    QPlainTextEdit editor;
    PlayerDocument document(*editor.document());
    const auto bytes = [](const auto& literal) { return std::string(literal, sizeof literal - 1); };
    const std::string mixed = bytes("a\rb\nc\r\nd\0e");
    document.SetText(mixed, 1);
    EXPECT_EQ(document.Bytes(), mixed);
    EXPECT_EQ(editor.document()->blockCount(), 2);
    // Deleting what stands between a lone CR and a lone LF brings them together; the view
    // still holds one line there and positions still map one to one.
    QTextCursor cursor(editor.document());
    cursor.setPosition(2);
    cursor.deleteChar();
    EXPECT_EQ(document.Bytes(), bytes("a\r\nc\r\nd\0e"));
    EXPECT_EQ(document.OffsetOf(editor.document()->findBlockByNumber(1).position()), 6);
    cursor.setPosition(4);
    cursor.deletePreviousChar();
    EXPECT_EQ(document.Bytes(), bytes("a\r\n\r\nd\0e"));
    editor.undo();
    editor.undo();
    EXPECT_EQ(document.Bytes(), mixed);
}

TEST(PlayerDocumentTest, LongLinesAreShownInPiecesWithTheBytesAndPositionsKept) {
    QPlainTextEdit editor;
    PlayerDocument document(*editor.document());
    std::mt19937 random(3);
    // A line of words, a line with no blank at all, short lines between, a line just at the
    // limit, and a long line ending the text.
    std::string words;
    while (words.size() < 5 * kDisplayLineChars)
        words += std::string(1 + random() % 12, static_cast<char>(0xE0 + random() % 32)) + " ";
    const std::string text =
        words + "\r\nshort\r\n" + std::string(3 * kDisplayLineChars + 7, '\0') + "\r\n\r\n" +
        std::string(kDisplayLineChars, 'x') + "\r\n" + words.substr(0, 2 * kDisplayLineChars + 1);
    for (int codePage : {1, 2}) {
        SCOPED_TRACE(codePage);
        document.SetText(text, codePage);
        EXPECT_TRUE(document.Wrapped());
        EXPECT_EQ(document.Bytes(), text);
        QString shown;
        for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next()) {
            EXPECT_LE(block.length() - 1, kDisplayLineChars) << block.blockNumber();
            shown += block.text();
        }
        // Only display breaks were added: the pieces together are the text without its breaks.
        std::string unbroken = text;
        std::erase(unbroken, '\r');
        std::erase(unbroken, '\n');
        EXPECT_EQ(shown, document.Show(unbroken));
        // A piece of words ends after a blank.
        EXPECT_TRUE(editor.document()->begin().text().endsWith(u' '));
        EXPECT_TRUE(editor.document()->find(QString(kDisplayLineChars, u'x')).block().length() ==
                    kDisplayLineChars + 1)
            << "a line at the limit is one piece";

        // Every byte outside a CR LF is at the view position it maps to, and back.
        for (int32_t offset = 0; offset < document.Size(); ++offset) {
            if (text[offset] == '\n') continue;
            const int position = document.ViewPositionOf(offset);
            if (text[offset] == '\r') {
                EXPECT_EQ(document.OffsetOf(position), offset);
                continue;
            }
            ASSERT_EQ(document.OffsetOf(position), offset);
            ASSERT_EQ(editor.document()->characterAt(position),
                      DisplayTable::For(codePage).Show(static_cast<unsigned char>(text[offset])))
                << offset;
        }
        EXPECT_EQ(document.OffsetOf(editor.document()->characterCount() - 1), document.Size());
        EXPECT_EQ(document.ViewPositionOf(document.Size()),
                  editor.document()->characterCount() - 1);
        // An edit of the view that got through anyway leaves the bytes alone.
        QTextCursor(editor.document()).insertText(QStringLiteral("правка\n"));
        EXPECT_EQ(document.Bytes(), text);
    }
    document.SetText(std::string(kDisplayLineChars, 'x'), 1);
    EXPECT_FALSE(document.Wrapped());
}

TEST(PlayerDocumentTest, AWindowRefusesMoreBytesOrLinesThanItHolds) {
    EXPECT_EQ(PlayerDocument::TooLargeForWindow(kMaxWindowDocumentBytes, kMaxWindowDocumentLines),
              QString());
    EXPECT_EQ(PlayerDocument::TooLargeForWindow(kMaxWindowDocumentBytes + 1, 1),
              QStringLiteral("больше 64 МБ"));
    EXPECT_EQ(PlayerDocument::TooLargeForWindow(10, kMaxWindowDocumentLines + 1),
              QStringLiteral("больше 1000000 строк"));
    // Lines are counted by their breaks.
    std::string lines;
    for (int64_t i = 1; i < kMaxWindowDocumentLines; ++i)
        lines += "\r\n";
    EXPECT_EQ(PlayerDocument::TooLargeForWindow(lines), QString());
    EXPECT_EQ(PlayerDocument::TooLargeForWindow(lines + "\r\n"),
              QStringLiteral("больше 1000000 строк"));
}

}  // namespace
}  // namespace tovrin
