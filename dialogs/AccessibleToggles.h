#pragma once

#include <QToolButton>

namespace tovrin {

// A toggle button (checkable tool button) that assistive technology presses the way a mouse
// does: its toggle and press actions click it, so the handlers connected to `clicked` run.
// The stock toggle action of a checkable button only flips its state and runs none of them.
class ToggleButton : public QToolButton {
    Q_OBJECT
  public:
    explicit ToggleButton(QWidget* parent = nullptr);
};

// Puts the accessible side of ToggleButton in place; called once by the program's entry point
// (and by tests) before the first window is built.
void InstallAccessibleToggles();

// A control that only carries a value and is never shown. A hidden child still sits in its
// window's accessible tree; as a window of its own that is never shown it has no place there,
// so assistive technology does not meet it.
void MakeValueHolder(QWidget& holder);

}  // namespace tovrin
