// The player window's reading loop, driven as the main window drives it: clicks, and the
// 100 ms tick run by hand against a fake engine.

#include "player/TalkView.h"

#include "player/PlayerDocument.h"
#include "tests/player/FakePlayerHost.h"
#include "tests/player/QtApplication.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>

#include <fstream>
#include <memory>

namespace tovrin {
namespace {

std::string W(const char* utf8) {
    return Utf8ToWindows1251(utf8);
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = test::MakeTempDir("player") + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Two paragraphs, as the finder sees them (the second holds two lines indented alike), and
// blank lines at the end.
const std::string kParagraphs =
    W("    Первый абзац текста,\r\nего вторая строка.\r\n    Второй абзац.\r\n    Третий "
      "абзац.\r\n\r\n   \r\n\r\n");

class TalkViewTest : public testing::Test {
  protected:
    void SetUp() override { view_ = std::make_unique<TFrmView>(host_); }

    QToolButton* Button(const char* name) { return view_->findChild<QToolButton*>(name); }
    QString Status() { return view_->findChild<QLabel*>("StatusMessage")->text(); }
    bool Reading() { return Button("BtnPlay")->isChecked(); }

    void Load(const std::string& bytes) {
        ASSERT_TRUE(view_->LoadText(WriteFile("text.txt", bytes)));
    }

    // Lets the engine speak and finish each portion until the window stops reading.
    void ReadToEnd() {
        for (int i = 0; i < 1000 && Reading(); ++i) {
            host_.Tick();
            host_.busy = false;
            host_.Tick();
        }
        ASSERT_FALSE(Reading());
    }

    std::string AllSpoken() {
        std::string all;
        for (const std::string& text : host_.spoken)
            all += text;
        return all;
    }

    test::FakePlayerHost host_;
    std::unique_ptr<TFrmView> view_;
};

TEST_F(TalkViewTest, ReadsByParagraphsBlocksAndLinesToTheEnd) {
    for (int32_t readingType : {0, 1, 2}) {
        SCOPED_TRACE(readingType);
        host_.readingType = readingType;
        host_.spoken.clear();
        Load(kParagraphs);
        view_->ClickPlay();
        EXPECT_EQ(host_.holder, view_.get());
        EXPECT_EQ(Status(), "Обработка текста");
        host_.Tick();  // the engine is seen speaking
        // Only reading by lines leaves the busy cursor alone and says nothing more.
        EXPECT_EQ(Status(), readingType == 2 ? "Обработка текста" : "Чтение текста ");
        ReadToEnd();
        EXPECT_EQ(Status(), "Текст прочитан");
        EXPECT_EQ(host_.holder, nullptr);
        const size_t portions[] = {2, 1, 5};
        EXPECT_EQ(host_.spoken.size(), portions[readingType]);
        for (const char* word : {"Первый", "вторая", "Второй", "Третий"})
            EXPECT_NE(AllSpoken().find(W(word)), std::string::npos) << word;

        // From the blank lines at the end there is nothing to speak, and that is no error.
        host_.spoken.clear();
        view_->SetCaret(static_cast<int32_t>(kParagraphs.rfind(W("абзац.")) + 8));
        view_->ClickPlay();
        ReadToEnd();
        EXPECT_EQ(Status(), "Текст прочитан");
        EXPECT_EQ(host_.spoken.size(), readingType == 2 ? 1u : 0u);
    }
}

TEST_F(TalkViewTest, NothingToReadAtTheEndOfTheText) {
    Load(kParagraphs);
    view_->SetCaret(view_->Document().Size());
    view_->ClickPlay();
    EXPECT_TRUE(host_.spoken.empty());
    EXPECT_EQ(Status(), "Текст прочитан");
    host_.Tick();
    EXPECT_FALSE(Reading());
}

TEST_F(TalkViewTest, RefusedPortionsEndTheReadingWithTheirMessage) {
    Load(kParagraphs);
    host_.running = false;
    view_->ClickPlay();
    EXPECT_EQ(Status(), "Ошибка! Синтезатор речи не запущен");
    EXPECT_FALSE(Reading());
    EXPECT_EQ(host_.holder, nullptr);
    host_.running = true;

    const std::pair<int, const char*> refusals[] = {
        {1, "Внутренняя ошибка Win API"},
        {3, "Канал звука занят посторонней программой"},
        {4, "Не установлен режим 'Плеер'"},
        {5, "Канал звука занят другим плеером"},
        {6, "Попытка произнести слишком длинный блок текста"},
        {9, "Неизвестная ошибка"}};
    for (const auto& [code, message] : refusals) {
        host_.forcedResult = static_cast<SpeakResult>(code);
        view_->ClickPlay();
        EXPECT_EQ(Status(), QStringLiteral("Ошибка! ") + message);
        EXPECT_FALSE(Reading());
        EXPECT_EQ(host_.holder, nullptr);
    }
}

TEST_F(TalkViewTest, LosingTheEngineEndsTheReadingQuietly) {
    Load(kParagraphs);
    // Another player window takes the engine.
    view_->ClickPlay();
    TFrmView other(host_);
    other.ClickPlay();
    EXPECT_FALSE(Reading());
    EXPECT_EQ(Status(), "Текст прочитан");
    EXPECT_EQ(host_.holder, &other);
    other.findChild<QToolButton*>("BtnStop")->click();
    EXPECT_EQ(other.findChild<QLabel*>("StatusMessage")->text(), "Чтение текста остановлено");
    EXPECT_EQ(host_.holder, nullptr);

    // The engine goes away, or spy mode comes on.
    for (bool* flag : {&host_.running, &host_.spyMode}) {
        view_->ClickPlay();
        *flag = !*flag;
        host_.Tick();
        EXPECT_FALSE(Reading());
        EXPECT_EQ(Status(), "Текст прочитан");
        *flag = !*flag;
    }

    // The user releases BtnPlay.
    view_->ClickPlay();
    Button("BtnPlay")->click();
    EXPECT_EQ(Status(), "Чтение текста остановлено");
    EXPECT_EQ(host_.holder, nullptr);
}

TEST_F(TalkViewTest, PauseAndDragFollowTheReading) {
    Load(kParagraphs);
    // Not reading: both pop up again.
    Button("BtnPause")->click();
    Button("BtnDrag")->click();
    EXPECT_FALSE(Button("BtnPause")->isChecked());
    EXPECT_FALSE(Button("BtnDrag")->isChecked());

    view_->ClickPlay();
    Button("BtnPause")->click();
    EXPECT_TRUE(host_.paused);
    host_.busy = false;  // paused: ticks cut nothing
    host_.Tick();
    EXPECT_EQ(host_.spoken.size(), 1u);
    EXPECT_TRUE(view_->findChild<QAction*>("PauseItem")->isChecked());
    host_.paused = false;  // resumed in the engine's own window
    host_.busy = true;
    host_.Tick();
    EXPECT_FALSE(Button("BtnPause")->isChecked());

    // The caret follows the spoken line: three quarters into the two-line first paragraph.
    Button("BtnDrag")->click();
    EXPECT_TRUE(view_->findChild<QAction*>("DragItem")->isChecked());
    host_.progress = {0, 100, 75};
    host_.Tick();
    const int32_t secondLine = static_cast<int32_t>(kParagraphs.find("\r\n") + 2);
    EXPECT_EQ(view_->Caret(), secondLine);
    // Keys in the editor do nothing while the caret belongs to the speech.
    QTest::keyClick(view_->findChild<QPlainTextEdit*>("Editor"), Qt::Key_Home);
    EXPECT_EQ(view_->Caret(), secondLine);

    // Starting again ends the drag mode, and starts at the caret even when the engine has
    // just finished a portion (taking the engine polls this window once more).
    host_.busy = false;
    const size_t sent = host_.spoken.size();
    view_->ClickPlay();
    EXPECT_FALSE(Button("BtnDrag")->isChecked());
    ASSERT_EQ(host_.spoken.size(), sent + 1);
    EXPECT_EQ(host_.spoken.back().find(W("его вторая строка.")), 0u);
}

TEST_F(TalkViewTest, MenuItemsAndThePauseKeyActAsTheButtonsDo) {
    for (const char* name : {"BtnPlay", "BtnPause", "BtnStop", "BtnDrag"}) {
        EXPECT_TRUE(Button(name)->isCheckable()) << name;
        EXPECT_FALSE(Button(name)->accessibleName().isEmpty()) << name;
    }
    Load(kParagraphs);
    auto item = [this](const char* name) { return view_->findChild<QAction*>(name); };
    item("PlayItem")->trigger();
    EXPECT_TRUE(Reading());
    EXPECT_EQ(host_.spoken.size(), 1u);
    QTest::keyClick(view_->findChild<QPlainTextEdit*>("Editor"), Qt::Key_Pause);
    EXPECT_TRUE(host_.paused);
    EXPECT_TRUE(item("PauseItem")->isChecked());
    item("PauseItem")->trigger();
    EXPECT_FALSE(host_.paused);
    item("DragItem")->trigger();
    EXPECT_TRUE(Button("BtnDrag")->isChecked());
    item("StopItem")->trigger();
    EXPECT_FALSE(Reading());
    EXPECT_FALSE(Button("BtnStop")->isChecked());
    EXPECT_FALSE(Button("BtnDrag")->isChecked());
    EXPECT_EQ(Status(), "Чтение текста остановлено");
}

TEST_F(TalkViewTest, ButtonMenuItemAndKeyAreOneCommandWithOneState) {
    auto item = [this](const char* name) { return view_->findChild<QAction*>(name); };
    const std::pair<const char*, const char*> toggles[] = {
        {"BtnPlay", "PlayItem"},           {"BtnPause", "PauseItem"}, {"BtnDrag", "DragItem"},
        {"BtnShortTalk", "ShortTalkItem"}, {"BtnSetup", "SetupItem"}, {"BtnFind", "FindItem"}};
    for (const auto& [button, menuItem] : toggles) {
        ASSERT_NE(item(menuItem), nullptr) << menuItem;
        EXPECT_EQ(Button(button)->defaultAction(), item(menuItem)) << button;
        EXPECT_EQ(Button(button)->statusTip(), item(menuItem)->statusTip()) << button;
    }
    const std::pair<const char*, QKeySequence> keys[] = {
        {"PlayItem", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"StopItem", QKeySequence(Qt::CTRL | Qt::Key_E)},
        {"PrevItem", QKeySequence(Qt::ALT | Qt::Key_Up)},
        {"StepItem", QKeySequence(Qt::CTRL | Qt::Key_Down)},
        {"FileExitItem", QKeySequence(Qt::ALT | Qt::Key_X)},
        {"PauseItem", QKeySequence()}};
    for (const auto& [name, key] : keys)
        EXPECT_EQ(item(name)->shortcut(), key) << name;
    Load(kParagraphs);
    QSignalSpy pauseRuns(item("PauseItem"), &QAction::triggered);
    Button("BtnPlay")->click();
    EXPECT_TRUE(Reading());
    EXPECT_TRUE(item("PlayItem")->isChecked());
    QTest::keyClick(view_->findChild<QPlainTextEdit*>("Editor"), Qt::Key_Pause);
    EXPECT_TRUE(host_.paused);
    EXPECT_TRUE(Button("BtnPause")->isChecked());
    EXPECT_TRUE(item("PauseItem")->isChecked());
    EXPECT_EQ(pauseRuns.count(), 1);

    // The engine is resumed and paused from elsewhere: both show it, and no handler runs.
    host_.paused = false;
    host_.Tick();
    EXPECT_FALSE(Button("BtnPause")->isChecked());
    EXPECT_FALSE(item("PauseItem")->isChecked());
    host_.paused = true;
    host_.Tick();
    EXPECT_TRUE(Button("BtnPause")->isChecked());
    EXPECT_EQ(pauseRuns.count(), 1);

    // A momentary button pops up and runs its command once.
    QSignalSpy stopRuns(item("StopItem"), &QAction::triggered);
    Button("BtnStop")->click();
    EXPECT_EQ(stopRuns.count(), 1);
    EXPECT_FALSE(Button("BtnStop")->isChecked());
    EXPECT_FALSE(Reading());
    EXPECT_FALSE(item("PlayItem")->isChecked());

    // The paste button alone stays off in a read-only editor; the others follow their items.
    QApplication::clipboard()->setText(QStringLiteral("вставка"));
    EXPECT_TRUE(view_->findChild<QPlainTextEdit*>("Editor")->isReadOnly());
    EXPECT_TRUE(item("EditPasteItem")->isEnabled());
    EXPECT_FALSE(Button("PasteButton")->isEnabled());
    Button("BtnReadOnly")->click();
    EXPECT_TRUE(Button("PasteButton")->isEnabled());
    EXPECT_EQ(Button("CopyButton")->isEnabled(), item("EditCopyItem")->isEnabled());
    EXPECT_EQ(Button("UndoButton")->isEnabled(), item("EditUndoItem")->isEnabled());
}

TEST_F(TalkViewTest, ReadingTheClipboardLoadsItAndStartsAtItsTop) {
    Load(kParagraphs);
    QApplication::clipboard()->setText(QStringLiteral("Текст из буфера.\nВторая строка."));
    view_->findChild<QAction*>("PlayClipBrdItem")->trigger();
    EXPECT_EQ(view_->Document().Bytes(), W("Текст из буфера.\r\nВторая строка."));
    EXPECT_EQ(view_->windowTitle(), "Плеер - ");
    EXPECT_TRUE(view_->DocName().empty());
    EXPECT_TRUE(Reading());
    ASSERT_EQ(host_.spoken.size(), 1u);
    EXPECT_EQ(host_.spoken[0].find(W("Текст из буфера.")), 0u);
}

TEST_F(TalkViewTest, TheSpokenPositionStaysInsideTheBlock) {
    // One paragraph of 40,000 bytes: the first portion is its first 34,816.
    std::string text;
    while (text.size() < 40000)
        text += W("слово за словом идёт речь ");
    Load(text);
    view_->ClickPlay();
    ASSERT_EQ(view_->BlockEnd() - view_->BlockStart(), 34816);
    // 34816 x 65000 does not fit in 32 bits.
    host_.progress = {0, 70000, 65000};
    EXPECT_EQ(view_->EstimatePosition(), int64_t{34816} * 65000 / 70000);
    host_.progress = {0, 70000, 90000};
    EXPECT_EQ(view_->EstimatePosition(), 34816);
    host_.progress = {0, 0, 0};  // no range: the last estimate stands
    EXPECT_EQ(view_->EstimatePosition(), 34816);
}

TEST_F(TalkViewTest, ATextThatLooksLikeADictionaryRequestIsSpokenAsText) {
    host_.autoCalc = true;  // leaves engine commands in the text
    Load("{TALKSERVCMD}\r\n{IntelDictionary}\r\nE1R1\r\n");
    view_->ClickPlay();
    ReadToEnd();
    EXPECT_TRUE(host_.dictionaryRequests.empty());
    // The analysis reads these short flush lines a paragraph each; the first still goes out
    // as text, not as a request.
    ASSERT_EQ(host_.spoken.size(), 3u) << view_->Caret() << " " << host_.busy << host_.holder
                                       << Reading() << Status().toStdString();
    EXPECT_EQ(host_.spoken[0].find(" {TALKSERVCMD}\r\n"), 0u);
    EXPECT_EQ(host_.spoken[1].find("{IntelDictionary}"), 0u);
}

TEST_F(TalkViewTest, AFourLineUtf8FileIsReadAsFourPortionsWithTheAnalysisOnLoad) {
    host_.autoCalc = true;  // as the main window's check box is by default
    Load("Первая строка.\nВторая строка.\nТретья строка.\nЧетвёртая строка.\n");
    EXPECT_EQ(view_->Options().AbzType, kAbzEachLine);
    view_->ClickPlay();
    ReadToEnd();
    ASSERT_EQ(host_.spoken.size(), 4u);
    EXPECT_NE(host_.spoken[3].find(W("Четвёртая")), std::string::npos);
}

TEST_F(TalkViewTest, ClosingTheWindowReleasesTheEngine) {
    Load(kParagraphs);
    view_->ClickPlay();
    view_.reset();
    EXPECT_EQ(host_.holder, nullptr);
    host_.Tick();  // nothing left to poll
}

TEST_F(TalkViewTest, LoadingReplacesTheDocumentOnlyWhenTheFileWasRead) {
    const std::string path = WriteFile("first.txt", kParagraphs);
    ASSERT_TRUE(view_->LoadText(path));
    EXPECT_EQ(view_->windowTitle(), "Плеер - first.txt");
    view_->ClickPlay();

    const std::string folder = test::MakeTempDir("load");
    const std::string fifo = folder + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& bad : {folder + "/missing.txt", folder, fifo}) {
        EXPECT_FALSE(view_->LoadText(bad)) << bad;
        EXPECT_EQ(view_->Document().Bytes(), kParagraphs);
        EXPECT_EQ(view_->windowTitle(), "Плеер - first.txt");
        EXPECT_EQ(view_->DocName(), path);
        EXPECT_FALSE(Status().isEmpty());
    }
    EXPECT_TRUE(Reading()) << "a failed load leaves the reading alone";

    // A UTF-8 file is Windows-1251 text; what it lacks is counted.
    ASSERT_TRUE(view_->LoadText(WriteFile("utf8.txt", "Привет ✓ мир ✓\n")));
    EXPECT_FALSE(Reading()) << "a load stops the reading";
    EXPECT_EQ(host_.holder, nullptr);
    EXPECT_EQ(view_->Options().CodePage, 1);
    EXPECT_EQ(view_->Document().Bytes(), W("Привет ? мир ?\r\n"));
    EXPECT_TRUE(Status().contains("2"));

    // A DOS file is shown as Russian and kept in DOS bytes.
    std::string dos = W("Съешь же ещё этих мягких французских булок, да выпей чаю. ");
    for (int i = 0; i < 5; ++i)
        dos += dos;
    RecodeText(1, 2, dos.data(), dos.size());
    ASSERT_TRUE(view_->LoadText(WriteFile("dos.txt", dos)));
    EXPECT_EQ(view_->Options().CodePage, 2);
    EXPECT_EQ(view_->Document().Bytes(), dos);
    auto* editor = view_->findChild<QPlainTextEdit*>("Editor");
    EXPECT_TRUE(editor->document()->toRawText().startsWith("Съешь же ещё"));
    EXPECT_TRUE(editor->isReadOnly());
    EXPECT_EQ(view_->findChild<QLabel*>("StatusCaret")->text(), "Строка:   1  Колонка:   1");
    EXPECT_EQ(view_->findChild<QLabel*>("StatusModified")->text(), "");
    editor->textCursor().insertText("Ж");
    EXPECT_EQ(view_->findChild<QLabel*>("StatusModified")->text(), "Modified");
    EXPECT_EQ(view_->Document().Bytes(), "\x86" + dos) << "Ж typed is stored as a DOS byte";
}

// The desktop's media keys: pause, resume and stop as the buttons do, and a paragraph on or
// back from where the speech is (not where the caret was left), reading on from there.
TEST_F(TalkViewTest, MediaKeysPauseStopAndMoveAParagraphFromTheSpeech) {
    Load(W("Первый абзац.\r\n\r\nВторой абзац.\r\n\r\nТретий абзац.\r\n\r\nЧетвёртый.\r\n"));
    // Where the portion last sent to the engine starts.
    const auto lastSent = [this] { return host_.spoken.back().substr(0, 10); };
    view_->ClickPlay();
    view_->PauseReading(true);
    EXPECT_TRUE(host_.paused);
    EXPECT_TRUE(Button("BtnPause")->isChecked());
    view_->PauseReading(false);
    EXPECT_FALSE(host_.paused);
    EXPECT_FALSE(Button("BtnPause")->isChecked());
    EXPECT_TRUE(Reading());

    // The first paragraph heard, the speech is halfway through the second; the caret stayed
    // at the top.
    host_.busy = false;
    host_.Tick();
    ASSERT_EQ(lastSent(), W("Второй абз"));
    host_.progress = {0, 100, 50};
    host_.Tick();
    ASSERT_EQ(view_->Caret(), 0);
    view_->ReadNextParagraph(true);
    EXPECT_TRUE(Reading());
    EXPECT_EQ(lastSent(), W("Третий абз"));

    // Halfway through the third paragraph, back goes to its start.
    host_.progress = {0, 100, 50};
    host_.Tick();
    view_->ReadNextParagraph(false);
    EXPECT_TRUE(Reading());
    EXPECT_EQ(lastSent(), W("Третий абз"));

    view_->StopReading();
    EXPECT_FALSE(Reading());
    EXPECT_FALSE(host_.busy);
    // Not reading: a move starts from the caret.
    view_->SetCaret(0);
    view_->ReadNextParagraph(true);
    EXPECT_EQ(lastSent(), W("Второй абз"));
}

}  // namespace
}  // namespace tovrin
