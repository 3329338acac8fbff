#pragma once

#include <QRect>
#include <QScrollArea>

class QDialog;
class QLayoutItem;
class QScreen;
class QWidget;

namespace tovrin {

// The part of `screen` a window's client area can take: the screen's free area less the
// window manager's frame, as `window`'s style guesses it (a title bar above, borders around).
QRect ClientRoom(const QWidget& window, const QScreen& screen);

// `place` moved, as little as it can be, so that it lies within `room`; one larger than the
// room keeps its top left corner in it.
QRect MovedInto(QRect place, const QRect& room);

// Makes a dialog about to open no larger than the room its screen leaves (Qt's file dialog
// at a large scale is taller and wider than a 1024x768 screen, its buttons off it); one that
// fits keeps its size.
void FitDialogToScreen(QDialog& dialog);

// Holds a page of controls at its full size, except where the screen is too short for the
// window around it: there it is as tall as the screen leaves and its controls scroll.
// `above` is what the window shows above it (it stays in view).
class ShortScreenScroll : public QScrollArea {
  public:
    ShortScreenScroll(QWidget* content, QLayoutItem* above, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  private:
    QLayoutItem* above_;
};

}  // namespace tovrin
