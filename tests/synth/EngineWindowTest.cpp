// The engine's window hosted in the test process: spy mode on the clipboard, and the window
// as a person uses it once it is shown.

#include "synth/EngineWindow.h"

#include "platform/Desktop.h"
#include "platform/DesktopHost.h"
#include "platform/qt/QtDispatcher.h"
#include "synth/EspeakSynthesizer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/synth/FakeSynthesizer.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace tovrin {
namespace {

class QtApplicationEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "tovrin_engine_window_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};

const auto* const kQtEnvironment = testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

std::string Cp(const char* utf8) {
    return Utf8ToWindows1251(utf8);
}

class EngineWindowTest : public testing::Test {
  protected:
    virtual std::unique_ptr<SpeechSynthesizer> MakeSynthesizer() {
        return std::make_unique<EspeakSynthesizer>();
    }

    void SetUp() override {
        window_ = std::make_unique<EngineWindow>(host_, MakeSynthesizer(),
                                                 test::MakeTempDir("engine"), false);
        main_ = desktop::FindWindow(kEngineWindowClass, std::nullopt);
        pane_ = desktop::GetFirstChild(main_);
        edit_ = desktop::FindChildWindow(pane_, kNoWindow, "Edit", std::nullopt);
        talk_ = desktop::FindChildWindow(pane_, kNoWindow, "Button", std::nullopt);
        pause_ = desktop::FindChildWindow(pane_, talk_, "Button", std::nullopt);
        progress_ = desktop::FindChildWindow(pane_, kNoWindow, "ScrollBar", std::nullopt);
        ASSERT_NE(pause_, kNoWindow);
    }

    // Runs the event loop until the condition holds (bounded).
    static bool WaitFor(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    bool TalkSays(const char* utf8) const { return host_.Caption(talk_) == Cp(utf8); }

    QPlainTextEdit* EditWidget() const {
        for (QWidget* widget : QApplication::allWidgets()) {
            if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) return edit;
        }
        return nullptr;
    }

    QPushButton* Button(const char* utf8) const {
        for (QPushButton* button : window_->findChildren<QPushButton*>()) {
            if (button->text() == QString::fromUtf8(utf8)) return button;
        }
        return nullptr;
    }

    QtDispatcher dispatcher_;
    DesktopHost host_{dispatcher_};
    std::unique_ptr<EngineWindow> window_;
    WindowHandle main_ = kNoWindow, pane_ = kNoWindow, edit_ = kNoWindow;
    WindowHandle talk_ = kNoWindow, pause_ = kNoWindow, progress_ = kNoWindow;
};

// The same window over a synthesizer that records what it is asked to say.
class RecordingEngineWindowTest : public EngineWindowTest {
  protected:
    std::unique_ptr<SpeechSynthesizer> MakeSynthesizer() override {
        return std::make_unique<test::FakeSynthesizer>(calls_);
    }

    // Speaks a short text to its end; the voice it was spoken with.
    EspeakSettings SpokenWith() {
        calls_->clear();
        desktop::SendMessage(edit_, WM_SETTEXT, 0, "a");
        desktop::SendMessage(main_, WM_COMMAND, 301);
        EXPECT_TRUE(WaitFor([&] { return TalkSays("Говорить"); }));
        return calls_->empty() ? EspeakSettings{} : calls_->front().settings;
    }

    std::shared_ptr<std::vector<test::FakeSynthesizer::Call>> calls_ =
        std::make_shared<std::vector<test::FakeSynthesizer::Call>>();
};

TEST_F(RecordingEngineWindowTest, CommandNumbersSetTheVoiceOfTheNextSpeech) {
    EXPECT_EQ(SpokenWith(), ToEspeakSettings(SynthVoice{}));
    for (uint64_t number : {141 + 3, 151 + 2, 161 + 4, 171 + 5})
        EXPECT_EQ(desktop::SendMessage(main_, WM_COMMAND, number), 0);
    const EspeakSettings chosen = ToEspeakSettings(SynthVoice{5, 3, 2, 4});
    EXPECT_EQ(SpokenWith(), chosen);
    // Numbers just outside the four ranges are no commands.
    for (uint64_t number : {140, 181, 300, 305})
        EXPECT_EQ(desktop::SendMessage(main_, WM_COMMAND, number), 0);
    EXPECT_EQ(SpokenWith(), chosen);
    for (uint64_t number : {141, 160, 161, 180})
        desktop::SendMessage(main_, WM_COMMAND, number);
    EXPECT_EQ(SpokenWith(), ToEspeakSettings(SynthVoice{9, 0, 9, 0}));
}

TEST_F(EngineWindowTest, SpyModeSpeaksEachNewClipboardText) {
    QClipboard* clipboard = QApplication::clipboard();
    // Off: copying says nothing.
    clipboard->setText(QString::fromUtf8("Тихо"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(TalkSays("Говорить"));

    ASSERT_EQ(desktop::SendMessage(main_, WM_COMMAND, 304), 0);
    clipboard->setText(QString::fromUtf8("Привет"));
    ASSERT_TRUE(WaitFor([&] { return TalkSays("Стоп"); }));
    EXPECT_EQ(host_.Caption(edit_), Cp("Привет"));
    EXPECT_EQ(EditWidget()->toPlainText(), QString::fromUtf8("Привет"));

    // An empty clipboard is no text to speak; what is speaking goes on.
    clipboard->setText(QString());
    QCoreApplication::processEvents();
    EXPECT_TRUE(TalkSays("Стоп"));
    desktop::SendMessage(main_, WM_COMMAND, 301);
    EXPECT_TRUE(TalkSays("Говорить"));

    // A megabyte of copied text is taken at once and can be stopped at once.
    QString large;
    while (large.size() < (1 << 20))
        large += QString::fromUtf8("очень длинный текст ");
    clipboard->setText(large);
    ASSERT_TRUE(WaitFor([&] { return TalkSays("Стоп"); }));
    EXPECT_EQ(desktop::GetScrollInfo(progress_)->max, large.size());
    desktop::SendMessage(main_, WM_COMMAND, 301);
    EXPECT_TRUE(TalkSays("Говорить"));

    ASSERT_EQ(desktop::SendMessage(main_, WM_COMMAND, 304), 0);
    clipboard->setText(QString::fromUtf8("Снова тихо"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(TalkSays("Говорить"));
}

TEST_F(EngineWindowTest, APersonUsesTheShownWindow) {
    EXPECT_FALSE(window_->isVisible());
    ASSERT_TRUE(desktop::ShowWindow(main_, true));
    ASSERT_TRUE(WaitFor([&] { return window_->isVisible(); }));

    // Typing reaches the desktop's edit box, the buttons act as the commands do.
    EditWidget()->setPlainText(QString::fromUtf8("Раз два три четыре пять"));
    EXPECT_EQ(host_.Caption(edit_), Cp("Раз два три четыре пять"));
    ASSERT_NE(Button("Говорить"), nullptr);
    Button("Говорить")->click();
    EXPECT_TRUE(TalkSays("Стоп"));
    Button("Пауза")->click();
    EXPECT_EQ(host_.Caption(pause_), Cp("Продолжить"));
    Button("Продолжить")->click();
    EXPECT_EQ(host_.Caption(pause_), Cp("Пауза"));
    ASSERT_TRUE(WaitFor([&] { return TalkSays("Говорить"); }));
    EXPECT_EQ(desktop::GetScrollInfo(progress_)->pos, 0);

    // Closing hides the window; the engine itself goes on.
    window_->close();
    EXPECT_FALSE(desktop::IsWindowVisible(main_));
    EXPECT_TRUE(desktop::IsWindow(main_));
}

TEST_F(EngineWindowTest, EditWidgetFollowsTheDetachedEditBox) {
    QPlainTextEdit* edit = EditWidget();
    ASSERT_TRUE(desktop::ShowWindow(edit_, false));
    ASSERT_TRUE(desktop::SetParent(edit_, kNoWindow));
    ASSERT_TRUE(WaitFor([&] { return edit->parentWidget() == nullptr; }));
    EXPECT_FALSE(edit->isVisible());
    desktop::SendMessage(edit_, WM_SETTEXT, 0, Cp("Текст снаружи"));
    EXPECT_EQ(edit->toPlainText(), QString::fromUtf8("Текст снаружи"));

    ASSERT_TRUE(desktop::SetParent(edit_, pane_));
    ASSERT_TRUE(desktop::ShowWindow(edit_, true));
    ASSERT_TRUE(WaitFor([&] { return edit->parentWidget() == window_.get(); }));
    EXPECT_FALSE(edit->isHidden());
}

}  // namespace
}  // namespace tovrin
