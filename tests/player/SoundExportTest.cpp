// Saving a player window's document as sound: the file holds speech, a cancelled export leaves
// nothing behind, and a name the writer cannot take is reported in the status panel.

#include "player/TalkView.h"

#include "dialogs/MessageBoxes.h"
#include "synth/WaveDecoder.h"
#include "tests/player/FakePlayerHost.h"
#include "tests/player/QtApplication.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace tovrin {
namespace {

class SoundExportTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = test::MakeTempDir("sound");
        view_ = new TFrmView(host_, nullptr, &boxes_);
        view_->show();
    }
    void TearDown() override { delete view_.data(); }

    void Load(const std::string& utf8) {
        const std::string path = folder_ + "/book.txt";
        std::ofstream(path, std::ios::binary) << Utf8ToWindows1251(utf8);
        ASSERT_TRUE(view_->LoadText(path));
    }
    // Chooses `name` in the file dialog and starts the export.
    void Export(const std::string& name) {
        boxes_.fileNames.push_back(QString::fromStdString(folder_ + "/" + name));
        view_->findChild<QAction*>("FileSoundItem")->trigger();
    }
    bool Finished() {
        return QTest::qWaitFor([&] { return !view_->findChild<QObject*>("SoundExport"); }, 20000);
    }
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    QString Status() { return view_->findChild<QLabel*>("StatusMessage")->text(); }

    std::string folder_;
    test::FakePlayerHost host_;
    ScriptedMessageBoxes boxes_;
    QPointer<TFrmView> view_;
};

TEST_F(SoundExportTest, SavesSpeechFromTheCaretAndCancelsWithoutAFile) {
    Load("Мама мыла раму.\r\n\r\nПапа читал газету.\r\n");
    view_->SetCaret(0);
    Export("book.wav");
    ASSERT_TRUE(Finished()) << "the export did not end";
    EXPECT_TRUE(Status().isEmpty()) << Status().toStdString();
    const auto samples = LoadWaveFile(folder_ + "/book.wav", 22050);
    ASSERT_TRUE(samples) << "no readable sound file";
    const auto loud = std::count_if(samples->begin(), samples->end(),
                                    [](int16_t s) { return std::abs(int{s}) >= 1000; });
    EXPECT_GT(loud, 22050 / 5) << "the file holds no speech";

    std::string book;
    for (int i = 0; i < 400; ++i)
        book += "Длинная книга читается долго, абзац за абзацем.\r\n\r\n";
    Load(book);
    Export("long.ogg");
    auto* progress = view_->findChild<QProgressDialog*>("SoundExportProgress");
    ASSERT_TRUE(progress);
    progress->findChild<QPushButton*>()->click();
    ASSERT_TRUE(Finished()) << "the cancelled export did not end";
    EXPECT_EQ(Files(), (std::vector<std::string>{"book.txt", "book.wav"}));

    Export("book.txt");
    EXPECT_TRUE(Status().contains(".wav")) << Status().toStdString();
}

TEST_F(SoundExportTest, AFileAlreadyThereIsReplacedOnlyWhenTheUserSaysSo) {
    Load("Мама мыла раму.\r\n");
    const std::string target = folder_ + "/kept.wav";
    std::ofstream(target) << "mine";
    boxes_.answers.push_back(BoxButton::No);
    Export("kept.wav");
    ASSERT_EQ(boxes_.texts.size(), 1u);
    EXPECT_NE(boxes_.texts[0].find("kept.wav"), std::string::npos) << boxes_.texts[0];
    EXPECT_FALSE(view_->findChild<QObject*>("SoundExport")) << "an export started all the same";
    EXPECT_EQ(test::ReadWholeFile(target), "mine");

    boxes_.answers.push_back(BoxButton::Yes);
    Export("kept.wav");
    ASSERT_TRUE(Finished()) << "the export did not end";
    EXPECT_EQ(boxes_.texts.size(), 2u);
    EXPECT_TRUE(LoadWaveFile(target, 22050)) << "the file was not replaced by the speech";
    EXPECT_EQ(Files(), (std::vector<std::string>{"book.txt", "kept.wav"}));
}

}  // namespace
}  // namespace tovrin
