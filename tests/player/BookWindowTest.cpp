// A book opened in the player window: converted, titled, read-only, its chapters reached as
// sections, and never written over by a save.
#include "player/TalkView.h"

#include "books/BookConverter.h"
#include "dialogs/MessageBoxes.h"
#include "player/PlayerDocument.h"
#include "tests/player/FakePlayerHost.h"
#include "tests/player/QtApplication.h"
#include "tests/support/TestEnvironment.h"
#include "text/TextFinder.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tovrin {
namespace {

class BookWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = test::MakeTempDir("book-window");
        view_ = new TFrmView(host_, nullptr, &boxes_);
        view_->show();
    }
    void TearDown() override { delete view_.data(); }

    QString Status() { return view_->findChild<QLabel*>("StatusMessage")->text(); }
    std::string Copy(const std::string& sample, const std::string& bytes = {}) {
        const std::string path = folder_ + "/" + sample;
        std::ofstream(path, std::ios::binary)
            << (bytes.empty() ? test::ReadWholeFile(std::string(TOVRIN_SAMPLES_DIR) + "/" + sample)
                              : bytes);
        return path;
    }
    void SaveAs(const std::string& path) {
        boxes_.fileNames.push_back(QString::fromStdString(path));
        view_->findChild<QAction*>("FileSaveItem")->trigger();
    }

    // Where "next section" stops, walked from the top as the window's options say.
    std::vector<size_t> SectionStops() {
        const LayoutParams layout = LayoutParamsOf(view_->Options());
        const char* text = view_->Document().Data();
        const char* end = text + view_->Document().Size();
        std::vector<size_t> stops;
        for (const char* cursor = text;;) {
            SetTextBounds(text, end);
            const char* next = FindNextSection(layout, cursor).Start;
            if (next == cursor)
                next = FindNextSection(layout, FindNextSection(layout, cursor).End).Start;
            if (next <= cursor || next >= end) return stops;
            stops.push_back(static_cast<size_t>(next - text));
            cursor = next;
        }
    }

    std::string folder_;
    test::FakePlayerHost host_;
    ScriptedMessageBoxes boxes_;
    QPointer<TFrmView> view_;
};

TEST_F(BookWindowTest, ABookOpensConvertedWithItsTitleAndItsChaptersAsSections) {
    for (const bool autoCalc : {false, true}) {
        host_.autoCalc = autoCalc;
        const std::string path = Copy("lighthouse.fb2");
        ASSERT_TRUE(view_->LoadText(path));
        const std::optional<Book> book = ConvertBook(test::ReadWholeFile(path));
        ASSERT_TRUE(book);
        EXPECT_EQ(view_->windowTitle(), "Плеер - Фонарщик с Сухого острова");
        EXPECT_EQ(view_->Document().Bytes(), book->Text);
        EXPECT_EQ(view_->Options().CodePage, 1);
        EXPECT_TRUE(view_->findChild<QPlainTextEdit*>("Editor")->isReadOnly());
        std::vector<size_t> chapters;
        for (size_t i = 1; i < book->Chapters.size(); ++i)
            chapters.push_back(book->Chapters[i].Offset);
        EXPECT_EQ(SectionStops(), chapters) << "analysis " << autoCalc;
    }
}

TEST_F(BookWindowTest, SaveOffersATextFileAndNeverWritesOverTheBook) {
    const std::string path = Copy("lighthouse.epub");
    const std::string original = test::ReadWholeFile(path);
    ASSERT_TRUE(view_->LoadText(path));
    SaveAs(path);
    ASSERT_FALSE(boxes_.fileChoices.empty());
    EXPECT_EQ(boxes_.fileChoices.back().Folder.toStdString(), folder_ + "/lighthouse.txt");
    EXPECT_EQ(test::ReadWholeFile(path), original);
    EXPECT_TRUE(Status().startsWith("Книга не перезаписывается")) << Status().toStdString();

    SaveAs(folder_ + "/lighthouse.txt");
    EXPECT_EQ(Status(), "Файл сохранен");
    EXPECT_EQ(test::ReadWholeFile(folder_ + "/lighthouse.txt"), view_->Document().Bytes());
    // Still the book's file is kept from the text saved under another name.
    SaveAs(path);
    EXPECT_EQ(test::ReadWholeFile(path), original);
}

TEST_F(BookWindowTest, ABadBookLeavesTheDocumentAsItWas) {
    ASSERT_TRUE(view_->LoadText(Copy("lighthouse.fb2")));
    const std::string before = view_->Document().Bytes();
    const std::string damaged = Copy(
        "broken.epub",
        test::ReadWholeFile(std::string(TOVRIN_SAMPLES_DIR) + "/lighthouse.epub").substr(0, 900));
    EXPECT_FALSE(view_->LoadText(damaged));
    EXPECT_EQ(view_->Document().Bytes(), before);
    EXPECT_EQ(view_->windowTitle(), "Плеер - Фонарщик с Сухого острова");
    EXPECT_TRUE(Status().endsWith("архив поврежден.")) << Status().toStdString();
}

// The desktop's media controls name the book by its title and author while it is shown; the
// text saved from it, or another document, is named by its file.
TEST_F(BookWindowTest, TheBooksTitleAndAuthorGoWithTheBookOnly) {
    const std::string path = Copy("lighthouse.fb2");
    ASSERT_TRUE(view_->LoadText(path));
    const std::optional<Book> book = ConvertBook(test::ReadWholeFile(path));
    ASSERT_TRUE(book);
    ASSERT_FALSE(book->Author.empty());
    EXPECT_EQ(view_->BookTitle(), "Фонарщик с Сухого острова");
    EXPECT_EQ(view_->BookAuthor(), book->Author);

    SaveAs(folder_ + "/lighthouse.txt");
    EXPECT_EQ(view_->BookTitle(), "");
    EXPECT_EQ(view_->BookAuthor(), "");

    ASSERT_TRUE(view_->LoadText(path));
    EXPECT_EQ(view_->BookTitle(), "Фонарщик с Сухого острова");
    ASSERT_TRUE(view_->LoadText(folder_ + "/lighthouse.txt"));
    EXPECT_EQ(view_->BookTitle(), "");
    EXPECT_EQ(view_->BookAuthor(), "");
}

}  // namespace
}  // namespace tovrin
