#include "main/FrmTalk.h"

#include "dialogs/AccessibleToggles.h"
#include "dialogs/PauseEdit.h"

#include "main/CommandText.h"
#include "main/SpeakFileRequests.h"
#include "tests/support/RecordingPowerControl.h"
#include "platform/Profile.h"
#include "platform/WaveVolume.h"
#include "text/CodePages.h"
#include "tests/engine/FakeClock.h"
#include "tests/engine/FakeEngine.h"
#include "main/PageTabs.h"
#include "tests/main/FakePlayers.h"
#include "tests/support/CaptionFit.h"
#include "tests/support/TestEnvironment.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimeEdit>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <optional>
#include <vector>

namespace tovrin {
namespace {

using test::FakeEngine;
using test::FakePlayer;
using test::FakePlayers;

// One application for the whole test program, gone before the program's statics are.
class QtEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "tovrin_main_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        InstallAccessibleToggles();
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] testing::Environment* const qtEnvironment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

// The wall clock of the daily events, set by the test.
class FakeWallClock final : public WallClock {
  public:
    QDateTime Now() const override { return now; }
    QDateTime now = QDateTime(QDate(2026, 6, 1), QTime(12, 0));
};

// A main window over a controller with a test clock, fake player windows and scripted boxes.
// Its settings file starts with both daily events off, unless a test seeds its own.
class FrmTalkTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = test::MakeTempDir("frm");
        InstallPowerControl(&power_);
        MakeWindow();
    }
    // The window goes first: its shutdown still talks to the engine.
    void TearDown() override {
        frm_.reset();
        engine_.reset();
        InstallPowerControl(nullptr);
    }

    void Seed(const std::string& keys) {
        std::ofstream(folder_ + "/tovrin.ini") << "[TFrmTalk]\n" << keys;
    }

    void MakeWindow(std::vector<std::string> arguments = {}, MessageBoxes* boxes = nullptr) {
        frm_.reset();
        if (!std::filesystem::exists(folder_ + "/tovrin.ini"))
            Seed("LogOff_Checked=False\nLogOn_Checked=False\n");
        FrmTalkSetup setup;
        setup.Clock = &wall_;
        setup.OpenProgram = [this](const QString& file) {
            opened_.push_back(file.toStdString());
            return true;
        };
        setup.SoundIsSilent = [this] { return soundSilent_; };
        setup.ExecutablePath = folder_ + "/tovrin";
        setup.Arguments = std::move(arguments);
        setup.SettingsPath = folder_ + "/tovrin.ini";
        setup.Boxes = boxes ? boxes : &boxes_;
        setup.ActivationFallbackMs = 60'000;  // the tests activate by hand
        setup.MakeDdeServer = [this](const std::string& service, const std::string& topic,
                                     DdeServer::ExecuteHandler) {
            servers_.push_back(service + "|" + topic);
            return std::unique_ptr<DdeServer>();
        };
        frm_ = std::make_unique<TFrmTalk>(std::make_unique<TTalkServ>(folder_ + "/ZalLib", clock_),
                                          std::move(setup));
        frm_->SetPlayerFactory(&players_);
    }

    void Start() {
        ASSERT_TRUE(frm_->FormCreate());
        frm_->ShowMainClick();
    }
    // Runs the event loop until every waiting request has been served (one a turn).
    static void ServeRequests() {
        for (size_t turn = 0; turn <= SpeakFileRequests::kMaxWaiting; ++turn)
            QApplication::processEvents();
    }

    QToolButton* Button(const char* name) {
        auto* button = frm_->findChild<QToolButton*>(QString::fromLatin1(name));
        EXPECT_NE(button, nullptr) << name;
        return button;
    }
    QAction* Item(const char* name) {
        return frm_->PopupMenu()->findChild<QAction*>(QString::fromLatin1(name));
    }
    std::string WriteDocument(const std::string& name) {
        const std::string path = folder_ + "/" + name;
        std::ofstream(path) << "Текст.";
        return path;
    }

    template <typename T>
    T* Child(const char* name) {
        auto* child = frm_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    std::string folder_;
    FakeWallClock wall_;
    RecordingPowerControl power_;
    std::vector<std::string> opened_;
    test::FakeClock clock_;
    FakePlayers players_;
    ScriptedMessageBoxes boxes_;
    std::vector<std::string> servers_;
    bool soundSilent_ = false;
    std::unique_ptr<TFrmTalk> frm_;
    std::optional<FakeEngine> engine_;
};

TEST_F(FrmTalkTest, StartUpWaitsForTheFirstActivationAndLaterActivationsBringTheWindowBack) {
    ASSERT_TRUE(frm_->FormCreate());
    EXPECT_TRUE(frm_->FirstActivationPending());
    EXPECT_EQ(players_.Count(), 0u);
    EXPECT_TRUE(servers_.empty());

    frm_->ShowMainClick();
    EXPECT_EQ(servers_, std::vector<std::string>{"tovrin|TovrinProcess"});
    ASSERT_EQ(players_.Count(), 1u);
    EXPECT_TRUE(players_.Last().loaded.empty());
    EXPECT_EQ(players_.Last().focused, 1);
    EXPECT_FALSE(Button("BtnRun")->isChecked());
    EXPECT_TRUE(frm_->MainWindowShown());
    EXPECT_EQ(frm_->PopupMenu()->defaultAction(), Item("ItemHide"));

    // Hidden without a tray, the window is minimised and the menu offers to show it.
    Item("ItemHide")->trigger();
    EXPECT_FALSE(frm_->MainWindowShown());
    EXPECT_TRUE(frm_->isMinimized());
    EXPECT_EQ(frm_->PopupMenu()->defaultAction(), Item("ItemShow"));
    // A later activation with a player window on screen leaves it alone...
    frm_->ShowMainClick();
    EXPECT_TRUE(frm_->isMinimized());
    // ...and with none brings it back. No second server, no second player.
    players_.Last().shownNormally = false;
    frm_->ShowMainClick();
    EXPECT_TRUE(frm_->MainWindowShown());
    EXPECT_FALSE(frm_->isMinimized());
    EXPECT_EQ(servers_.size(), 1u);
    EXPECT_EQ(players_.Count(), 1u);

    // The hidden state and the switch are kept for the next run.
    frm_->HideClick();
    frm_->close();
    MakeWindow();
    Start();
    EXPECT_FALSE(frm_->MainWindowShown());
    EXPECT_TRUE(boxes_.texts.empty());
}

TEST_F(FrmTalkTest, SwitchesDriveTheEngineAndFollowItEveryTick) {
    Start();  // switched off as stored: the engine that appears now is not closed
    FakeEngine& engine = engine_.emplace();
    engine.speakAtOnce = true;
    QToolButton* run = Button("BtnRun");
    QToolButton* player = Button("BtnPlayer");
    QToolButton* spy = Button("BtnSpy");
    // A screen reader's toggle acts as a click: the engine is switched on.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(run);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Старт");
    EXPECT_FALSE(accessible->state().checked);
    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(run->text(), "Стоп");
    EXPECT_TRUE(accessible->state().checked);
    EXPECT_TRUE(frm_->Controller().BindEngine());
    player->click();
    EXPECT_TRUE(frm_->Controller().IsPlayerMode());

    // Spy mode from the menu takes over from player mode; the tick puts the player button up.
    Item("ItemSpy")->trigger();
    EXPECT_TRUE(spy->isChecked());
    EXPECT_TRUE(player->isChecked());
    frm_->TimerUpdateEvent();
    EXPECT_FALSE(player->isChecked());
    EXPECT_EQ(engine.CountCommand(304), 1u);

    // The menu's switch closes the engine after leaving spy mode.
    Item("ItemRun")->trigger();
    EXPECT_TRUE(engine.Destroyed());
    EXPECT_EQ(engine.CountCommand(304), 2u);
    EXPECT_EQ(run->text(), "Старт");
    frm_->TimerUpdateEvent();
    EXPECT_FALSE(run->isChecked());
    EXPECT_FALSE(spy->isChecked());

    // Without an engine a mode switch springs back.
    Button("BtnPause")->click();
    Button("BtnVisible")->click();
    EXPECT_FALSE(Button("BtnPause")->isChecked());
    EXPECT_FALSE(Button("BtnVisible")->isChecked());
    EXPECT_TRUE(boxes_.texts.empty());
}

TEST_F(FrmTalkTest, EachSwitchAndItsMenuItemAreOneCommand) {
    Start();
    engine_.emplace().speakAtOnce = true;
    const std::pair<const char*, const char*> pairs[] = {{"BtnRun", "ItemRun"},
                                                         {"BtnPlayer", "ItemPlayer"},
                                                         {"BtnSpy", "ItemSpy"},
                                                         {"BtnPause", "ItemPause"}};
    for (const auto& [button, item] : pairs)
        EXPECT_EQ(Button(button)->defaultAction(), Item(item)) << button;
    // The menu keeps its own caption; the switch shows the state's.
    Item("ItemRun")->trigger();
    EXPECT_TRUE(Button("BtnRun")->isChecked());
    EXPECT_EQ(Button("BtnRun")->text(), "Стоп");
    EXPECT_EQ(Button("BtnRun")->accessibleName(), "Стоп");
    EXPECT_EQ(Item("ItemRun")->text(), "Включить/отключить");
    Button("BtnPlayer")->click();
    EXPECT_TRUE(Item("ItemPlayer")->isChecked());
    EXPECT_TRUE(frm_->Controller().IsPlayerMode());
    Button("BtnRun")->click();
    EXPECT_FALSE(Item("ItemRun")->isChecked());
    EXPECT_EQ(Button("BtnRun")->text(), "Старт");
    // The text button opens a player as the menu item does.
    const size_t before = players_.Count();
    Child<QPushButton>("BtnNewClient")->click();
    Item("N9")->trigger();
    EXPECT_EQ(players_.Count(), before + 2);
    EXPECT_TRUE(boxes_.texts.empty());
}

// Every page's captions are whole in the platform's font, the tabs wrap onto rows inside the
// window, the title has room, and the look's sample text stands centred.
TEST_F(FrmTalkTest, TheWindowGrowsToItsCaptionsAndItsTabsWrap) {
    Start();
    auto* tabs = Child<PageTabs>("PageControl");
    ASSERT_EQ(tabs->count(), 4);
    const char* pages[] = {"TabVoice", "TabImage", "TabText", "TabShutDown"};
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        EXPECT_EQ(tabs->currentWidget()->objectName(), pages[i]);
        EXPECT_EQ(test::CutCaptions(*frm_), std::vector<std::string>{}) << pages[i];
        const QRect tab = tabs->tabButton(i)->geometry();
        EXPECT_LE(tabs->mapTo(frm_.get(), tab.topRight()).x(), frm_->width() - 1);
    }
    tabs->setCurrentIndex(0);
    auto* phrase = Child<QLineEdit>("TestEdit");
    phrase->setCursorPosition(0);
    const int start = phrase->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
    phrase->setCursorPosition(int(phrase->text().size()));
    EXPECT_GE(phrase->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(),
              start + phrase->fontMetrics().horizontalAdvance(phrase->text()) - 1)
        << "the test phrase is shown whole";
    QFont bold = frm_->font();
    bold.setBold(true);
    EXPECT_GT(frm_->width(), QFontMetrics(bold).horizontalAdvance(frm_->windowTitle()));
    // A larger font makes a larger window, and its captions whole still.
    QFont large = QApplication::font();
    large.setPointSize(large.pointSize() * 2);
    QApplication::setFont(large);
    MakeWindow();
    Start();
    QApplication::setFont(QFont());
    Child<PageTabs>("PageControl")->setCurrentIndex(3);
    QApplication::processEvents();
    EXPECT_EQ(test::CutCaptions(*frm_), std::vector<std::string>{});

    Child<PageTabs>("PageControl")->setCurrentIndex(1);
    QApplication::processEvents();
    auto* sample = Child<QTextEdit>("EditorSetup");
    const QTextBlock first = sample->document()->begin();
    const QRectF line = first.layout()->lineAt(0).naturalTextRect();
    const qreal room = sample->document()->textWidth() - 2 * sample->document()->documentMargin();
    EXPECT_GT(line.left(), 0);
    EXPECT_NEAR(line.left(), room - line.right(), 2.0) << "centred";
}

// Enter clicks the default button where no control takes it: on the window, in a one-line
// field, on a switch; a text of several lines keeps its Enter.
TEST_F(FrmTalkTest, EnterOpensAPlayerUnlessAControlUsesIt) {
    Start();
    const size_t before = players_.Count();
    QTest::keyClick(frm_.get(), Qt::Key_Return);
    QTest::keyClick(Child<QLineEdit>("TestEdit"), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(Button("BtnSpy"), Qt::Key_Return);
    EXPECT_EQ(players_.Count(), before + 3);
    Child<PageTabs>("PageControl")->setCurrentIndex(1);
    auto* note = new QPlainTextEdit(Child<QWidget>("PnlTalkAction"));
    QTest::keyClick(note, Qt::Key_Return);
    EXPECT_EQ(note->toPlainText(), "\n");
    QTest::keyClick(frm_.get(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(players_.Count(), before + 3);
}

TEST_F(FrmTalkTest, SpeakFileMacrosOpenAPlayerEachFromTheEventLoop) {
    Start();
    engine_.emplace();
    const std::string path = WriteDocument("книга.txt");
    ASSERT_EQ(players_.Count(), 1u);

    EXPECT_TRUE(frm_->DdeExec(SpeakFileMacro(path)));
    EXPECT_EQ(players_.Count(), 1u);  // answered before the work is done
    QApplication::processEvents();
    ASSERT_EQ(players_.Count(), 2u);
    EXPECT_EQ(players_.Last().loaded, std::vector<std::string>{path});
    EXPECT_EQ(players_.Last().plays, 1);
    EXPECT_EQ(players_.Last().focused, 1);

    // The same name in Windows-1251, as an older program sends it.
    EXPECT_TRUE(frm_->DdeExec(SpeakFileMacro(folder_ + "/\xEA\xED\xE8\xE3\xE0.txt")));
    // A trailing blank names another file; a command in small letters does nothing.
    EXPECT_TRUE(frm_->DdeExec(SpeakFileMacro(path + " ")));
    EXPECT_TRUE(frm_->DdeExec("{TALKSERVCMD}\r\n{speakfile}\r\n" + path));
    EXPECT_TRUE(frm_->DdeExec("{TALKSERVCMD}\r\n{IntelDictionary}\r\n" + path));
    ServeRequests();
    ASSERT_EQ(players_.Count(), 4u);
    EXPECT_EQ(players_.At(2).loaded, std::vector<std::string>{path});
    EXPECT_TRUE(players_.At(3).loaded.empty());
    EXPECT_EQ(players_.At(3).plays, 0);

    // A request still queued when the program closes opens nothing.
    EXPECT_TRUE(frm_->DdeExec(SpeakFileMacro(path)));
    frm_->FormDestroy();
    QApplication::processEvents();
    EXPECT_EQ(players_.Count(), 0u);
}

// Any program of the user may send requests as fast as it likes: the windows and the waiting
// requests stay bounded, repeated names merge, and the refusals of a burst make one message.
TEST_F(FrmTalkTest, AFloodOfSpeakFileRequestsIsBoundedMergedAndReportedOnce) {
    Start();
    engine_.emplace();
    ASSERT_EQ(players_.Count(), 1u);
    const size_t asked = SpeakFileRequests::kMaxWaiting + 6;
    for (int twice = 0; twice < 2; ++twice) {
        for (size_t i = 0; i < asked; ++i)
            EXPECT_TRUE(frm_->DdeExec(SpeakFileMacro(WriteDocument(std::to_string(i) + ".txt"))));
    }
    ServeRequests();
    // 63 new windows beside the first; the 64th request is read in the oldest idle window.
    ASSERT_EQ(players_.Count(), SpeakFileRequests::kMaxPlayerWindows);
    EXPECT_EQ(players_.At(0).loaded, std::vector<std::string>{folder_ + "/63.txt"});
    EXPECT_EQ(players_.At(1).loaded, std::vector<std::string>{folder_ + "/0.txt"});
    size_t loads = 0;
    for (size_t i = 0; i < players_.Count(); ++i)
        loads += players_.At(i).loaded.size();
    EXPECT_EQ(loads, SpeakFileRequests::kMaxWaiting);
    // The six that found no room, twice: one message.
    ASSERT_EQ(boxes_.texts.size(), 1u);
    EXPECT_NE(boxes_.texts[0].find("не выполнено 12"), std::string::npos) << boxes_.texts[0];

    // At the limit, a window that reads or holds unsaved changes is never taken.
    for (size_t i = 0; i < players_.Count(); ++i)
        players_.At(i).modified = i != 7 && i != 9;
    frm_->AcquireEngine(&players_.At(7));
    const std::string next = WriteDocument("next.txt");
    EXPECT_TRUE(frm_->DdeExec(SpeakFileMacro(next)));
    ServeRequests();
    EXPECT_EQ(players_.At(9).loaded.back(), next);
    EXPECT_EQ(players_.At(7).loaded.size(), 1u);
    players_.At(9).modified = true;
    EXPECT_TRUE(frm_->DdeExec(SpeakFileMacro(next)));
    ServeRequests();
    EXPECT_EQ(players_.Count(), SpeakFileRequests::kMaxPlayerWindows);
    ASSERT_EQ(boxes_.texts.size(), 2u);
    EXPECT_NE(boxes_.texts[1].find("не выполнено 1."), std::string::npos) << boxes_.texts[1];
}

TEST_F(FrmTalkTest, AFileNamedAtStartOpensEvenWhenTheEngineCannotStart) {
    const std::string path = WriteDocument("a.txt");
    MakeWindow({path});
    Start();
    ASSERT_EQ(players_.Count(), 1u);
    EXPECT_EQ(players_.Last().loaded, std::vector<std::string>{path});
    EXPECT_EQ(players_.Last().plays, 0);
    EXPECT_FALSE(Button("BtnRun")->isChecked());
    EXPECT_TRUE(frm_->MainWindowShown());
    // One box for the failed start, with the controller's message.
    ASSERT_EQ(boxes_.texts.size(), 1u);
    EXPECT_EQ(boxes_.texts[0].rfind("Create process error: ", 0), 0u) << boxes_.texts[0];
}

TEST_F(FrmTalkTest, SpeakRequestsGoToTheControllerAsTextOrDictionaryEntry) {
    Start();  // switched off as stored: the engine that appears now is not closed
    FakeEngine& engine = engine_.emplace();
    engine.speakAtOnce = true;
    FakePlayer& holder = players_.Last();
    frm_->AcquireEngine(&holder);
    EXPECT_EQ(frm_->GetHolder(), &holder);
    const std::string plain = "{TALKSERVCMD}{IntelDictionary}\r\nтекст";
    EXPECT_EQ(frm_->SpeakRequest(plain, &holder), SpeakResult::Accepted);
    const std::string other = "{TALKSERVCMD}\r\n{SpeakFile}\r\nx";
    EXPECT_EQ(frm_->SpeakRequest(other, &holder), SpeakResult::Accepted);
    EXPECT_EQ(engine.Texts().back(), other);
    EXPECT_EQ(frm_->SpeakRequest("x", nullptr), SpeakResult::OtherHolder);

    std::string entry = "{TALKSERVCMD}\r\n{IntelDictionary}";
    for (int line = 2; line < 8; ++line)
        entry += "\r\n";
    EXPECT_EQ(frm_->SpeakRequest(entry, &holder), SpeakResult::Accepted);
    EXPECT_TRUE(frm_->Controller().HasWorker());
    EXPECT_EQ(frm_->Controller().RequestMode(), "DIC");
}

// While an error box is open, ticks keep coming.
class TickingBoxes : public MessageBoxes {
  public:
    BoxButton Show(QWidget*, BoxKind, const QString& text, const std::vector<BoxButton>&,
                   BoxButton answer) override {
        texts.push_back(text.toStdString());
        for (int tick = 0; tick < 3; ++tick)
            onTick();
        return answer;
    }
    std::function<void()> onTick;
    std::vector<std::string> texts;
};

TEST_F(FrmTalkTest, SilentSoundIsToldOnceARunAtTheFirstEngineStart) {
    soundSilent_ = true;
    MakeWindow();
    Start();
    for (int start = 0; start < 2; ++start) {
        engine_.emplace();
        Button("BtnRun")->click();
        ASSERT_TRUE(Button("BtnRun")->isChecked());
        Button("BtnRun")->click();
    }
    EXPECT_EQ(boxes_.texts, std::vector<std::string>{
                                "Звуковой сервер не отвечает: речь не слышна. Чтобы записать её в "
                                "файл, запустите программу с TOVRIN_AUDIO=wav:ФАЙЛ."});
    EXPECT_EQ(boxes_.kinds, std::vector<BoxKind>{BoxKind::Information});

    soundSilent_ = false;
    MakeWindow();
    Start();
    engine_.emplace();
    Button("BtnRun")->click();
    ASSERT_TRUE(Button("BtnRun")->isChecked());
    EXPECT_EQ(boxes_.texts.size(), 1u);
}

TEST_F(FrmTalkTest, APollErrorIsReportedOnceAndNoTickRunsWhileItsBoxIsOpen) {
    TickingBoxes boxes;
    MakeWindow({}, &boxes);
    boxes.onTick = [&] { frm_->TimerUpdateEvent(); };
    Start();
    engine_.emplace();
    Button("BtnRun")->click();
    FakePlayer& holder = players_.Last();
    frm_->AcquireEngine(&holder);
    bool failing = true;
    holder.onPoll = [&] {
        if (failing) throw std::runtime_error("poll failed");
    };

    for (int tick = 0; tick < 5; ++tick)
        frm_->TimerUpdateEvent();
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"poll failed"});
    EXPECT_EQ(holder.polls, 5);  // the ticks inside the box did not poll

    failing = false;
    frm_->TimerUpdateEvent();
    failing = true;
    frm_->TimerUpdateEvent();
    EXPECT_EQ(boxes.texts.size(), 2u);  // a new failure after a good tick is reported again
    frm_.reset();                       // before the boxes it uses
}

TEST_F(FrmTalkTest, APlayerWindowClosedWhileHoldingTheEngineGivesItBack) {
    Start();
    engine_.emplace();
    Button("BtnRun")->click();
    FakePlayer* holder = &players_.Last();
    frm_->AcquireEngine(holder);
    EXPECT_EQ(frm_->GetHolder(), holder);
    players_.Close(holder);
    EXPECT_EQ(frm_->GetHolder(), nullptr);
    frm_->TimerUpdateEvent();
    EXPECT_TRUE(boxes_.texts.empty());
}

TEST_F(FrmTalkTest, AUserCloseOffersUnsavedDocumentsAndASignalCloseDoesNot) {
    Start();
    players_.Last().mayClose = false;  // the user keeps the document open
    frm_->close();
    EXPECT_EQ(players_.Count(), 1u);
    EXPECT_EQ(players_.Last().closeQuestions, 1);
    frm_->CloseWithoutQuestions();
    EXPECT_EQ(players_.Count(), 0u);
}

TEST_F(FrmTalkTest, VoiceControlsDriveTheEngineFollowTheDeviceAndKeepThePresets) {
    Start();
    auto* style = Child<QListWidget>("TestStyle");
    auto* voice = Child<QListWidget>("TestVoice");
    auto* tempo = Child<QSlider>("TrBarTempo");
    auto* volume = Child<QSlider>("TrBarVolume");
    // The built-in presets read as 256 everywhere: no voice, bars at the top, full volume.
    EXPECT_EQ(voice->currentRow(), -1);
    EXPECT_EQ(tempo->value(), 0);
    EXPECT_EQ(volume->value(), 0);
    EXPECT_EQ(frm_->Controller().GetVolume(), 255);

    FakeEngine& engine = engine_.emplace();
    Button("BtnRun")->click();
    engine.ClearRecords();
    tempo->setValue(5);  // tempo 4
    // Every value that differs from the stored 256 goes out: voice none (0), timbre 9 from the
    // top, tempo 4, melody 9.
    EXPECT_EQ(engine.Commands(), (std::vector<uint64_t>{171, 150, 155, 170}));
    EXPECT_EQ(frm_->Controller().Preset(0).Tempo, 4);
    // Showing another preset stores nothing into it; coming back shows the change.
    style->setCurrentRow(4);
    EXPECT_EQ(tempo->value(), 0);
    EXPECT_EQ(frm_->Controller().Preset(4).Tempo, 256);
    style->setCurrentRow(0);
    EXPECT_EQ(tempo->value(), 5);

    // Another program turns the device down: the next tick moves the bar and the preset.
    ASSERT_TRUE(WriteWaveVolume(0x40004000));
    frm_->TimerUpdateEvent();
    EXPECT_EQ(volume->value(), 255 - 64);
    EXPECT_EQ(frm_->Controller().Preset(0).Volume, 64);

    Button("BtnRun")->click();
    frm_->close();
    EXPECT_EQ(ProfileFile(folder_ + "/tovrin.ini").ReadString("TFrmTalk.TestRes_Items", "Count"),
              "6");
    MakeWindow();
    Start();
    EXPECT_EQ(Child<QSlider>("TrBarTempo")->value(), 5);
    EXPECT_EQ(frm_->Controller().Preset(0), (VoiceParams{255, 9, 4, 9, 64}));
    EXPECT_TRUE(boxes_.texts.empty());
}

TEST_F(FrmTalkTest, PhrasesRepeatUntilTheirButtonAndAnAlarmThatCannotStartIsReportedOnce) {
    Start();
    // No engine can be started here: one box, the holder given back, no retry at each tick.
    Button("StartUpBtn")->click();
    ASSERT_EQ(boxes_.texts.size(), 1u);
    EXPECT_EQ(boxes_.texts[0].rfind("Create process error: ", 0), 0u);
    EXPECT_EQ(frm_->GetHolder(), nullptr);
    for (int tick = 0; tick < 3; ++tick)
        frm_->TimerUpdateEvent();
    EXPECT_EQ(boxes_.texts.size(), 1u);

    FakeEngine& engine = engine_.emplace();
    engine.speakAtOnce = true;
    Button("StartUpBtn")->click();
    EXPECT_EQ(frm_->GetHolder(), frm_->StartUpHolder());
    EXPECT_TRUE(frm_->Controller().IsPlayerMode());
    EXPECT_EQ(Child<QListWidget>("TestStyle")->currentRow(), 4);
    ASSERT_FALSE(engine.Texts().empty());
    EXPECT_EQ(engine.Texts().back(), Utf8ToWindows1251("Ро'та', по-дъё'м '! {wait 3}"));
    const size_t spoken = engine.Texts().size();
    frm_->TimerUpdateEvent();  // silent engine: said again
    EXPECT_GT(engine.Texts().size(), spoken);
    Button("StartUpBtn")->click();
    EXPECT_EQ(frm_->GetHolder(), nullptr);
    EXPECT_EQ(Child<QListWidget>("TestStyle")->currentRow(), 4);

    Child<QLineEdit>("TestEdit")->setText("проба");
    Button("TestBtn")->click();
    EXPECT_EQ(frm_->GetHolder(), frm_->TestHolder());
    EXPECT_EQ(engine.Texts().back(), Utf8ToWindows1251("проба"));
    Button("TestBtn")->click();
    frm_->TimerUpdateEvent();
    EXPECT_EQ(frm_->GetHolder(), nullptr);
    EXPECT_EQ(boxes_.texts.size(), 1u);
}

TEST_F(FrmTalkTest, ThePlayerPanelHandsOutNormalisedOptionsAndTheLookAndKeepsThem) {
    Start();
    auto* begPause = Child<PauseEdit>("AbzBegPause");
    ASSERT_TRUE(begPause->SetPauseText("2 "));
    Child<QComboBox>("BlockSize")->setCurrentIndex(4);
    Child<QCheckBox>("AbzBegP")->setChecked(true);
    Child<QLineEdit>("AbzBeg")->setText("Абзац");
    PlayerOptions options;
    DefaultPlayerOptions(options);
    options.CodePage = 3;
    frm_->GetTextOptions(options);
    EXPECT_EQ(options.BlockSize, 4096);
    EXPECT_EQ(options.AbzBegPause, 20);
    EXPECT_EQ(options.AbzEndPause, 5);
    EXPECT_TRUE(options.AbzBegP);
    EXPECT_EQ(options.AbzBeg, Utf8ToWindows1251("Абзац"));
    EXPECT_EQ(options.DictScript, "E1R1");
    EXPECT_EQ(options.CodePage, 3);  // not the panel's business
    EXPECT_TRUE(frm_->AutoCalc());
    frm_->TextChange();
    EXPECT_EQ(Child<QLineEdit>("BlockItem")->text(), "4");
    EXPECT_EQ(begPause->PauseText(), "20");
    EXPECT_EQ(begPause->text(), "2.0");

    // The text colour survives a new code-page font; a DOS font takes the OEM character set;
    // a cancelled dialog changes nothing.
    boxes_.colors = {QColor(0x11, 0x22, 0x33)};
    Child<QPushButton>("BtnEditCol")->click();
    boxes_.fonts = {QFont("DejaVu Sans", 12)};
    Child<QPushButton>("BtnWin1251")->click();
    Child<QPushButton>("BtnWinBkCol")->click();
    boxes_.fonts = {QFont("DejaVu Sans Mono", 10)};
    Child<QPushButton>("BtnDosAlt")->click();
    PlayerAppearance look = frm_->GetAppearance();
    EXPECT_EQ(look.StyleWin.Name, "DejaVu Sans");
    EXPECT_EQ(look.StyleWin.Size, 12);
    EXPECT_EQ(look.StyleWin.Color, 0x332211);
    EXPECT_EQ(look.EditorFont.Name, "DejaVu Sans Mono");
    EXPECT_EQ(look.EditorFont.Color, 0x332211);
    EXPECT_EQ(look.EditorFont.Charset, 255);
    EXPECT_EQ(look.WindowColor, PlayerAppearance().WindowColor);

    frm_->close();
    MakeWindow();
    Start();
    EXPECT_EQ(frm_->GetAppearance().StyleWin, look.StyleWin);
    EXPECT_EQ(frm_->GetAppearance().StyleDos, look.StyleDos);
    EXPECT_EQ(frm_->GetAppearance().EditorFont.Color, 0x332211);
    EXPECT_EQ(Child<QComboBox>("BlockSize")->currentIndex(), 4);
    EXPECT_EQ(Child<PauseEdit>("AbzBegPause")->PauseText(), "20");
    EXPECT_EQ(Child<QLineEdit>("AbzBeg")->text(), "Абзац");
}

// Local time of a zone with daylight-saving time, for the life of one test.
class BerlinTime {
  public:
    BerlinTime() : old_(qgetenv("TZ")) {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    ~BerlinTime() {
        qputenv("TZ", old_);
        tzset();
    }

  private:
    QByteArray old_;
};

TEST_F(FrmTalkTest, DailyEventsAreDueByTheWallClockAndComeBackTheNextDay) {
    const BerlinTime zone;
    // Clocks go forward at 02:00 on 29 March 2026 in Berlin.
    wall_.now = QDateTime(QDate(2026, 3, 28), QTime(22, 0));
    Seed(
        "LogOff_Time=0.958333333333333\nRGLogOff_ItemIndex=0\nLogOn_Time=0.291666666666667\n"
        "RGLogOn_ItemIndex=2\n");
    MakeWindow();
    Start();
    FakeEngine& engine = engine_.emplace();
    Button("BtnRun")->click();
    Button("BtnPlayer")->click();
    frm_->AcquireEngine(&players_.Last());
    ASSERT_EQ(frm_->SpeakRequest("Текст.", &players_.Last()), SpeakResult::Accepted);
    auto at = [](int day, int hour, int minute = 0) {
        return QDateTime(QDate(2026, 3, day), QTime(hour, minute));
    };
    EXPECT_EQ(frm_->LogOffDue(), at(28, 23));
    EXPECT_EQ(frm_->LogOnDue(), at(29, 7));  // 07:00 on the clock, 8 real hours after 22:00
    EXPECT_EQ(wall_.now.secsTo(*frm_->LogOnDue()), 8 * 3600);

    frm_->CheckEvents();  // nothing due yet
    EXPECT_FALSE(engine.Paused());
    wall_.now = at(28, 23);
    frm_->CheckEvents();
    EXPECT_TRUE(engine.Paused());
    EXPECT_EQ(frm_->LogOffDue(), at(29, 23));  // the next day, not after the same interval

    // A tick a few seconds late still sounds the alarm, which is due again at 07:00.
    wall_.now = at(29, 7).addSecs(5);
    frm_->CheckEvents();
    EXPECT_EQ(frm_->GetHolder(), frm_->StartUpHolder());
    EXPECT_EQ(frm_->LogOnDue(), at(30, 7));
    Button("StartUpBtn")->click();
    Child<QRadioButton>("RGLogOn_0")->click();  // the mornings below only resume reading

    // Hibernation is asked for once a day; power-off every 2 seconds until the system is down.
    Child<QRadioButton>("RGLogOff_1")->click();
    wall_.now = at(29, 23);
    frm_->CheckEvents();
    EXPECT_EQ(power_.calls, std::vector<std::string>{"Hibernate"});
    EXPECT_EQ(frm_->LogOffDue(), at(30, 23));
    Child<QRadioButton>("RGLogOff_2")->click();
    wall_.now = at(30, 23);
    frm_->CheckEvents();  // 07:00 of that day passed unseen: skipped, due again the next day
    EXPECT_TRUE(engine.Destroyed());
    wall_.now = wall_.now.addSecs(2);
    frm_->CheckEvents();
    EXPECT_EQ(power_.calls, (std::vector<std::string>{"Hibernate", "PowerOff", "PowerOff"}));
    EXPECT_EQ(frm_->LogOffDue(), wall_.now.addSecs(2));

    // A program to start, chosen in the dialog, is opened at the next 07:00.
    boxes_.fileNames = {QString::fromStdString(folder_ + "/wake.sh")};
    Button("StartUpProcBtn")->click();
    Child<QRadioButton>("RGLogOn_1")->click();
    wall_.now = at(31, 7);
    frm_->CheckEvents();
    EXPECT_EQ(opened_, std::vector<std::string>{folder_ + "/wake.sh"});

    // A time equal to now is a whole day away; an event switched off is not due at all.
    Child<QTimeEdit>("LogOn")->setTime(QTime(7, 0));
    auto* logOnTime = Child<QTimeEdit>("LogOn");
    logOnTime->setTime(QTime(7, 0, 0));
    Child<QCheckBox>("LogOff_Checked")->setChecked(false);
    frm_->EventChangeDate();
    EXPECT_EQ(frm_->LogOnDue(), QDateTime(QDate(2026, 4, 1), QTime(7, 0)));
    EXPECT_FALSE(frm_->LogOffDue());
    EXPECT_EQ(boxes_.texts.size(), 0u);
}

TEST_F(FrmTalkTest, APositionOnNoScreenIsNotAppliedAndAReadOnlyFileIsLeftAlone) {
    Start();
    frm_->close();
    const std::string path = folder_ + "/tovrin.ini";
    ProfileFile file(path);
    for (const std::string& key : file.KeyNames("TFrmTalk"))
        if (key.rfind("NormPos", 0) == 0)
            file.WriteString("TFrmTalk", key, "30000,30000,30162,30437");
    MakeWindow();
    Start();
    EXPECT_LT(frm_->pos().x(), 30000);

    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    const std::string before = test::ReadWholeFile(path);
    Button("BtnRun")->setChecked(true);
    frm_->FormDestroy();
    EXPECT_EQ(test::ReadWholeFile(path), before);
}

TEST_F(FrmTalkTest, AFirstStartHibernatesAtTwoAndResumesAtSeven) {
    Seed("");  // a file without the events' keys: their layout values hold
    MakeWindow();
    Start();
    const QDate today = wall_.now.date();
    EXPECT_EQ(frm_->LogOffDue(), QDateTime(today.addDays(1), QTime(2, 0)));
    EXPECT_EQ(frm_->LogOnDue(), QDateTime(today.addDays(1), QTime(7, 0)));
    wall_.now = QDateTime(today.addDays(1), QTime(2, 0, 1));
    frm_->CheckEvents();
    EXPECT_EQ(power_.calls, std::vector<std::string>{"Hibernate"});

    // A machine suspended at 23:00 and opened at 08:00 is not sent to sleep on waking: the
    // night's event is skipped, said so on standard error, and comes back the next night.
    wall_.now = QDateTime(today.addDays(1), QTime(23, 0));
    frm_->EventChangeDate();
    testing::internal::CaptureStderr();
    wall_.now = QDateTime(today.addDays(2), QTime(8, 0));
    frm_->CheckEvents();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(power_.calls, std::vector<std::string>{"Hibernate"});
    EXPECT_EQ(frm_->LogOffDue(), QDateTime(today.addDays(3), QTime(2, 0)));
    EXPECT_EQ(frm_->LogOnDue(), QDateTime(today.addDays(3), QTime(7, 0)));
    EXPECT_NE(said.find("switch-off event due at"), std::string::npos) << said;
    EXPECT_NE(said.find("skipped"), std::string::npos) << said;
    // Two minutes late still runs; a second more does not.
    wall_.now = QDateTime(today.addDays(3), QTime(2, 2));
    frm_->CheckEvents();
    EXPECT_EQ(power_.calls, (std::vector<std::string>{"Hibernate", "Hibernate"}));
    wall_.now = QDateTime(today.addDays(4), QTime(2, 2, 1));
    testing::internal::CaptureStderr();
    frm_->CheckEvents();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(power_.calls.size(), 2u);
    EXPECT_EQ(frm_->LogOffDue(), QDateTime(today.addDays(5), QTime(2, 0)));

    // Across midnight, and whole days and negative stored times reduced to a time of day.
    const QDateTime late(QDate(2026, 12, 31), QTime(23, 59, 59, 500));
    EXPECT_EQ(NextOccurrence(late, QTime(0, 0)), QDateTime(QDate(2027, 1, 1), QTime(0, 0)));
    EXPECT_EQ(TimeOfDayFromFraction(46000.5), QTime(12, 0));
    EXPECT_EQ(TimeOfDayFromFraction(-0.25), QTime(18, 0));
    EXPECT_EQ(TimeOfDayFromFraction(0.99999999999), QTime(0, 0));
}

// What a screen reader walking the main window meets: every field that takes input has a name,
// and the controls that only hold stored values are not there at all.
TEST_F(FrmTalkTest, EveryFieldIsNamedAndValueHoldersAreOutOfTheAccessibleTree) {
    Start();
    std::vector<QString> seen;
    int fields = 0;
    std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* node,
                                                               int depth) {
        if (node == nullptr || depth > 30) return;
        seen.push_back(node->object() != nullptr ? node->object()->objectName() : QString());
        const QAccessible::Role role = node->role();
        if (role == QAccessible::EditableText || role == QAccessible::SpinBox ||
            role == QAccessible::ComboBox) {
            ++fields;
            EXPECT_FALSE(node->text(QAccessible::Name).isEmpty()) << seen.back().toStdString();
        }
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i), depth + 1);
    };
    walk(QAccessible::queryAccessibleInterface(frm_.get()), 0);
    EXPECT_GT(fields, 5);
    for (const char* holder : {"FormVisible", "TestRes", "BlockItem", "StyleWin", "StyleDos"}) {
        EXPECT_EQ(std::count(seen.begin(), seen.end(), QString::fromLatin1(holder)), 0) << holder;
        // Still there for the code that keeps its value.
        EXPECT_NE(frm_->findChild<QWidget*>(QString::fromLatin1(holder)), nullptr) << holder;
    }
}

}  // namespace
}  // namespace tovrin
