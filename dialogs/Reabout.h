#pragma once

#include <QDialog>

#include <string>

namespace tovrin {

// The about box: what the program is, and the computer's memory as it was when the box was
// made.
class TAboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit TAboutBox(QWidget* parent = nullptr,
                       const std::string& memoryInfoPath = "/proc/meminfo");
};

}  // namespace tovrin
