// Shutdown while boxes and dialogs are open: the main window with the program's real player
// windows and engine, boxes that stay open in event loops of their own as a user's do, and the
// program's own termination-signal handler. Every case ends the way the program does: the
// application's event loop returns 0, the engine is closed and win.ini is as it was.

#include "main/CommandText.h"
#include "main/FrmTalk.h"
#include "main/Program.h"
#include "main/ViewFactory.h"
#include "platform/Desktop.h"
#include "platform/Profile.h"
#include "player/TalkView.h"
#include "tests/engine/FakeEngine.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <optional>

namespace tovrin {
namespace {

const std::string kWinIni = "[Keldworth]\r\nFiles=old place\r\n[Other]\r\nkept=1\r\n";
constexpr int kStuck = 99;  // the exit status when the program never closed

class ShutdownTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = test::MakeTempDir("shutdown");
        std::ofstream(folder_ + "/tovrin.ini")
            << "[TFrmTalk]\nLogOff_Checked=False\nLogOn_Checked=False\nBtnRun_Down=True\n";
        winIni_ = *WinIniPath();
        std::ofstream(winIni_, std::ios::binary) << kWinIni;
        boxes_.nested = true;
    }
    void TearDown() override {
        Finish();
        for (int signal : {SIGTERM, SIGINT, SIGHUP})
            std::signal(signal, SIG_DFL);
    }

    // The program's start: the stored switch starts the engine, a player window opens.
    void Start(const std::string& engineFolder = test::BinaryDir() + "/ZalLib") {
        FrmTalkSetup setup;
        setup.ExecutablePath = folder_ + "/tovrin";
        setup.SettingsPath = folder_ + "/tovrin.ini";
        setup.Boxes = &boxes_;
        setup.ActivationFallbackMs = 60'000;
        setup.SoundIsSilent = [this] { return silent_; };
        frm_ =
            std::make_unique<TFrmTalk>(std::make_unique<TTalkServ>(engineFolder), std::move(setup));
        players_ = std::make_unique<ViewFactory>(*frm_, boxes_);
        frm_->SetPlayerFactory(players_.get());
        CloseOnTerminationSignals(*frm_);
        ASSERT_TRUE(frm_->FormCreate());
        frm_->ShowMainClick();
        ASSERT_EQ(players_->OpenPlayers().size(), 1u);
    }

    // The windows go the way the program lets them go; the controller puts win.ini back.
    void Finish() {
        if (!frm_) return;
        frm_->FormDestroy();
        frm_->SetPlayerFactory(nullptr);
        players_.reset();
        frm_.reset();
    }

    static TFrmView* View() {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* view = qobject_cast<TFrmView*>(widget); view && view->isVisible())
                return view;
        return nullptr;
    }
    static QAction* Item(const char* name) {
        TFrmView* view = View();
        return view ? view->findChild<QAction*>(QString::fromLatin1(name)) : nullptr;
    }
    static void Edit() {
        auto* editor = View()->findChild<QPlainTextEdit*>(QStringLiteral("Editor"));
        editor->insertPlainText(QStringLiteral("Несохранённый текст."));
    }

    // Counts every player window deleted while a box is open: a handler of that window may
    // be waiting on the box, and would return into a deleted window.
    void WatchWindows() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* view = qobject_cast<TFrmView*>(widget);
            if (!view || view->property("watched").toBool()) continue;
            view->setProperty("watched", true);
            QObject::connect(view, &QObject::destroyed, [this] {
                if (boxes_.OpenCount() > 0) ++deletedUnderABox_;
            });
        }
    }

    // Runs `open` from the application's event loop; a termination signal arrives as soon as
    // the box it opens is open (or at once after it when `signalNow`). The loop's result.
    int RunUntilClosed(const std::function<void()>& open, bool signalNow = false) {
        WatchWindows();
        if (!boxes_.onOpen) boxes_.onOpen = [] { std::raise(SIGTERM); };
        QTimer::singleShot(0, frm_.get(), [open, signalNow] {
            open();
            if (signalNow) std::raise(SIGTERM);
        });
        QTimer::singleShot(20'000, qApp, [] { QCoreApplication::exit(kStuck); });
        return QApplication::exec();
    }

    // Closed as the program closes: the engine gone, win.ini byte for byte.
    void ExpectClosedCleanly() {
        Finish();
        EXPECT_EQ(deletedUnderABox_, 0);
        EXPECT_EQ(desktop::FindWindow("Speech Synthesizer", std::nullopt), kNoWindow);
        EXPECT_EQ(test::ReadWholeFile(winIni_), kWinIni);
    }

    std::string folder_;
    std::string winIni_;
    ScriptedMessageBoxes boxes_;
    std::unique_ptr<TFrmTalk> frm_;
    std::unique_ptr<ViewFactory> players_;
    int deletedUnderABox_ = 0;
    bool silent_ = false;
};

TEST_F(ShutdownTest, ASignalDuringThePlayersSaveQuestionClosesCleanly) {
    Start();
    ASSERT_NE(desktop::FindWindow("Speech Synthesizer", std::nullopt), kNoWindow);
    Edit();
    // The user closes the edited window; the question is open when the signal comes.
    EXPECT_EQ(RunUntilClosed([] { View()->close(); }), 0);
    EXPECT_EQ(boxes_.texts, std::vector<std::string>{"Текст изменен. Сохранить изменения?"});
    ExpectClosedCleanly();
}

TEST_F(ShutdownTest, ASignalDuringTheFileDialogClosesCleanly) {
    Start();
    EXPECT_EQ(RunUntilClosed([] { Item("FileOpenItem")->trigger(); }), 0);
    EXPECT_EQ(boxes_.fileChoices.size(), 1u);
    ExpectClosedCleanly();
}

TEST_F(ShutdownTest, ASignalDuringTheAboutBoxClosesCleanly) {
    Start();
    EXPECT_EQ(RunUntilClosed([] { Item("HelpAboutItem")->trigger(); }), 0);
    EXPECT_EQ(boxes_.modalDialogs.size(), 1u);
    ExpectClosedCleanly();
}

TEST_F(ShutdownTest, ASignalWithTheFindOrOptionsDialogOpenClosesCleanly) {
    Start();
    Edit();
    EXPECT_EQ(RunUntilClosed(
                  [] {
                      Item("FindItem")->trigger();
                      Item("SetupItem")->trigger();
                  },
                  true),
              0);
    EXPECT_TRUE(boxes_.texts.empty());  // a signal asks nothing
    ExpectClosedCleanly();
}

TEST_F(ShutdownTest, ASignalDuringAnErrorBoxOfTheTickClosesCleanly) {
    // The alarm phrase is said again at every tick; once its engine has vanished and cannot
    // be started again, the tick's error box opens.
    auto engine = std::make_unique<test::FakeEngine>();
    engine->speakAtOnce = true;
    Start(folder_ + "/NoEngine");
    frm_->findChild<QToolButton*>(QStringLiteral("StartUpBtn"))->click();
    ASSERT_EQ(frm_->GetHolder(), frm_->StartUpHolder());
    engine->Vanish();
    EXPECT_EQ(RunUntilClosed([] {}), 0);
    ASSERT_EQ(boxes_.texts.size(), 1u);
    EXPECT_EQ(boxes_.texts[0].rfind("Create process error: ", 0), 0u);
    ExpectClosedCleanly();
    engine.reset();
}

TEST_F(ShutdownTest, ADdeRequestDuringABoxOpensItsPlayerAndASignalStillClosesCleanly) {
    Start();
    Edit();
    const std::string document = folder_ + "/second.txt";
    std::ofstream(document, std::ios::binary) << "Второй текст.\r\n";
    size_t playersWhileOpen = 0;
    boxes_.onOpen = [&] {
        frm_->DdeExec(SpeakFileMacro(document));
        // After the request's own work, which runs from this box's event loop.
        QTimer::singleShot(0, [&] {
            playersWhileOpen = players_->OpenPlayers().size();
            WatchWindows();
            std::raise(SIGTERM);
        });
    };
    EXPECT_EQ(RunUntilClosed([] { View()->close(); }), 0);
    EXPECT_EQ(playersWhileOpen, 2u);
    ExpectClosedCleanly();
}

TEST_F(ShutdownTest, ASignalDuringTheNoSoundBoxOfAPlayerBeingOpenedClosesCleanly) {
    // Switched off: the document asked for over DDE starts the engine, whose first start
    // tells that nobody will hear it, while the new window waits to play.
    std::ofstream(folder_ + "/tovrin.ini")
        << "[TFrmTalk]\nLogOff_Checked=False\nLogOn_Checked=False\nBtnRun_Down=False\n";
    silent_ = true;
    Start();
    const std::string document = folder_ + "/asked.txt";
    std::ofstream(document, std::ios::binary) << "Текст по запросу.\r\n";
    EXPECT_EQ(RunUntilClosed([&] {
                  WatchWindows();
                  frm_->DdeExec(SpeakFileMacro(document));
              }),
              0);
    ASSERT_EQ(boxes_.texts.size(), 1u);
    EXPECT_EQ(boxes_.kinds[0], BoxKind::Information);
    ExpectClosedCleanly();
}

TEST_F(ShutdownTest, TheTrayExitDuringABoxEndsItAndAsksAgainBeforeClosing) {
    Start();
    Edit();
    int opened = 0;
    boxes_.onOpen = [&] {
        if (++opened == 1)
            frm_->PopupMenu()->findChild<QAction*>(QStringLiteral("ItemExit"))->trigger();
        else
            boxes_.AnswerOpen(BoxButton::No);  // the exit's own question: the text is dropped
    };
    EXPECT_EQ(RunUntilClosed([] { View()->close(); }), 0);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(boxes_.texts.size(), 2u);
    ExpectClosedCleanly();
}

TEST_F(ShutdownTest, PlayerWindowsLeaveTheFactoryAsTheyGoAndAreDeletedOnlyFromTheEventLoop) {
    Start();
    const QPointer<TFrmView> first = View();
    players_->CreatePlayer();
    ASSERT_EQ(players_->OpenPlayers().size(), 2u);
    QPointer<TFrmView> second;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* view = qobject_cast<TFrmView*>(widget); view && view != first) second = view;
    ASSERT_TRUE(second);

    // The user closes a window that holds the engine: it goes from the event loop, and the
    // engine is free again once it has gone.
    PlayerWindow* holding = players_->OpenPlayers().front();
    frm_->AcquireEngine(holding->Holder());
    first->close();
    EXPECT_TRUE(first);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first);
    EXPECT_EQ(players_->OpenPlayers().size(), 1u);
    EXPECT_EQ(frm_->GetHolder(), nullptr);

    // Closing them all forgets them at once and deletes them later.
    players_->CloseAll();
    EXPECT_TRUE(players_->OpenPlayers().empty());
    EXPECT_TRUE(second);
    EXPECT_FALSE(second->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(second);
}

}  // namespace
}  // namespace tovrin
