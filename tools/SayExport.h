#pragma once

#include <chrono>
#include <string>

namespace tovrin {

// The progress of tovrin-say --output on standard error: percent and time left, at most once
// a second and only when the percentage has moved; on a terminal the line is redrawn in place.
class ExportProgressLine {
  public:
    ExportProgressLine();
    ~ExportProgressLine();
    ExportProgressLine(const ExportProgressLine&) = delete;
    ExportProgressLine& operator=(const ExportProgressLine&) = delete;

    void Show(double done) { Show(done, false); }
    // The last line, then what was saved and how long the speech lasts.
    void Saved(const std::string& path, double seconds);

  private:
    void Show(double done, bool last);

    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point shown_{};
    int shownPercent_ = -1;
    bool finished_ = false;
    const bool terminal_;
};

}  // namespace tovrin
