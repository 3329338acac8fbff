// Saving a player window's document as sound: the file holds speech, a cancelled export leaves
// nothing behind, and a name the writer cannot take is reported in the status panel. By chapter,
// a book or a plain text becomes one file per chapter and a playlist, from the start or from the
// caret, and the desktop's notification service hears when it has finished.

#include "player/TalkView.h"

#include "dialogs/MessageBoxes.h"
#include "player/PlayerDocument.h"
#include "synth/WaveDecoder.h"
#include "tests/player/FakePlayerHost.h"
#include "tests/player/QtApplication.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDBusConnection>
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
    EXPECT_EQ(Status().toStdString(), "Звук сохранён: " + folder_ + "/book.wav");
    // The dialog offered a sound file of the document's name beside it.
    ASSERT_EQ(boxes_.fileChoices.size(), 1u);
    EXPECT_EQ(boxes_.fileChoices[0].Folder.toStdString(), folder_ + "/book.wav");
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
    EXPECT_EQ(Status().toStdString(), "Сохранение звука отменено");

    Export("book.txt");
    EXPECT_TRUE(Status().contains(".wav")) << Status().toStdString();
}

TEST_F(SoundExportTest, AFileAlreadyThereIsReplacedOnlyWhenTheUserSaysSo) {
    Load("Мама мыла раму.\r\n");
    const std::string target = folder_ + "/kept.wav";
    std::ofstream(target) << "mine";
    // One file, then: not replaced.
    boxes_.answers = {BoxButton::No, BoxButton::No};
    Export("kept.wav");
    ASSERT_EQ(boxes_.texts.size(), 2u);
    EXPECT_NE(boxes_.texts[1].find("kept.wav"), std::string::npos) << boxes_.texts[1];
    EXPECT_FALSE(view_->findChild<QObject*>("SoundExport")) << "an export started all the same";
    EXPECT_EQ(test::ReadWholeFile(target), "mine");

    boxes_.answers = {BoxButton::No, BoxButton::Yes};
    Export("kept.wav");
    ASSERT_TRUE(Finished()) << "the export did not end";
    EXPECT_EQ(boxes_.texts.size(), 4u);
    EXPECT_TRUE(LoadWaveFile(target, 22050)) << "the file was not replaced by the speech";
    EXPECT_EQ(Files(), (std::vector<std::string>{"book.txt", "kept.wav"}));
}

// The desktop's notification service as far as the program calls it.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    QStringList notices;  // "<application>: <summary>: <body>"
  public slots:
    uint Notify(const QString& application, uint, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int) {
        notices << application + ": " + summary + ": " + body;
        return uint(notices.size());
    }
};

// A private session bus named by the environment while the test runs; the desktop's side
// (the notification service) on a connection of its own.
class NoticeBus {
  public:
    NoticeBus() { setenv("DBUS_SESSION_BUS_ADDRESS", bus_.Address().c_str(), 1); }
    ~NoticeBus() {
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        if (!served_) return;
        desktop_.unregisterService("org.freedesktop.Notifications");
        desktop_.unregisterObject("/org/freedesktop/Notifications");
        QDBusConnection::disconnectFromBus("notice-desktop");
    }
    bool Ready() const { return bus_.Ready(); }
    bool Serve(FakeNotifications& service) {
        desktop_ =
            QDBusConnection::connectToBus(QString::fromStdString(bus_.Address()), "notice-desktop");
        served_ = desktop_.registerObject("/org/freedesktop/Notifications", &service,
                                          QDBusConnection::ExportAllSlots) &&
                  desktop_.registerService("org.freedesktop.Notifications");
        return served_;
    }

  private:
    test::PrivateSessionBus bus_;
    QDBusConnection desktop_{QString()};
    bool served_ = false;
};

std::string ReadPlaylist(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".m3u8") return test::ReadWholeFile(entry.path());
    return {};
}

TEST_F(SoundExportTest, ABookIsSavedByChapterFromTheStartAndTheDesktopIsTold) {
    NoticeBus bus;
    ASSERT_TRUE(bus.Ready());
    FakeNotifications service;
    ASSERT_TRUE(bus.Serve(service));
    const std::string book = folder_ + "/lighthouse.fb2";
    std::ofstream(book, std::ios::binary)
        << test::ReadWholeFile(std::string(TOVRIN_SAMPLES_DIR) + "/lighthouse.fb2");
    ASSERT_TRUE(view_->LoadText(book));
    // The caret in the last chapter: the whole book is saved all the same.
    view_->SetCaret(int32_t(view_->Document().Size()) - 10);
    boxes_.answers = {BoxButton::Yes, BoxButton::Yes};
    Export("audio.wav");
    ASSERT_TRUE(Finished()) << "the export did not end";
    ASSERT_EQ(boxes_.texts.size(), 2u);
    EXPECT_NE(boxes_.texts[0].find("глав: 3"), std::string::npos) << boxes_.texts[0];
    EXPECT_NE(boxes_.texts[1].find("с позиции курсора"), std::string::npos) << boxes_.texts[1];
    ASSERT_EQ(boxes_.fileChoices.size(), 1u);
    EXPECT_TRUE(boxes_.fileChoices[0].Title.contains("с начала документа"));
    // The dialog offers a file of the book's name beside the book.
    EXPECT_EQ(boxes_.fileChoices[0].Folder.toStdString(), folder_ + "/lighthouse.ogg");

    const std::string out = folder_ + "/audio";
    EXPECT_EQ(Files(), (std::vector<std::string>{"audio", "lighthouse.fb2"}));
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(out))
        written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{
                           "01 - Глава первая. Остров.wav", "02 - Глава вторая. Письмо.wav",
                           "03 - Глава третья. Ответ.wav", "Фонарщик с Сухого острова.m3u8"}));
    EXPECT_TRUE(LoadWaveFile(out + "/01 - Глава первая. Остров.wav", 22050));
    const std::string playlist = ReadPlaylist(out);
    const size_t first = playlist.find("\n01 - Глава первая. Остров.wav\n");
    const size_t third = playlist.find("\n03 - Глава третья. Ответ.wav\n");
    EXPECT_TRUE(first != std::string::npos && third != std::string::npos && first < third)
        << playlist;
    EXPECT_NE(playlist.find(",Тимофей Вересков - Глава вторая. Письмо\n"), std::string::npos)
        << playlist;

    const std::string status = "Главы сохранены в папку " + out + ", файлов: 3";
    EXPECT_EQ(Status().toStdString(), status);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.notices.isEmpty(); }, 20000))
        << "no notification arrived";
    EXPECT_EQ(service.notices.front().toStdString(),
              "Tovrin: Сохранить как звук: готово: " + status);
}

TEST_F(SoundExportTest, APlainTextIsSavedByItsSectionsFromTheCaretWithoutANotificationService) {
    NoticeBus bus;  // a desktop bus without a notification service
    ASSERT_TRUE(bus.Ready());
    Load(
        "Первая часть.\r\nМама мыла раму.\r\n\r\nВторая часть.\r\nПапа читал газету.\r\n"
        "\r\nТретья часть.\r\nКонец.\r\n");
    view_->SetCaret(int32_t(view_->Document().Bytes().find("\r\n\r\n") + 10));
    boxes_.answers = {BoxButton::Yes, BoxButton::No};
    Export("parts.wav");
    ASSERT_TRUE(Finished()) << "the export did not end";
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(folder_ + "/parts"))
        written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    // The first section lies before the caret; the others keep their numbers.
    EXPECT_EQ(written, (std::vector<std::string>{"02 - Вторая часть.wav", "03 - Третья часть.wav",
                                                 "book.m3u8"}));
    EXPECT_EQ(Status().toStdString(), "Главы сохранены в папку " + folder_ + "/parts, файлов: 2");
    EXPECT_EQ(std::count(boxes_.kinds.begin(), boxes_.kinds.end(), BoxKind::Error), 0);
}

TEST_F(SoundExportTest, CancellingAChapterExportRemovesOnlyTheUnfinishedFile) {
    std::string text = "Коротко.\r\nРаз.\r\n\r\nДлинно.\r\n";
    for (int i = 0; i < 3000; ++i)
        text += "Мама мыла раму, а папа читал газету. ";
    Load(text + "\r\n");
    boxes_.answers = {BoxButton::Yes};
    Export("parts.ogg");
    auto* progress = view_->findChild<QProgressDialog*>("SoundExportProgress");
    ASSERT_TRUE(progress);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return progress->labelText().contains("Глава 2 из 2"); }, 20000))
        << progress->labelText().toStdString();
    progress->findChild<QPushButton*>()->click();
    ASSERT_TRUE(Finished()) << "the cancelled export did not end";
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(folder_ + "/parts"))
        written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"01 - Коротко.ogg", "book.m3u8"}));
    const std::string playlist = ReadPlaylist(folder_ + "/parts");
    EXPECT_NE(playlist.find("01 - Коротко.ogg\n"), std::string::npos) << playlist;
    EXPECT_EQ(playlist.find("Длинно"), std::string::npos) << playlist;
    EXPECT_EQ(Status().toStdString(), "Сохранение звука отменено");
}

}  // namespace
}  // namespace tovrin

#include "SoundExportTest.moc"
