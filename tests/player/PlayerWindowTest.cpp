// The player window as a user drives it: moving through the text, files, the clipboard and
// drops, saving, printing, fonts and panels. Every box and dialog is answered by the script.

#include "player/TalkView.h"

#include "dialogs/MessageBoxes.h"
#include "dialogs/TalkFind.h"
#include "player/PlayerDocument.h"
#include "player/PlayerSetupDialog.h"
#include "tests/player/FakePlayerHost.h"
#include "tests/player/QtApplication.h"
#include "tests/support/CaptionFit.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"
#include "text/TextFinder.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QAccessible>
#include <QApplication>
#include <QScreen>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

namespace tovrin {
namespace {

std::string W(const char* utf8) {
    return Utf8ToWindows1251(utf8);
}

std::string Dos(const char* utf8) {
    std::string text = W(utf8);
    RecodeText(1, 2, text.data(), text.size());
    return text;
}

template <size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

std::string WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Paragraphs with indented first lines, runs of empty lines between some of them, as a
// scanned book has them.
std::string MakeBook(unsigned seed) {
    std::mt19937 random(seed);
    std::string text;
    for (int paragraph = 0; paragraph < 40; ++paragraph) {
        text += "    " + W("Начало абзаца");
        for (unsigned line = random() % 4; line > 0; --line)
            text += "\r\n" + W("строка продолжения");
        text += "\r\n";
        for (unsigned empty = random() % 5 == 0 ? 1 + random() % 3 : 0; empty > 0; --empty)
            text += "\r\n";
    }
    return text;
}

class PlayerWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = test::MakeTempDir("window");
        view_ = new TFrmView(host_, nullptr, &boxes_);
        view_->show();
    }
    void TearDown() override { delete view_.data(); }

    QToolButton* Button(const char* name) { return view_->findChild<QToolButton*>(name); }
    QAction* Item(const char* name) { return view_->findChild<QAction*>(name); }
    QPlainTextEdit* Editor() { return view_->findChild<QPlainTextEdit*>("Editor"); }
    QString Panel(const char* name) { return view_->findChild<QLabel*>(name)->text(); }
    QString Status() { return Panel("StatusMessage"); }
    std::string Path(const std::string& name) { return folder_ + "/" + name; }
    void Load(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(view_->LoadText(WriteFile(Path(name), bytes)));
    }
    // Makes the loaded text writable and types into it at the caret.
    void Type(const QString& text) {
        if (Editor()->isReadOnly()) Button("BtnReadOnly")->click();
        Editor()->textCursor().insertText(text);
    }
    bool SaveAs(const std::string& path) {
        boxes_.fileNames.push_back(QString::fromStdString(path));
        view_->findChild<QLabel*>("StatusMessage")->clear();
        Item("FileSaveItem")->trigger();
        return boxes_.fileNames.empty() && Status() == "Файл сохранен";
    }

    std::string folder_;
    test::FakePlayerHost host_;
    ScriptedMessageBoxes boxes_;
    QPointer<TFrmView> view_;
};

TEST_F(PlayerWindowTest, MovesThroughParagraphsAndSectionsAsTheFinderSays) {
    for (unsigned seed : {1u, 2u, 3u}) {
        const std::string book = MakeBook(seed);
        Load("book.txt", book);
        const LayoutParams layout = LayoutParamsOf(view_->Options());
        const char* text = view_->Document().Data();
        const auto offset = [text](const char* p) { return static_cast<int32_t>(p - text); };
        std::mt19937 random(seed);
        for (int i = 0; i < 60; ++i) {
            const int32_t caret = i == 0   ? 0
                                  : i == 1 ? view_->Document().Size()
                                           : static_cast<int32_t>(random() % book.size());
            // A caret asked for inside a CR LF pair stands at the end of its line.
            view_->SetCaret(caret);
            const int32_t start = view_->Caret();
            SetTextBounds(text, view_->Document().End());
            const char* c = text + start;
            const TextRange paragraph = FindParagraph(layout, c);
            const TextRange section = FindNextSection(layout, c);
            const std::pair<const char*, int32_t> expected[] = {
                {"BtnBack", offset(FindParagraphStart(layout, c).Start)},
                {"BtnPrev", offset(FindPreviousSection(layout, c).Start)},
                {"BtnStep", offset(paragraph.Start == c ? FindParagraph(layout, paragraph.End).Start
                                                        : paragraph.Start)},
                {"BtnNext", offset(section.Start == c ? FindNextSection(layout, section.End).Start
                                                      : section.Start)}};
            for (const auto& [button, target] : expected) {
                view_->SetCaret(caret);
                Button(button)->click();
                ASSERT_EQ(view_->Caret(), target)
                    << button << " from " << caret << " seed " << seed;
                EXPECT_FALSE(Button(button)->isChecked());
            }
        }
    }
    // The keys and the menu do the same; a step at the end stays at the end.
    view_->SetCaret(0);
    QTest::keyClick(Editor(), Qt::Key_Down, Qt::ControlModifier);
    const int32_t second = view_->Caret();
    EXPECT_GT(second, 0);
    Item("BackItem")->trigger();
    EXPECT_EQ(view_->Caret(), 0);
    view_->SetCaret(view_->Document().Size());
    Item("NextItem")->trigger();
    EXPECT_EQ(view_->Caret(), view_->Document().Size());

    // The view place: down goes to the spoken line, up comes back.
    view_->SetCaret(second);
    Button("BtnViewTalk")->click();
    EXPECT_EQ(view_->Caret(), 0);
    EXPECT_TRUE(Button("BtnViewTalk")->isChecked());
    Button("BtnViewTalk")->click();
    EXPECT_EQ(view_->Caret(), second);

    // While the caret follows the speech nothing moves it.
    view_->ClickPlay();
    Button("BtnDrag")->click();
    const int32_t spoken = view_->Caret();
    for (const char* name : {"BtnStep", "BtnNext", "BtnBack", "BtnPrev", "BtnViewTalk"}) {
        Button(name)->click();
        EXPECT_EQ(view_->Caret(), spoken) << name;
        EXPECT_FALSE(Button(name)->isChecked()) << name;
    }
}

TEST_F(PlayerWindowTest, AFailedLoadKeepsTheDocumentAndItsChanges) {
    Load("first.txt", W("Первый текст.\r\n"));
    Type(QStringLiteral("Правка. "));
    const std::string edited = view_->Document().Bytes();
    ASSERT_EQ(Panel("StatusModified"), "Modified");

    const std::string fifo = Path("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Larger than a window's positions can hold; sparse, so it costs nothing.
    const std::string huge = Path("huge.txt");
    WriteFile(huge, "");
    ASSERT_EQ(truncate(huge.c_str(), static_cast<off_t>(kMaxDocumentBytes + 1)), 0);
    for (const std::string& bad : {Path("missing.txt"), folder_, fifo, huge}) {
        EXPECT_FALSE(view_->LoadText(bad)) << bad;
        EXPECT_EQ(view_->Document().Bytes(), edited);
        EXPECT_EQ(view_->DocName(), Path("first.txt"));
        EXPECT_EQ(view_->windowTitle(), "Плеер - first.txt");
        EXPECT_EQ(view_->DocKind(), "TXT");
        EXPECT_EQ(Panel("StatusModified"), "Modified");
        EXPECT_TRUE(Status().contains(QString::fromStdString(bad))) << Status().toStdString();
    }
    EXPECT_TRUE(boxes_.texts.empty()) << "nothing to ask about when nothing is replaced";

    // Replacing unsaved changes asks first; Cancel keeps them, No lets them go.
    const std::string second = WriteFile(Path("second.txt"), W("Второй.\r\n"));
    boxes_.answers = {BoxButton::Cancel};
    EXPECT_FALSE(view_->LoadText(second));
    EXPECT_EQ(view_->Document().Bytes(), edited);
    ASSERT_EQ(boxes_.texts.size(), 1u);
    EXPECT_EQ(boxes_.texts[0], "Текст изменен. Сохранить изменения?");
    boxes_.answers = {BoxButton::No};
    EXPECT_TRUE(view_->LoadText(second));
    EXPECT_EQ(view_->Document().Bytes(), W("Второй.\r\n"));
    EXPECT_EQ(Panel("StatusModified"), "");
}

TEST_F(PlayerWindowTest, SavesEveryFormBackByteForByteAndAtomically) {
    // A file of one form of line break comes back byte for byte; a mixed one in its most
    // frequent form, which the first save tells.
    const std::pair<std::string, std::string> forms[] = {
        {Dos("Строка\rодна\nи\r\nдругая") + Bytes("\0\x98\xff end\r\n"),
         Dos("Строка\r\nодна\r\nи\r\nдругая") + Bytes("\0\x98\xff end\r\n")},
        {"\xEF\xBB\xBF" + std::string("Привет, ёжик\nвторая строка\n"), ""},
        {"Без BOM: Ёлка\r\nи\rвсё", "Без BOM: Ёлка\r\nи\r\nвсё"},
        {W("Просто\nпо LF\n"), ""},
        {W("Старый\rМак\r"), ""},
        {Bytes("\0\0\r\n\r\r\n\n"), Bytes("\0\0\r\n\r\n\r\n\r\n")}};
    int n = 0;
    for (const auto& [bytes, mixedSaved] : forms) {
        const std::string name = "form" + std::to_string(n++) + ".txt";
        Load(name, bytes);
        boxes_.fileNames.push_back(QString::fromStdString(Path("copy-" + name)));
        Item("FileSaveItem")->trigger();
        EXPECT_EQ(Status(),
                  mixedSaved.empty()
                      ? QStringLiteral("Файл сохранен")
                      : QStringLiteral("Файл сохранен; концы строк записаны в одном виде: CR LF"))
            << name;
        EXPECT_EQ(test::ReadWholeFile(Path("copy-" + name)),
                  mixedSaved.empty() ? bytes : mixedSaved)
            << name;
        EXPECT_EQ(view_->DocName(), Path("copy-" + name));
    }
    EXPECT_TRUE(SaveAs(Path("again.txt"))) << "the line breaks are told once";

    // Overwriting needs a Yes.
    Load("doc.txt", W("Старое.\r\n"));
    Type(QStringLiteral("Новое. "));
    boxes_.answers = {BoxButton::No};
    EXPECT_FALSE(SaveAs(Path("doc.txt")));
    EXPECT_EQ(test::ReadWholeFile(Path("doc.txt")), W("Старое.\r\n"));
    EXPECT_EQ(boxes_.texts.back(), "OK чтобы переписать " + Path("doc.txt"));

    // A failed write keeps the old file and the unsaved state, and says why.
    view_->SetDocumentWriter([](const std::string&, std::string_view, const DocumentForm&) {
        throw DocumentError("No space left on device");
    });
    boxes_.answers = {BoxButton::Yes};
    EXPECT_FALSE(SaveAs(Path("doc.txt")));
    EXPECT_EQ(test::ReadWholeFile(Path("doc.txt")), W("Старое.\r\n"));
    EXPECT_EQ(Status(), "No space left on device");
    EXPECT_EQ(Panel("StatusModified"), "Modified");
    EXPECT_EQ(view_->DocName(), Path("doc.txt"));
    view_->SetDocumentWriter(&SaveDocument);
    boxes_.answers = {BoxButton::Yes};
    EXPECT_TRUE(SaveAs(Path("doc.txt")));
    EXPECT_EQ(test::ReadWholeFile(Path("doc.txt")), W("Новое. Старое.\r\n"));
    EXPECT_EQ(Panel("StatusModified"), "");

    // Characters that became "?" are not written over the original without a word.
    const std::string utf8 = "Символ ✓ и ещё ✓\n";
    Load("utf8.txt", utf8);
    boxes_.answers = {BoxButton::Yes, BoxButton::No};
    EXPECT_FALSE(SaveAs(Path("utf8.txt")));
    EXPECT_EQ(test::ReadWholeFile(Path("utf8.txt")), utf8);
    EXPECT_NE(boxes_.texts.back().find("(2)"), std::string::npos) << boxes_.texts.back();
    // Nor after the document was saved elsewhere, for as long as it is open.
    boxes_.answers.clear();
    ASSERT_TRUE(SaveAs(Path("elsewhere.txt")));
    const size_t asked = boxes_.texts.size();
    boxes_.answers = {BoxButton::Yes, BoxButton::No};
    EXPECT_FALSE(SaveAs(Path("utf8.txt")));
    EXPECT_EQ(test::ReadWholeFile(Path("utf8.txt")), utf8);
    ASSERT_EQ(boxes_.texts.size(), asked + 2);
    EXPECT_NE(boxes_.texts.back().find("(2)"), std::string::npos) << boxes_.texts.back();
    // Once the user agreed, the file holds the "?" and a later save asks only to overwrite.
    boxes_.answers = {BoxButton::Yes, BoxButton::Yes};
    EXPECT_TRUE(SaveAs(Path("utf8.txt")));
    EXPECT_EQ(test::ReadWholeFile(Path("utf8.txt")), "Символ ? и ещё ?\n");
    boxes_.answers = {BoxButton::Yes};
    EXPECT_TRUE(SaveAs(Path("utf8.txt")));
    EXPECT_EQ(boxes_.texts.size(), asked + 5);
}

TEST_F(PlayerWindowTest, EveryLineBreakOfAMixedFileIsALineOfTheView) {
    // An LF file with one CR LF: each break is a line, none is shown as a sign.
    std::string file;
    for (int i = 0; i < 50; ++i)
        file += W("Абзац номер ") + std::to_string(i) + (i == 20 ? "\r\n" : "\n");
    Load("mixed.txt", file);
    EXPECT_EQ(Editor()->document()->blockCount(), 51);
    EXPECT_FALSE(Editor()->document()->toRawText().contains(QChar(0x240A)));
    EXPECT_EQ(view_->Form().FileLineBreaks, DocumentForm::LineBreaks::Lf);
    EXPECT_EQ(Editor()->document()->findBlockByNumber(21).text(), "Абзац номер 21");
    // Offsets and view positions still map one to one.
    view_->SetCaret(static_cast<int32_t>(view_->Document().Bytes().find(W("номер 21"))));
    EXPECT_EQ(Editor()->textCursor().blockNumber(), 21);
}

TEST_F(PlayerWindowTest, DocumentsTooLargeForTheWindowAreRefusedAndLongLinesShownInPieces) {
    Load("first.txt", W("Первый текст.\r\n"));
    // Sparse, so it costs nothing; the size alone refuses it, before any reading.
    const std::string big = WriteFile(Path("big.txt"), "");
    ASSERT_EQ(truncate(big.c_str(), static_cast<off_t>(kMaxWindowDocumentBytes + 1)), 0);
    std::string manyLines;
    for (int64_t i = 0; i < kMaxWindowDocumentLines; ++i)
        manyLines += "\n";
    const std::string lines = WriteFile(Path("lines.txt"), manyLines);
    const std::pair<std::string, QString> refused[] = {
        {big, QStringLiteral("больше 64 МБ")}, {lines, QStringLiteral("больше 1000000 строк")}};
    for (const auto& [path, reason] : refused) {
        // A file large enough to be read off the window's thread is refused when the reading
        // ends; one over the window's size at once.
        const bool begun = view_->LoadText(path);
        EXPECT_TRUE(path != big || !begun);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view_->Loading(); }, 20000));
        EXPECT_EQ(Status(), QStringLiteral("Файл \"%1\" слишком велик для окна плеера: ")
                                    .arg(QString::fromStdString(path)) +
                                reason);
        EXPECT_TRUE(view_->Document().Bytes() == W("Первый текст.\r\n"));
        EXPECT_EQ(view_->DocName(), Path("first.txt"));
    }
    QApplication::clipboard()->setText(QString::fromStdString(manyLines));
    Item("ClipbrdOpenItem")->trigger();
    EXPECT_EQ(Status(), "Текст в клипборде слишком велик для окна плеера: больше 1000000 строк");
    EXPECT_TRUE(view_->Document().Bytes() == W("Первый текст.\r\n"));
    // Pasted into the document, by the key or by the editor's own paste, it is refused alike.
    Button("BtnReadOnly")->click();
    ASSERT_FALSE(Editor()->isReadOnly());
    const std::function<void()> pastes[] = {
        [this] { QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier); },
        [this] { Editor()->paste(); }, [this] { Item("EditPasteItem")->trigger(); }};
    for (const auto& paste : pastes) {
        view_->findChild<QLabel*>("StatusMessage")->clear();
        paste();
        EXPECT_EQ(Status(),
                  "Документ со вставленным текстом слишком велик для окна плеера: "
                  "больше 1000000 строк");
        EXPECT_TRUE(view_->Document().Bytes() == W("Первый текст.\r\n"));
    }
    Button("BtnReadOnly")->click();

    // A line much longer than the editor lays out quickly: shown in pieces, kept as it is.
    std::string line;
    while (line.size() < 10 * static_cast<size_t>(kDisplayLineChars))
        line += W("слово ");
    Load("line.txt", line);
    EXPECT_GT(Editor()->document()->blockCount(), 5);
    EXPECT_TRUE(view_->Document().Bytes() == line);
    // It is for reading only: a copy across a piece's end holds no line break, and the
    // editor stays read-only.
    const int32_t end = static_cast<int32_t>(Editor()->document()->begin().length() - 1);
    QTextCursor selection = Editor()->textCursor();
    selection.setPosition(end - 6);
    selection.setPosition(end + 7, QTextCursor::KeepAnchor);
    Editor()->setTextCursor(selection);
    Item("EditCopyItem")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "слово слово ");
    Button("BtnReadOnly")->click();
    EXPECT_TRUE(Editor()->isReadOnly());
    EXPECT_TRUE(Button("BtnReadOnly")->isChecked());
    EXPECT_EQ(Status(),
              "Строки длиннее 2048 знаков показаны с переносами: такой текст не правится");
    ASSERT_TRUE(SaveAs(Path("line-copy.txt")));
    EXPECT_TRUE(test::ReadWholeFile(Path("line-copy.txt")) == line);
}

TEST_F(PlayerWindowTest, ClosingAsksOnlyAboutUnsavedChanges) {
    Load("a.txt", W("Текст.\r\n"));
    Type(QStringLiteral("Ещё. "));
    boxes_.answers = {BoxButton::Cancel};
    view_->close();
    ASSERT_FALSE(view_.isNull());
    EXPECT_TRUE(view_->isVisible());
    // Yes saves first; a save dialog cancelled keeps the window.
    boxes_.answers = {BoxButton::Yes};
    view_->close();
    EXPECT_FALSE(view_.isNull());
    boxes_.answers = {BoxButton::Yes};
    boxes_.fileNames = {QString::fromStdString(Path("saved.txt"))};
    view_->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(view_.isNull());
    EXPECT_EQ(test::ReadWholeFile(Path("saved.txt")), W("Ещё. Текст.\r\n"));
    EXPECT_EQ(boxes_.texts.size(), 3u);

    // A document never edited closes without a question.
    view_ = new TFrmView(host_, nullptr, &boxes_);
    view_->show();
    Load("b.txt", W("Текст.\r\n"));
    view_->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(view_.isNull());
    EXPECT_EQ(boxes_.texts.size(), 3u);
}

TEST_F(PlayerWindowTest, ClipboardTextAndDropsEnterInTheDocumentsCodePage) {
    std::string dos = Dos("Съешь же ещё этих мягких французских булок, да выпей чаю. ");
    for (int i = 0; i < 5; ++i)
        dos += dos;
    Load("dos.txt", dos);
    ASSERT_EQ(view_->Options().CodePage, 2);
    Button("BtnReadOnly")->click();

    // Pasted before the selection, which stays; Unicode goes straight into DOS bytes.
    QApplication::clipboard()->setText(QStringLiteral("ПРИВЕТ ёжик"));
    QTextCursor cursor = Editor()->textCursor();
    cursor.setPosition(6);
    cursor.setPosition(8, QTextCursor::KeepAnchor);
    Editor()->setTextCursor(cursor);
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(view_->Document().Bytes(), dos.substr(0, 6) + Dos("ПРИВЕТ ёжик") + dos.substr(6));
    // The editor's own paste (its context menu) takes the same road.
    Editor()->moveCursor(QTextCursor::End);
    Editor()->paste();
    EXPECT_EQ(view_->Document().Bytes().substr(view_->Document().Size() - 11), Dos("ПРИВЕТ ёжик"));

    // Copying gives Unicode text.
    cursor.setPosition(0);
    cursor.setPosition(5, QTextCursor::KeepAnchor);
    Editor()->setTextCursor(cursor);
    Item("EditCopyItem")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Съешь"));

    // Clipboard text as a document: Windows-1251, with no guess at its code page.
    Editor()->document()->setModified(false);
    QApplication::clipboard()->setText(QStringLiteral("ПРИВЕТ"));
    Item("ClipbrdOpenItem")->trigger();
    EXPECT_EQ(view_->Document().Bytes(), W("ПРИВЕТ"));
    EXPECT_EQ(view_->Options().CodePage, 1);
    EXPECT_EQ(Status(), "Открыт текст в клипборде");
    EXPECT_TRUE(Editor()->document()->toRawText().startsWith(QStringLiteral("ПРИВЕТ")));

    // A dropped file's path is taken whole, however long.
    std::string deep = folder_;
    for (int i = 0; i < 6; ++i) {
        deep += "/" + std::string(60, 'a' + i);
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    }
    const std::string dropped = WriteFile(deep + "/dropped.txt", W("Брошенный файл.\r\n"));
    ASSERT_GT(dropped.size(), 400u);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dropped))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view_, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view_, &drop);
    EXPECT_EQ(view_->DocName(), dropped);
    EXPECT_EQ(view_->Document().Bytes(), W("Брошенный файл.\r\n"));
}

TEST_F(PlayerWindowTest, PrintsTheDocumentIntoAPdf) {
    Load("print.txt", W("Печатная строка текста.\r\nВторая строка.\r\n"));
    const std::string pdf = Path("out.pdf");
    boxes_.pdfFiles.push_back(QString::fromStdString(pdf));
    Button("PrintButton")->click();
    EXPECT_EQ(Status(), "Файл распечатан");
    EXPECT_FALSE(Button("PrintButton")->isChecked());
    FILE* pipe = popen(("pdftotext '" + pdf + "' -").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string text;
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, got);
    ASSERT_EQ(pclose(pipe), 0) << "pdftotext (poppler-utils) is needed";
    EXPECT_NE(text.find("Печатная строка текста."), std::string::npos) << text;
    EXPECT_NE(text.find("Вторая строка."), std::string::npos) << text;
}

TEST_F(PlayerWindowTest, APdfThatCannotBeWrittenIsReportedNotPrinted) {
    Load("print.txt", W("Строка.\r\n"));
    const std::string pdf = Path("no-such-folder/out.pdf");
    boxes_.pdfFiles.push_back(QString::fromStdString(pdf));
    Button("PrintButton")->click();
    EXPECT_EQ(Status().toStdString(), "Не удалось напечатать: файл " + pdf + " не записан");
    EXPECT_FALSE(Button("PrintButton")->isChecked());
}

TEST_F(PlayerWindowTest, WithoutAPrinterTheJobGoesToAPdfBesideTheDocument) {
    Load("Повесть.txt", W("Строка для печати.\r\n"));
    boxes_.pdfFiles.push_back(QString());  // the dialog confirmed as it was proposed
    Button("PrintButton")->click();
    EXPECT_EQ(Status(), "Файл распечатан");
    EXPECT_GT(test::ReadWholeFile(Path("Повесть.pdf")).size(), 0u);
}

TEST_F(PlayerWindowTest, FontSizePanelsAndNames) {
    Item("SetFontItem")->trigger();
    for (int i = 0; i < 30; ++i)
        Button("BtnFontDec")->click();
    EXPECT_EQ(Editor()->font().pointSize(), 1);
    EXPECT_EQ(Panel("LblFontSize"), "1");
    boxes_.fonts.push_back(QFont(QStringLiteral("Courier New"), 99));
    Item("FontSelItem")->trigger();
    Button("BtnFontInc")->click();
    EXPECT_EQ(Editor()->font().pointSize(), 100);
    EXPECT_EQ(Panel("LblFontSize"), "10");
    Button("BtnFontBold")->click();
    EXPECT_TRUE(Editor()->font().bold());

    // Only the font panel in a narrow window: it starts a second row under an empty first.
    Item("SetEditorItem")->trigger();
    Item("SetPlayerItem")->trigger();
    view_->resize(60, 300);
    QWidget* font = view_->findChild<QWidget*>("PnlFont");
    EXPECT_TRUE(font->isVisible());
    EXPECT_GT(font->y(), 0);
    EXPECT_FALSE(view_->findChild<QWidget*>("PnlEditor")->isVisible());

    for (QAbstractButton* button : view_->findChildren<QAbstractButton*>()) {
        if (button->objectName().startsWith("qt_")) continue;
        EXPECT_FALSE(button->objectName().isEmpty());
        EXPECT_FALSE(button->accessibleName().isEmpty()) << button->objectName().toStdString();
    }
    Item("HelpAboutItem")->trigger();
    EXPECT_EQ(boxes_.modalDialogs, std::vector<std::string>{"AboutBox"});
    Item("HelpHowToUseItem")->trigger();
    EXPECT_EQ(boxes_.texts.back(), "Поднапрячъся и сообразить самому");
}

// At the default width and at a narrow one every tool button is shown inside the window, and
// the panels push the editor down rather than cover it; no caption of the window is cut.
TEST_F(PlayerWindowTest, EveryToolButtonIsReachableAtNarrowWidths) {
    Item("SetFontItem")->trigger();
    for (int width : {613, 420, 200}) {
        view_->resize(width, 400);
        QApplication::processEvents();
        int lowest = 0;
        for (const char* panel : {"PnlEditor", "PnlPlayer", "PnlFont"}) {
            for (QToolButton* button :
                 view_->findChild<QWidget*>(panel)->findChildren<QToolButton*>()) {
                const QRect place(button->mapTo(view_.data(), QPoint(0, 0)), button->size());
                EXPECT_TRUE(button->isVisible()) << button->objectName().toStdString();
                EXPECT_TRUE(view_->rect().contains(place))
                    << button->objectName().toStdString() << " at width " << width;
                lowest = std::max(lowest, place.bottom());
            }
        }
        EXPECT_GT(Editor()->mapTo(view_.data(), QPoint(0, 0)).y(), lowest) << width;
    }
    view_->resize(613, 400);
    QApplication::processEvents();
    EXPECT_EQ(test::CutCaptions(*view_), std::vector<std::string>{});
}

// A message longer than its panel (a failed load names the whole path) can still be read
// whole: pointing at it shows it, and a screen reader hears all of it.
TEST_F(PlayerWindowTest, ALongStatusMessageCanBeReadWhole) {
    view_->resize(420, 400);
    view_->show();
    const std::string folder = test::MakeTempDir("status") + "/Очень длинное название папки";
    std::filesystem::create_directories(folder);
    const std::string book = folder + "/том первый.docx";
    std::ofstream(book, std::ios::binary) << "PK\3\4 not a real archive";
    EXPECT_FALSE(view_->LoadText(book));
    QApplication::processEvents();
    auto* panel = view_->findChild<QLabel*>("StatusMessage");
    ASSERT_TRUE(panel->text().contains(QString::fromStdString(book)))
        << panel->text().toStdString();
    ASSERT_GT(panel->fontMetrics().horizontalAdvance(panel->text()), panel->width());
    EXPECT_EQ(panel->toolTip(), panel->text());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(panel)->text(QAccessible::Name), panel->text());
}

// The options dialog as the window sees it.
class FakeSetupDialog : public PlayerSetupDialog {
  public:
    QWidget* Widget() override { return &widget; }
    void WriteControls(const PlayerOptions& options) override { written = options; }
    void ReadControls(PlayerOptions& options) override { options = confirmed; }
    void SetReady(bool on) override { ready = on; }
    void ShowReadingType(int32_t type) override { shownReadingType = type; }
    void EnableReadingType(bool on) override { readingTypeEnabled = on; }

    QWidget widget;
    PlayerOptions written;
    PlayerOptions confirmed;
    bool ready = true;
    int32_t shownReadingType = -1;
    bool readingTypeEnabled = false;
};

TEST_F(PlayerWindowTest, ReadingModesTheOptionsDialogAndTheDictionaryShuffle) {
    const std::string dos = Dos("    Первый абзац.\r\n    Второй абзац.\r\n");
    Load("modes.txt", dos);
    // Without an options dialog the two buttons stay up.
    Button("BtnShortTalk")->click();
    Button("BtnSetup")->click();
    EXPECT_FALSE(Button("BtnShortTalk")->isChecked());
    EXPECT_FALSE(Button("BtnSetup")->isChecked());

    auto owned = std::make_unique<FakeSetupDialog>();
    FakeSetupDialog& setup = *owned;
    view_->AttachSetupDialog(std::move(owned));
    EXPECT_TRUE(setup.readingTypeEnabled);
    Button("BtnShortTalk")->click();
    EXPECT_EQ(view_->Options().ReadingType, 1);
    EXPECT_EQ(setup.shownReadingType, 1);
    EXPECT_TRUE(Item("ShortTalkItem")->isChecked());
    setup.widget.resize(200, 150);
    Item("SetupItem")->trigger();
    EXPECT_TRUE(setup.widget.isVisible());
    // Over its window: its top right corner at the editor's.
    const QPoint corner = Editor()->mapToGlobal(QPoint(Editor()->width(), 0));
    EXPECT_EQ(setup.widget.frameGeometry().topRight(), corner - QPoint(1, 0));
    EXPECT_TRUE(Button("BtnSetup")->isChecked());
    // A window low on the screen: the dialog is moved up into the screen, not past its edge.
    const QRect screen = view_->screen()->availableGeometry();
    Item("SetupItem")->trigger();
    ASSERT_FALSE(setup.widget.isVisible());
    setup.widget.resize(300, 400);
    view_->move(screen.left() + 40, screen.bottom() - 200);
    QApplication::processEvents();
    Item("SetupItem")->trigger();
    ASSERT_TRUE(setup.widget.isVisible());
    EXPECT_TRUE(screen.contains(setup.widget.frameGeometry()));
    EXPECT_EQ(setup.widget.frameGeometry().right(),
              Editor()->mapToGlobal(QPoint(Editor()->width(), 0)).x() - 1);
    EXPECT_EQ(setup.written.ReadingType, 1);
    // Confirmed with another code page: the same bytes, shown through its table.
    setup.confirmed = view_->Options();
    setup.confirmed.CodePage = 1;
    setup.confirmed.ReadingType = 0;
    view_->SetupConfirmed();
    EXPECT_EQ(view_->Options().CodePage, 1);
    EXPECT_EQ(view_->Document().Bytes(), dos);
    EXPECT_FALSE(Button("BtnShortTalk")->isChecked());
    EXPECT_FALSE(Button("BtnSetup")->isChecked());
    EXPECT_TRUE(Editor()->isVisible()) << "the lock is undone";

    // The speech place saved by "Искать речь" is where "Место просмотра" returns.
    view_->ClickPlay();
    host_.progress = {0, 100, 99};
    Item("N14")->trigger();
    const int32_t spoken = view_->Caret();
    EXPECT_GT(spoken, 0);
    Button("BtnViewTalk")->click();
    Button("BtnViewTalk")->click();
    EXPECT_EQ(view_->Caret(), spoken);
    // A double click toggles the button once and saves the speech place itself.
    view_->SetCaret(0);
    QToolButton* viewTalk = Button("BtnViewTalk");
    QTest::mouseClick(viewTalk, Qt::LeftButton);
    QTest::mousePress(viewTalk, Qt::LeftButton);
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(5, 5),
                            viewTalk->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::LeftButton,
                            Qt::NoModifier);
    QApplication::sendEvent(viewTalk, &doubleClick);
    QTest::mouseRelease(viewTalk, Qt::LeftButton);
    EXPECT_TRUE(viewTalk->isChecked());
    EXPECT_FALSE(viewTalk->isDown());
    EXPECT_EQ(view_->Caret(), spoken);
    view_->SetCaret(0);
    viewTalk->click();
    EXPECT_EQ(view_->Caret(), spoken) << "back to the saved speech place";
    Button("BtnStop")->click();

    // A dictionary shuffle keeps each sound file's lines together and drops the rest.
    const std::string dictionary =
        W("Словарь\r\n\r\nкот::зверь::a.wav 1 2\r\nпёс::зверь::b.wav 3 4\r\n"
          "кит::зверь::a.wav 5 6\r\nёж::зверь::b.wav 7 8\r\nсом::рыба::a.wav 9 10");
    Load("dictionary.txt", dictionary);
    view_->EditorRandom();
    const std::string shuffled = view_->Document().Bytes();
    EXPECT_EQ(shuffled.find(W("Словарь")), std::string::npos);
    EXPECT_EQ(shuffled.find("\r\n\r\n"), std::string::npos);
    std::vector<std::string> files;
    for (size_t at = 0; (at = shuffled.find(".wav", at)) != std::string::npos; ++at)
        files.push_back(shuffled.substr(at - 1, 1));
    ASSERT_EQ(files.size(), 5u);
    EXPECT_EQ(std::count(files.begin(), files.end(), files[0]), files[0] == "a" ? 3 : 2);
    EXPECT_TRUE(std::is_partitioned(files.begin(), files.end(),
                                    [&](const std::string& f) { return f == files[0]; }));
    EXPECT_EQ(view_->Caret(), 0);
    EXPECT_EQ(Panel("StatusModified"), "") << "a shuffle is no edit of the user's";
}

TEST_F(PlayerWindowTest, FindsInTheDocumentThroughItsOwnFindDialog) {
    Load("find.txt", Dos("Первая строка.\r\nВторая: кот и котлета.\r\nТретья, кот.\r\n"));
    Item("FindItem")->trigger();
    TFrmFind* find = view_->FindDialog();
    ASSERT_NE(find, nullptr);
    EXPECT_TRUE(find->isVisible());
    EXPECT_TRUE(Button("BtnFind")->isChecked());
    find->FindBox()->setEditText(QStringLiteral("КОТ"));
    const std::string& bytes = view_->Document().Bytes();
    const auto selected = [this, &bytes] {
        const QTextCursor cursor = Editor()->textCursor();
        const int32_t start = view_->Document().OffsetOf(cursor.selectionStart());
        const int32_t end = view_->Document().OffsetOf(cursor.selectionEnd());
        return std::make_pair(start, bytes.substr(start, end - start));
    };
    Item("FindRepeat")->trigger();
    EXPECT_EQ(selected(), std::make_pair(static_cast<int32_t>(bytes.find(Dos("кот"))), Dos("кот")));
    Item("FindRepeat")->trigger();
    EXPECT_EQ(selected().first, static_cast<int32_t>(bytes.rfind(Dos("кот"))));
    // Ctrl+F in the dialog closes it and releases the window's button.
    QTest::keyClick(find->FindBox(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(find->isVisible());
    EXPECT_FALSE(Button("BtnFind")->isChecked());
    EXPECT_FALSE(Item("FindItem")->isChecked());
}

}  // namespace
}  // namespace tovrin
