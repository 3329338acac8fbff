#include "tools/SayExport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace tovrin {

namespace {

constexpr auto kProgressInterval = std::chrono::seconds(1);

// "1:02:03" or "2:03".
std::string FormatDuration(double seconds) {
    const auto whole = static_cast<long>(std::max(0.0, seconds) + 0.5);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace

ExportProgressLine::ExportProgressLine() : terminal_(isatty(STDERR_FILENO) == 1) {}

ExportProgressLine::~ExportProgressLine() {
    // An interrupted export leaves the progress line finished on a terminal.
    if (terminal_ && shownPercent_ >= 0 && !finished_) std::fputc('\n', stderr);
}

void ExportProgressLine::Saved(const std::string& path, double seconds) {
    finished_ = true;
    // On a terminal the last line ends the line shown; elsewhere a line already at 100% stays.
    if (terminal_ || shownPercent_ != 100) Show(1.0, true);
    std::fprintf(stderr, "tovrin-say: saved %s (%s of speech)\n", path.c_str(),
                 FormatDuration(seconds).c_str());
}

void ExportProgressLine::Show(double done, bool last) {
    const auto now = std::chrono::steady_clock::now();
    const int percent = static_cast<int>(std::clamp(done, 0.0, 1.0) * 100);
    if (!last && (done <= 0 || percent == shownPercent_ || now - shown_ < kProgressInterval))
        return;
    shown_ = now;
    shownPercent_ = percent;
    const double elapsed = std::chrono::duration<double>(now - started_).count();
    const double left = done > 0 ? elapsed * (1 - done) / done : 0;
    std::fprintf(stderr, "%s%d%% done, %s left%s", terminal_ ? "\r" : "", percent,
                 FormatDuration(last ? 0 : left).c_str(), terminal_ && !last ? "  " : "\n");
    std::fflush(stderr);
}

}  // namespace tovrin
