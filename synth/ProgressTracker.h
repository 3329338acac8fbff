#pragma once

#include <cstdint>
#include <deque>

namespace tovrin {

// Follows which character of the text is being heard. The synthesis marks the frame at which
// each word starts; the position is the word whose start has already been played.
class ProgressTracker {
  public:
    void Reset();
    // Marks must come in the order of their frames; an earlier frame counts as the latest one.
    void AddMark(uint64_t frame, uint32_t position);
    // The position heard once `framesPlayed` frames have played; 0 before the first mark.
    // Marks left behind are dropped, so the played count must not go back.
    uint32_t Advance(uint64_t framesPlayed);

  private:
    struct Mark {
        uint64_t frame;
        uint32_t position;
    };
    std::deque<Mark> marks_;
    uint32_t position_ = 0;
};

}  // namespace tovrin
