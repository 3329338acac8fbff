#pragma once

#include <QTextEdit>

#include <cstdint>

class QPlainTextEdit;

namespace tovrin {

class PlayerDocument;

// Shows what is being read: the portion with a soft background, and the line being spoken
// within it more strongly. It never moves the caret or scrolls, and does nothing at all while
// neither the portion nor the spoken line changes, so a tick costs a few comparisons.
class SpeechHighlight {
  public:
    SpeechHighlight(QPlainTextEdit& editor, const PlayerDocument& document);

    void SetEnabled(bool on);
    bool Enabled() const { return enabled_; }

    // The portion [blockStart, blockEnd) and the spoken offset, as buffer offsets.
    void Show(int32_t blockStart, int32_t blockEnd, int32_t spoken);
    void Clear();

    // What is shown now, as editor positions (empty ranges when nothing is).
    struct Range {
        int Start = 0, End = 0;
        bool operator==(const Range&) const = default;
    };
    Range PortionShown() const { return portion_; }
    Range LineShown() const { return line_; }

  private:
    QTextEdit::ExtraSelection Selection(Range range, int alpha) const;
    void Apply();

    QPlainTextEdit& editor_;
    const PlayerDocument& document_;
    bool enabled_ = true;
    Range portion_, line_;
    int32_t lastStart_ = -1, lastEnd_ = -1, lastSpoken_ = -1;
};

}  // namespace tovrin
