// The main window on screens too small for its full layout. The offscreen platform is given
// screens of its own through its configuration file: a 512x384 one (1024x768 at scale 2), two
// smaller still and a large one.
#include "main/FrmTalk.h"

#include "dialogs/ScreenRoom.h"
#include "dialogs/TalkOpt.h"
#include "main/PageTabs.h"
#include "tests/engine/FakeClock.h"
#include "tests/support/CaptionFit.h"
#include "tests/support/TestEnvironment.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace tovrin {
namespace {

// One application for the whole test program, on the screens named below.
class SmallScreens : public testing::Environment {
  public:
    void SetUp() override {
        static std::string config = test::MakeTempDir("screens") + "/screens.json";
        std::ofstream(config) << R"({"screens": [
            {"name": "small", "x": 0, "y": 0, "width": 512, "height": 384},
            {"name": "short", "x": 512, "y": 0, "width": 420, "height": 300},
            {"name": "narrow", "x": 932, "y": 0, "width": 320, "height": 240},
            {"name": "large", "x": 1252, "y": 0, "width": 1024, "height": 768}]})";
        static std::string platform = "offscreen:configfile=" + config;
        static char name[] = "tovrin_small_screen_tests";
        static char option[] = "-platform";
        static char* argv[] = {name, option, platform.data(), nullptr};
        static int argc = 3;
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] testing::Environment* const smallScreens =
    testing::AddGlobalTestEnvironment(new SmallScreens);

QScreen* Screen(const char* name) {
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->name() == QLatin1String(name)) return screen;
    return nullptr;
}

// What a user works with: buttons, bars, edit fields, lists, choices and captions, each once
// (not the parts a composite control is made of).
bool IsControl(const QWidget& widget) {
    if (qobject_cast<const QAbstractSpinBox*>(widget.parentWidget())) return false;
    if (auto* label = qobject_cast<const QLabel*>(&widget)) return !label->text().isEmpty();
    return qobject_cast<const QAbstractButton*>(&widget) || qobject_cast<const QSlider*>(&widget) ||
           qobject_cast<const QLineEdit*>(&widget) ||
           qobject_cast<const QAbstractSpinBox*>(&widget) ||
           qobject_cast<const QComboBox*>(&widget) ||
           qobject_cast<const QAbstractScrollArea*>(&widget);
}

class SmallScreenTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = test::MakeTempDir("small");
        boxes_ = std::make_unique<ScriptedMessageBoxes>();
        FrmTalkSetup setup;
        setup.ExecutablePath = folder_ + "/tovrin";
        setup.SettingsPath = folder_ + "/tovrin.ini";
        setup.Boxes = boxes_.get();
        setup.ActivationFallbackMs = 600'000;  // no start-up: only the window is looked at
        frm_ = std::make_unique<TFrmTalk>(std::make_unique<TTalkServ>(folder_ + "/ZalLib", clock_),
                                          std::move(setup));
        frm_->show();
        QApplication::processEvents();
        scroll_ = frm_->findChild<QScrollArea*>(QStringLiteral("ClientScroll"));
        tabs_ = frm_->findChild<PageTabs*>(QStringLiteral("PageControl"));
        ASSERT_NE(scroll_, nullptr);
        ASSERT_NE(tabs_, nullptr);
    }
    void TearDown() override { frm_.reset(); }

    void ShowPage(int index) {
        tabs_->setCurrentIndex(index);
        QApplication::processEvents();
    }
    void MoveTo(const char* screen) {
        ASSERT_NE(Screen(screen), nullptr) << screen;
        frm_->setScreen(Screen(screen));
        QApplication::processEvents();
        ASSERT_EQ(frm_->screen(), Screen(screen));
    }
    std::vector<QWidget*> ShownControls() const {
        std::vector<QWidget*> shown;
        for (QWidget* widget : scroll_->widget()->findChildren<QWidget*>())
            if (widget->isVisibleTo(frm_.get()) && IsControl(*widget)) shown.push_back(widget);
        return shown;
    }
    // The part of `widget` the client's visible area does not show, as "name: rect"; empty
    // when it is shown whole.
    std::string Hidden(const QWidget& widget) const {
        const QRect rect(widget.mapTo(scroll_->viewport(), QPoint(0, 0)), widget.size());
        if (scroll_->viewport()->rect().contains(rect)) return {};
        return (widget.objectName() + QStringLiteral(" \"%1\": %2,%3 %4x%5")
                                          .arg(widget.accessibleName())
                                          .arg(rect.x())
                                          .arg(rect.y())
                                          .arg(rect.width())
                                          .arg(rect.height()))
            .toStdString();
    }
    // The frame the window manager adds does not count; the window must fit inside the rest.
    void ExpectWindowFitsItsScreen() const {
        const QSize room = frm_->screen()->availableGeometry().size();
        EXPECT_LE(frm_->frameGeometry().width(), room.width())
            << frm_->screen()->name().toStdString();
        EXPECT_LE(frm_->frameGeometry().height(), room.height())
            << frm_->screen()->name().toStdString();
    }
    bool Scrolls() const {
        return scroll_->verticalScrollBar()->maximum() > 0 ||
               scroll_->horizontalScrollBar()->maximum() > 0;
    }

    std::string folder_;
    test::FakeClock clock_;
    std::unique_ptr<ScriptedMessageBoxes> boxes_;
    std::unique_ptr<TFrmTalk> frm_;
    QScrollArea* scroll_ = nullptr;
    PageTabs* tabs_ = nullptr;
};

// At 512x384 every page shows all of its controls at once, none squeezed below its least
// size, every caption whole, the lists at least three rows tall; nothing scrolls.
TEST_F(SmallScreenTest, EveryControlOfEveryPageIsShownWithoutScrollingOnA512x384Screen) {
    ASSERT_EQ(frm_->screen(), Screen("small"));
    ExpectWindowFitsItsScreen();
    for (int page = 0; page < tabs_->count(); ++page) {
        ShowPage(page);
        const std::string name = tabs_->currentWidget()->objectName().toStdString();
        EXPECT_FALSE(Scrolls()) << name;
        const std::vector<QWidget*> controls = ShownControls();
        EXPECT_GT(controls.size(), 12u) << name;
        for (QWidget* control : controls) {
            EXPECT_EQ(Hidden(*control), "") << name;
            const int least = control->minimumHeight() > 0 ? control->minimumHeight()
                                                           : control->minimumSizeHint().height();
            EXPECT_GE(control->height(), least) << control->objectName().toStdString();
            if (auto* list = qobject_cast<QListWidget*>(control)) {
                EXPECT_GE(list->viewport()->height(), 3 * list->sizeHintForRow(0))
                    << list->objectName().toStdString();
            }
        }
        EXPECT_EQ(test::CutCaptions(*frm_), std::vector<std::string>{}) << name;
    }
    // The bars keep room to move their handles.
    for (QSlider* bar : frm_->findChildren<QSlider*>())
        EXPECT_GE(bar->height(), 2 * bar->fontMetrics().height())
            << bar->objectName().toStdString();
}

// On screens smaller still the window stays within the screen and its client scrolls: every
// control of every page can be scrolled into view. Back on the larger screen nothing scrolls.
TEST_F(SmallScreenTest, OnASmallerScreenTheClientScrollsAndEveryControlCanBeBroughtIntoView) {
    for (const char* screen : {"short", "narrow"}) {
        MoveTo(screen);
        ExpectWindowFitsItsScreen();
        for (int page = 0; page < tabs_->count(); ++page) {
            ShowPage(page);
            const std::string name =
                screen + std::string(" ") + tabs_->currentWidget()->objectName().toStdString();
            EXPECT_TRUE(Scrolls()) << name;
            for (QWidget* control : ShownControls()) {
                // As ensureWidgetVisible does, but for the whole control: for an edit field
                // that brings only its text cursor into view.
                const QRect rect(control->mapTo(scroll_->widget(), QPoint(0, 0)), control->size());
                scroll_->ensureVisible(rect.center().x(), rect.center().y(), rect.width() / 2 + 1,
                                       rect.height() / 2 + 1);
                // A control taller than the visible area fills it.
                const QRect area = scroll_->viewport()->rect();
                if (control->height() > area.height()) {
                    const QRect shown(control->mapTo(scroll_->viewport(), QPoint(0, 0)),
                                      control->size());
                    EXPECT_EQ((shown & area).height(), area.height()) << name;
                } else {
                    EXPECT_EQ(Hidden(*control), "") << name;
                }
            }
            EXPECT_EQ(test::CutCaptions(*frm_), std::vector<std::string>{}) << name;
        }
    }
    MoveTo("small");
    ExpectWindowFitsItsScreen();
    for (int page = 0; page < tabs_->count(); ++page) {
        ShowPage(page);
        EXPECT_FALSE(Scrolls()) << page;
    }
}

// Whether `lower` stands under `upper` in one column, or beside it.
bool Under(const QWidget& upper, const QWidget& lower) {
    const QPoint top = upper.mapTo(upper.window(), QPoint(0, 0));
    const QPoint bottom = lower.mapTo(lower.window(), QPoint(0, 0));
    return bottom.x() == top.x() && bottom.y() >= top.y() + upper.height();
}

bool Beside(const QWidget& left, const QWidget& right) {
    const QPoint first = left.mapTo(left.window(), QPoint(0, 0));
    const QPoint second = right.mapTo(right.window(), QPoint(0, 0));
    return second.x() >= first.x() + left.width() && second.y() < first.y() + left.height();
}

// A large screen keeps the window's one column and its full height; the small one puts the
// lists and the tall pages' groups side by side; each move arranges the pages anew.
TEST_F(SmallScreenTest, TheWindowKeepsItsOneColumnOnALargeScreenAndGoesCompactOnASmallOne) {
    const char* pairs[][2] = {
        {"TestStyle", "TestVoice"}, {"GBAbzEnd", "GBBlock"}, {"GBLogOff", "GBLogOn"}};
    for (const char* screen : {"large", "small", "large"}) {
        MoveTo(screen);
        const bool large = std::string(screen) == "large";
        // The full window is too tall for the small screen.
        EXPECT_EQ(frm_->frameGeometry().height() > Screen("small")->availableGeometry().height(),
                  large)
            << screen;
        for (int page = 0; page < tabs_->count(); ++page) {
            ShowPage(page);
            EXPECT_FALSE(Scrolls()) << screen << " " << page;
        }
        for (const auto& [first, second] : pairs) {
            auto* upper = frm_->findChild<QWidget*>(QString::fromLatin1(first));
            auto* lower = frm_->findChild<QWidget*>(QString::fromLatin1(second));
            ASSERT_TRUE(upper && lower) << first;
            for (int page = 0; page < tabs_->count(); ++page)
                if (tabs_->widget(page)->isAncestorOf(upper)) ShowPage(page);
            EXPECT_EQ(Under(*upper, *lower), large) << screen << " " << first;
            EXPECT_EQ(Beside(*upper, *lower), !large) << screen << " " << first;
        }
    }
}

// The player's options dialog on a screen too short for it (1024x768 at scale 2): it fits
// the screen, its buttons stay in view and its pages scroll; a large screen shows it whole.
TEST(SetupDialogOnScreens, TheOptionsDialogFitsAShortScreenAndItsPagesScroll) {
    for (const char* name : {"small", "large"}) {
        QScreen* screen = Screen(name);
        ASSERT_NE(screen, nullptr);
        TFrmSetup dialog(nullptr);
        dialog.setScreen(screen);
        dialog.move(screen->availableGeometry().topLeft() + QPoint(10, 30));
        dialog.show();
        QApplication::processEvents();
        const QRect room = screen->availableGeometry();
        const bool small = std::string(name) == "small";
        EXPECT_LE(dialog.frameGeometry().height(), room.height()) << name;
        auto* scroll = dialog.findChild<QScrollArea*>();
        ASSERT_NE(scroll, nullptr);
        EXPECT_EQ(scroll->verticalScrollBar()->maximum() > 0, small) << name;
        auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("BtnOk"));
        EXPECT_TRUE(dialog.rect().contains(QRect(ok->mapTo(&dialog, QPoint()), ok->size())));
        // Every page is still there to reach by scrolling, whole in width.
        auto* pages = dialog.findChild<QTabWidget*>(QStringLiteral("PageControl"));
        EXPECT_LE(pages->width(), scroll->viewport()->width()) << name;
    }
}

// Qt's file dialog is larger than a 512x384 screen (1024x768 at scale 2): it opens no larger
// than the screen, its buttons inside it, and stays inside it when it grows.
TEST(SetupDialogOnScreens, AFileDialogLargerThanTheScreenIsMadeToFitWithItsButtonsInView) {
    QScreen* screen = Screen("small");
    ASSERT_NE(screen, nullptr);
    QFileDialog dialog(nullptr, QStringLiteral("Укажите файл с текстом"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setScreen(screen);
    const QRect room = screen->availableGeometry();
    ASSERT_GT(dialog.sizeHint().height(), room.height());  // what is to be mended
    FitDialogToScreen(dialog);
    dialog.show();
    QApplication::processEvents();
    EXPECT_LE(dialog.frameGeometry().width(), room.width());
    EXPECT_LE(dialog.frameGeometry().height(), room.height());
    for (auto* button : dialog.findChild<QDialogButtonBox*>()->buttons()) {
        const QRect place(button->mapTo(&dialog, QPoint()), button->size());
        EXPECT_TRUE(dialog.rect().contains(place)) << button->text().toStdString();
    }
    // Grown while open (as the print dialog does for its options), it is moved back in.
    dialog.move(room.topLeft() + QPoint(100, 100));
    QApplication::processEvents();
    dialog.resize(room.width() - 40, room.height() - 40);
    QApplication::processEvents();
    const QRect frame = dialog.frameGeometry();
    EXPECT_TRUE(room.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width()
                                      << "x" << frame.height() << " in " << room.x() << ","
                                      << room.y() << " " << room.width() << "x" << room.height();
}

}  // namespace
}  // namespace tovrin
