#include "synth/ProgressTracker.h"

#include <algorithm>

namespace tovrin {

void ProgressTracker::Reset() {
    marks_.clear();
    position_ = 0;
}

void ProgressTracker::AddMark(uint64_t frame, uint32_t position) {
    if (!marks_.empty()) frame = std::max(frame, marks_.back().frame);
    marks_.push_back({frame, position});
}

uint32_t ProgressTracker::Advance(uint64_t framesPlayed) {
    while (!marks_.empty() && marks_.front().frame <= framesPlayed) {
        position_ = marks_.front().position;
        marks_.pop_front();
    }
    return position_;
}

}  // namespace tovrin
