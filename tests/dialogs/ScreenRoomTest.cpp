// Dialogs and windows keep within the screen they open on.

#include "dialogs/ScreenRoom.h"

#include "tests/player/QtApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QScreen>

namespace tovrin {
namespace {

// A dialog that fits keeps its own size; a window placed partly off the screen is moved in,
// one too large for it keeps its top left corner in it. (A dialog too large for its screen is
// tried on a small screen with the main window's.)
TEST(ScreenRoomTest, ADialogThatFitsKeepsItsSizeAndAWindowIsMovedIntoTheScreen) {
    const QWidget probe;
    const QRect room = ClientRoom(probe, *QGuiApplication::primaryScreen());
    QDialog small;
    small.resize(300, 200);
    FitDialogToScreen(small);
    EXPECT_EQ(small.size(), QSize(300, 200));
    // Placed partly off the screen, a window is moved in; one too large keeps its corner in.
    EXPECT_EQ(MovedInto(QRect(room.right() - 50, room.bottom() - 50, 300, 200), room),
              QRect(room.right() + 1 - 300, room.bottom() + 1 - 200, 300, 200));
    EXPECT_EQ(MovedInto(QRect(room.left() - 40, room.top(), room.width() + 99, 10), room).topLeft(),
              room.topLeft());
}

}  // namespace
}  // namespace tovrin
