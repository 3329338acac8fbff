#include "main/FrmTalk.h"

#include "dialogs/AccessibleToggles.h"

#include "main/CommandText.h"
#include "tests/engine/FakeClock.h"
#include "tests/engine/FakeEngine.h"
#include "tests/main/FakePlayers.h"
#include "tests/support/TestEnvironment.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

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

// A main window over a controller with a test clock, fake player windows and scripted boxes.
class FrmTalkTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = test::MakeTempDir("frm");
        MakeWindow();
    }
    // The window goes first: its shutdown still talks to the engine.
    void TearDown() override {
        frm_.reset();
        engine_.reset();
    }

    void MakeWindow(std::vector<std::string> arguments = {}, MessageBoxes* boxes = nullptr) {
        frm_.reset();
        FrmTalkSetup setup;
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

    std::string folder_;
    test::FakeClock clock_;
    FakePlayers players_;
    ScriptedMessageBoxes boxes_;
    std::vector<std::string> servers_;
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
    QApplication::processEvents();
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

}  // namespace
}  // namespace tovrin
