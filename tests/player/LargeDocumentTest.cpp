// A large document as the user meets it: read on a worker thread and shown piece by piece
// while the window goes on answering; reading asked for meanwhile starts once it is shown; a
// newer load or a closed window drops the load under way.

#include "player/TalkView.h"

#include "dialogs/MessageBoxes.h"
#include "player/DocumentLoading.h"
#include "player/PlayerDocument.h"
#include "tests/player/FakePlayerHost.h"
#include "tests/player/QtApplication.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>

namespace tovrin {
namespace {

// Numbered paragraphs with CR LF breaks, tagged so that two texts differ from the first line.
std::string LargeText(const char* tag, int paragraphs) {
    std::string text;
    for (int i = 0; i < paragraphs; ++i)
        text +=
            Utf8ToWindows1251(tag) + " " + std::to_string(i) +
            Utf8ToWindows1251(": длинный абзац о море, ветре и береге, каких в книге много.\r\n");
    return text;
}

class LargeDocumentTest : public testing::Test {
  protected:
    static constexpr int kParagraphs = 40000;  // about 3 MB

    void SetUp() override {
        folder_ = test::MakeTempDir("large");
        view_ = new TFrmView(host_, nullptr, &boxes_);
        view_->show();
        host_.running = true;
    }
    void TearDown() override { delete view_.data(); }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = folder_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    QPlainTextEdit* Editor() { return view_->findChild<QPlainTextEdit*>("Editor"); }
    QString Status() { return view_->findChild<QLabel*>("StatusMessage")->text(); }
    // Runs the event loop one round at a time until `done`; false when a minute passes first.
    static bool RunUntil(const std::function<bool()>& done) {
        bool expired = false;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, [&] { expired = true; });
        limit.start(60000);
        while (!done() && !expired)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return done();
    }
    bool Filling(const std::string& bytes) {
        return view_->Loading() && view_->Document().Bytes() == bytes;
    }

    std::string folder_;
    test::FakePlayerHost host_;
    ScriptedMessageBoxes boxes_;
    QPointer<TFrmView> view_;
};

TEST_F(LargeDocumentTest, IsShownPieceByPieceWhileTheWindowAnswers) {
    const std::string first = Utf8ToWindows1251("Первый текст.\r\n");
    ASSERT_TRUE(view_->LoadText(Write("first.txt", first)));
    const std::string big = LargeText("Абзац", kParagraphs);
    ASSERT_GE(static_cast<int64_t>(big.size()), kBackgroundLoadBytes);
    const std::string path = Write("big.txt", big);

    // A timer of the window's thread counts the rounds of its event loop during the filling.
    int roundsWhileFilling = 0;
    QStringList progress;
    QString changedMarks;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!Filling(big)) return;
        ++roundsWhileFilling;
        if (progress.isEmpty() || progress.back() != Status()) progress << Status();
        // The pieces are no edit of the user's.
        changedMarks += view_->findChild<QLabel*>("StatusModified")->text();
    });
    ticker.start(0);

    EXPECT_TRUE(view_->LoadText(path, QStringLiteral("Открыт текст в файле")));
    EXPECT_TRUE(view_->Loading());
    EXPECT_EQ(view_->Document().Bytes(), first) << "the old text stays until the new is read";
    ASSERT_TRUE(RunUntil([&] { return !view_->Loading(); }));

    EXPECT_GE(roundsWhileFilling, 5) << "the view is filled in pieces, the loop running between";
    EXPECT_GE(progress.filter(QRegularExpression("^Загрузка текста: \\d+ %$")).size(), 2)
        << progress.join(" | ").toStdString();
    EXPECT_EQ(changedMarks, "");
    EXPECT_EQ(view_->Document().Bytes(), big);
    EXPECT_EQ(Editor()->document()->blockCount(), kParagraphs + 1);
    EXPECT_EQ(Editor()->document()->findBlockByNumber(kParagraphs - 1).text(),
              QStringLiteral("Абзац %1: длинный абзац о море, ветре и береге, каких в книге много.")
                  .arg(kParagraphs - 1));
    EXPECT_EQ(view_->DocName(), path);
    EXPECT_EQ(view_->windowTitle(), "Плеер - big.txt");
    EXPECT_EQ(Status(), "Открыт текст в файле");
    EXPECT_FALSE(view_->HasUnsavedChanges());
    EXPECT_TRUE(Editor()->isVisible());

    // Once shown, the text is an ordinary one: an edit reaches the document's bytes.
    view_->findChild<QToolButton*>("BtnReadOnly")->click();
    ASSERT_FALSE(Editor()->isReadOnly());
    Editor()->textCursor().insertText(QStringLiteral("Я"));
    EXPECT_EQ(view_->Document().Bytes(), Utf8ToWindows1251("Я") + big);
}

// Bytes this process has read from files so far (the kernel's count of its reads).
int64_t BytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    int64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

TEST_F(LargeDocumentTest, APlainTextBeyondTheWindowIsRefusedUnreadAndAPossibleBookIsReadAside) {
    const std::string first = Utf8ToWindows1251("Первый текст.\r\n");
    ASSERT_TRUE(view_->LoadText(Write("first.txt", first)));
    ASSERT_TRUE(RunUntil([&] { return !view_->Loading(); }));
    // Sparse files: a text that begins like any other, and one that begins like a PDF book.
    const auto sparse = [&](const std::string& name, const std::string& head, size_t size) {
        const std::string path = Write(name, head);
        EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
        return path;
    };
    const std::string text = sparse("huge.txt", LargeText("Абзац", 10), kMaxBookFileBytes - 1);
    const std::string book = sparse("huge.pdf", "%PDF-1.4\n", kMaxWindowDocumentBytes + 1);

    // The text is refused by its size and first bytes at once: the rest is never read, so a
    // text of hundreds of megabytes neither holds up the window nor fills its memory.
    const int64_t before = BytesReadSoFar();
    ASSERT_GE(before, 0);
    EXPECT_FALSE(view_->LoadText(text));
    EXPECT_LT(BytesReadSoFar() - before, static_cast<int64_t>(kMaxWindowDocumentBytes));
    EXPECT_EQ(Status(), QStringLiteral("Файл \"%1\" слишком велик для окна плеера: больше 64 МБ")
                            .arg(QString::fromStdString(text)));
    EXPECT_EQ(view_->Document().Bytes(), first);

    // A file over the window's limit that may be a book, whose text may well fit, is read and
    // converted off the window's thread, which answers meanwhile.
    EXPECT_TRUE(view_->LoadText(book));
    EXPECT_TRUE(view_->Loading());
    ASSERT_TRUE(RunUntil([&] { return !view_->Loading(); }));
    EXPECT_FALSE(Status().isEmpty());
    EXPECT_EQ(view_->Document().Bytes(), first);
    EXPECT_EQ(view_->DocName(), folder_ + "/first.txt");
}

TEST_F(LargeDocumentTest, ReadingAskedForDuringTheLoadStartsOnceTheDocumentIsShown) {
    const std::string big = LargeText("Глава", kParagraphs);
    const std::string path = Write("big.txt", big);
    ASSERT_TRUE(view_->LoadText(path));
    view_->ClickPlay();
    EXPECT_TRUE(host_.spoken.empty()) << "nothing is read before the text is shown";
    EXPECT_TRUE(view_->findChild<QAction*>("PlayItem")->isChecked());
    ASSERT_TRUE(RunUntil([&] { return !view_->Loading(); }));
    ASSERT_EQ(host_.spoken.size(), 1u);
    EXPECT_NE(host_.spoken[0].find(Utf8ToWindows1251("Глава 0:")), std::string::npos);

    // Stop while loading takes the wish back.
    view_->StopReading();
    ASSERT_TRUE(view_->LoadText(Write("second.txt", LargeText("Часть", kParagraphs))));
    view_->ClickPlay();
    view_->StopReading();
    ASSERT_TRUE(RunUntil([&] { return !view_->Loading(); }));
    EXPECT_EQ(host_.spoken.size(), 1u);
    EXPECT_FALSE(view_->Session().Reading());
    EXPECT_FALSE(view_->findChild<QAction*>("PlayItem")->isChecked());
}

TEST_F(LargeDocumentTest, UnsavedChangesAndFilesAreSafeWhileALoadGoesOn) {
    const std::string first = Utf8ToWindows1251("Первый текст.\r\n");
    const std::string firstPath = Write("first.txt", first);
    ASSERT_TRUE(view_->LoadText(firstPath));
    view_->findChild<QToolButton*>("BtnReadOnly")->click();
    Editor()->textCursor().insertText(QStringLiteral("Правка. "));
    const std::string edited = view_->Document().Bytes();
    const std::string big = LargeText("Абзац", kParagraphs);
    const std::string bigPath = Write("big.txt", big);

    // While the new file is read the old text, with its changes, is the window's: they are
    // asked about once the new text is ready, and Cancel keeps them.
    boxes_.answers = {BoxButton::Cancel};
    ASSERT_TRUE(view_->LoadText(bigPath));
    EXPECT_TRUE(view_->HasUnsavedChanges());
    ASSERT_TRUE(RunUntil([&] { return !view_->Loading(); }));
    ASSERT_EQ(boxes_.texts.size(), 1u);
    EXPECT_EQ(boxes_.texts[0], "Текст изменен. Сохранить изменения?");
    EXPECT_EQ(view_->Document().Bytes(), edited);
    EXPECT_EQ(view_->DocName(), firstPath);

    // While the new text is being shown it is not saved, printed or exported: nothing can
    // put it, half shown, over a file.
    boxes_.answers = {BoxButton::No};
    ASSERT_TRUE(view_->LoadText(bigPath));
    ASSERT_TRUE(RunUntil([&] { return Filling(big); }));
    EXPECT_EQ(view_->DocName(), bigPath) << "the name goes with the bytes";
    const QString target = QString::fromStdString(folder_ + "/saved.txt");
    boxes_.fileNames = {target};
    boxes_.pdfFiles = {target + ".pdf"};
    for (const char* command : {"FileSaveItem", "FilePrintItem", "FileSoundItem"}) {
        QAction* action = view_->findChild<QAction*>(command);
        ASSERT_NE(action, nullptr) << command;
        action->trigger();
        EXPECT_EQ(Status(), "Текст ещё загружается") << command;
    }
    EXPECT_TRUE(boxes_.fileChoices.empty()) << "no file dialog was opened";
    EXPECT_EQ(boxes_.fileNames.size(), 1u);
    EXPECT_EQ(boxes_.pdfFiles.size(), 1u);
    ASSERT_TRUE(RunUntil([&] { return !view_->Loading(); }));
    EXPECT_EQ(view_->Document().Bytes(), big);
}

TEST_F(LargeDocumentTest, ANewerLoadOrAClosedWindowDropsTheLoadUnderWay) {
    const std::string big = LargeText("Абзац", kParagraphs);
    const std::string bigPath = Write("big.txt", big);
    const std::string small = Utf8ToWindows1251("Малый текст.\r\n");
    const std::string smallPath = Write("small.txt", small);

    // While the file is read, and while it is shown: a small file loaded meanwhile wins, and
    // the window is an ordinary one after it.
    for (bool whileShowing : {false, true}) {
        ASSERT_TRUE(view_->LoadText(bigPath));
        if (whileShowing) {
            ASSERT_TRUE(RunUntil([&] { return Filling(big); }));
        }
        ASSERT_TRUE(view_->LoadText(smallPath));
        EXPECT_FALSE(view_->Loading());
        QCoreApplication::processEvents();
        EXPECT_EQ(view_->Document().Bytes(), small) << whileShowing;
        EXPECT_EQ(Editor()->document()->toPlainText(), "Малый текст.\n") << whileShowing;
        EXPECT_TRUE(Editor()->isVisible()) << whileShowing;
    }

    // A second large file replaces the first one still being read.
    const std::string other = LargeText("Часть", kParagraphs);
    ASSERT_TRUE(view_->LoadText(bigPath));
    ASSERT_TRUE(view_->LoadText(Write("other.txt", other)));
    ASSERT_TRUE(RunUntil([&] { return !view_->Loading(); }));
    EXPECT_EQ(view_->Document().Bytes(), other);

    // A window closed while it reads, or while it shows, goes without harm.
    ASSERT_TRUE(view_->LoadText(bigPath));
    delete view_.data();
    view_ = new TFrmView(host_, nullptr, &boxes_);
    view_->show();
    ASSERT_TRUE(view_->LoadText(bigPath));
    ASSERT_TRUE(RunUntil([&] { return Filling(big); }));
    delete view_.data();
    QCoreApplication::processEvents();
}

}  // namespace
}  // namespace tovrin
