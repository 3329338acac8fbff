#include "player/SpeechHighlight.h"

#include "player/PlayerDocument.h"

#include <QPlainTextEdit>
#include <QTextBlock>

#include <algorithm>

namespace tovrin {

namespace {

// How strongly the selection colour shows through: the portion softly, the line more.
constexpr int kPortionAlpha = 45;
constexpr int kLineAlpha = 110;

}  // namespace

SpeechHighlight::SpeechHighlight(QPlainTextEdit& editor, const PlayerDocument& document)
    : editor_(editor), document_(document) {}

void SpeechHighlight::SetEnabled(bool on) {
    if (enabled_ == on) return;
    enabled_ = on;
    if (!on) Clear();
}

void SpeechHighlight::Show(int32_t blockStart, int32_t blockEnd, int32_t spoken) {
    if (!enabled_ || blockEnd <= blockStart) {
        Clear();
        return;
    }
    if (blockStart == lastStart_ && blockEnd == lastEnd_ && spoken == lastSpoken_) return;
    lastStart_ = blockStart;
    lastEnd_ = blockEnd;
    lastSpoken_ = spoken;
    Range portion{document_.ViewPositionOf(blockStart), document_.ViewPositionOf(blockEnd)};
    // The spoken line is the text line holding the spoken offset, kept inside the portion.
    const int at = std::clamp(document_.ViewPositionOf(spoken), portion.Start, portion.End);
    const QTextBlock block = editor_.document()->findBlock(at);
    Range line = portion;
    if (block.isValid())
        line = {std::max(portion.Start, block.position()),
                std::min(portion.End, block.position() + std::max(0, block.length() - 1))};
    if (portion == portion_ && line == line_) return;
    portion_ = portion;
    line_ = line;
    Apply();
}

void SpeechHighlight::Clear() {
    lastStart_ = lastEnd_ = lastSpoken_ = -1;
    if (portion_ == Range{} && line_ == Range{}) return;
    portion_ = line_ = {};
    editor_.setExtraSelections({});
}

QTextEdit::ExtraSelection SpeechHighlight::Selection(Range range, int alpha) const {
    QTextEdit::ExtraSelection selection;
    selection.cursor = QTextCursor(editor_.document());
    selection.cursor.setPosition(range.Start);
    selection.cursor.setPosition(range.End, QTextCursor::KeepAnchor);
    QColor colour = editor_.palette().color(QPalette::Highlight);
    colour.setAlpha(alpha);
    selection.format.setBackground(colour);
    return selection;
}

void SpeechHighlight::Apply() {
    QList<QTextEdit::ExtraSelection> shown{Selection(portion_, kPortionAlpha)};
    if (line_.End > line_.Start) shown.append(Selection(line_, kLineAlpha));
    editor_.setExtraSelections(shown);
}

}  // namespace tovrin
