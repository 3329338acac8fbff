#include "text/Portion.h"

#include "text/EngineCommands.h"
#include "text/TextFilters.h"
#include "text/TextFinder.h"

#include <algorithm>
#include <cstring>

namespace tovrin {
namespace {

constexpr int32_t kSmallestBlock = 1024;
constexpr int32_t kLargestBlock = 32768;

bool IsBlankText(const std::string& text) {
    return text.find_first_not_of(" \t\n\f") == std::string::npos;
}

// The layout tests of the portion checks. Texts whose every line is a paragraph have their own;
// the others take the plain tests for indented text, whatever their form.
bool AtParagraphStart(const char* p, int32_t abzType) {
    if (abzType == kAbzEachLine) return IsLineParagraphStart(p);
    return IsParagraphStart(p, MeasureLines(p));
}

bool AtParagraphEnd(const char* p, int32_t abzType) {
    if (abzType == kAbzEachLine) return IsLineParagraphEnd(p);
    const LineMeasures m = MeasureLines(p);
    return IsParagraphEnd(p, m) || IsParagraphStart(p, m);
}

struct BlockLength {
    ptrdiff_t Length = 0;
    bool Clean = true;
};

// Cuts one portion; lives for one PreparePortion call, with the paragraph texts and drop flags.
class PortionCutter {
  public:
    explicit PortionCutter(const PlayerOptions& options)
        : options_(options), layout_(LayoutParamsOf(options)) {
        if (!IsBlankText(options.AbzBeg)) beginText_ = options.AbzBeg;
        if (options.AbzBegP) AppendPauseCommand(beginText_, options.AbzBegPause);
        if (!IsBlankText(options.AbzEnd)) endText_ = options.AbzEnd;
        // Read by paragraphs, every paragraph is a portion of its own and the pause may go.
        if (options.AbzEndP && (options.ReadingType != 0 || !options.AbzNoEndP))
            AppendPauseCommand(endText_, options.AbzEndPause);
    }

    Portion Cut(const char* position) {
        switch (options_.ReadingType) {
            case 1:
                return ByBlocks(position);
            case 2:
                return ByLines(position);
            default:
                return ByParagraphs(position);
        }
    }

  private:
    Portion ByParagraphs(const char* position) {
        const TextRange paragraph = FindParagraph(layout_, position, kMaxParagraphPortion);
        if (paragraph.Start == position) CheckStart(position);
        const ptrdiff_t length =
            std::min<ptrdiff_t>(paragraph.End - paragraph.Start, kMaxParagraphPortion);
        const char* end = paragraph.Start + length;
        // Only empty lines were left: nothing to dress with paragraph texts.
        if (length == 0) return {paragraph.Start, end, std::string()};
        CheckEnd(end);
        std::string text = CopyAndClean(paragraph.Start, end);
        Wrap(text);
        return {paragraph.Start, end, std::move(text)};
    }

    Portion ByLines(const char* position) {
        const bool onBreak = position >= CurrentTextBounds().End || *position == '\r';
        const char* start = onBreak ? NextLine(position) : LineStart(position);
        const char* end = LineEnd(start);
        return {start, end, CopyAndClean(start, end)};
    }

    Portion ByBlocks(const char* position) {
        const int32_t blockSize = std::clamp(options_.BlockSize, kSmallestBlock, kLargestBlock);
        const BlockLength block = MeasureBlock(position, blockSize);
        if (!options_.BlockSelAbz) {
            std::string text = CopyAndClean(position, position + block.Length);
            AppendBlockMessage(text);
            return {position, position + block.Length, std::move(text)};
        }
        if (!block.Clean) return CutBlock(position, block.Length);
        return PackBlock(position, block.Length, blockSize);
    }

    // Block length from `position`, moved to a paragraph boundary when the options ask for it.
    BlockLength MeasureBlock(const char* position, int32_t blockSize) const {
        const ptrdiff_t remaining = CurrentTextBounds().End - position;
        if (remaining <= blockSize) return {remaining, true};
        if (!options_.BlockOrgAbz) return {blockSize, true};
        const char* cut = position + blockSize;
        const TextStart holder = FindParagraphStart(layout_, cut, position);
        if (holder.Aux < cut) return {blockSize, true};
        if (holder.Start > position) return {holder.Start - position, true};
        const TextRange rest = FindParagraph(layout_, cut, kMaxParagraphPortion);
        if (rest.End - rest.Start <= kMaxParagraphPortion) return {rest.End - position, true};
        // An over-long paragraph is cut at a line start; a single huge line is cut where it is.
        const char* lineBefore = PreviousLine(cut);
        return {lineBefore > position ? lineBefore - position : blockSize, false};
    }

    Portion CutBlock(const char* position, ptrdiff_t length) {
        const char* end = position + length;
        CheckStart(position);
        CheckEnd(end);
        std::string text = CopyAndClean(position, end);
        Wrap(text);
        AppendBlockMessage(text);
        return {position, end, std::move(text)};
    }

    Portion PackBlock(const char* position, ptrdiff_t length, int32_t blockSize) {
        CheckPackedStart(position);
        const char* const textEnd = CurrentTextBounds().End;
        std::string block;
        const char* readPoint = position;
        bool tooLong = false;
        while (static_cast<ptrdiff_t>(block.size()) < blockSize && readPoint < textEnd) {
            const TextRange paragraph = FindParagraph(layout_, readPoint);
            if (paragraph.Start == paragraph.End) {
                // Only empty lines remain; the block still covers them so reading moves on.
                if (paragraph.End >= textEnd) readPoint = textEnd;
                break;
            }
            std::string piece = CopyAndClean(paragraph.Start, paragraph.End);
            if (options_.BlockPack) piece.resize(PackWhiteSpace(piece.data()));
            Wrap(piece);
            if (block.size() + piece.size() > static_cast<size_t>(blockSize)) {
                tooLong = readPoint == position;
                break;
            }
            block += piece;
            readPoint = paragraph.End;
        }
        if (tooLong) return CutBlock(position, length);
        if (readPoint == position || block.empty()) return {position, readPoint, std::nullopt};
        AppendBlockMessage(block);
        return {position, readPoint, std::move(block)};
    }

    std::string CopyAndClean(const char* from, const char* to) const {
        size_t length = static_cast<size_t>(to - from);
        if (const void* zero = std::memchr(from, '\0', length))
            length = static_cast<size_t>(static_cast<const char*>(zero) - from);
        std::string text(from, length);
        text.resize(CleanText(options_, text.data()));
        return text;
    }

    void Wrap(std::string& piece) {
        if (beginText_.empty() && endText_.empty()) return;
        std::string wrapped;
        wrapped.reserve(beginText_.size() + piece.size() + endText_.size());
        if (!dropBegin_) wrapped += beginText_;
        wrapped += piece;
        if (!dropEnd_) wrapped += endText_;
        piece = std::move(wrapped);
        dropBegin_ = dropEnd_ = false;
    }

    void AppendBlockMessage(std::string& block) const {
        if (!options_.BlockMsg.empty() && !block.empty()) block += options_.BlockMsg;
    }

    void CheckStart(const char* start) {
        if (!AtParagraphStart(start, layout_.AbzType)) dropBegin_ = true;
    }

    void CheckEnd(const char* end) {
        if (!AtParagraphEnd(end, layout_.AbzType)) dropEnd_ = true;
    }

    void CheckPackedStart(const char* start) {
        dropBegin_ = !IsEmptyLine(start) && !AtParagraphEnd(start, layout_.AbzType);
    }

    const PlayerOptions& options_;
    const LayoutParams layout_;
    std::string beginText_;
    std::string endText_;
    bool dropBegin_ = false;
    bool dropEnd_ = false;
};

}  // namespace

Portion PreparePortion(const PlayerOptions& options, const char* position) {
    const TextBounds& bounds = CurrentTextBounds();
    position = std::clamp(position, bounds.First, bounds.End);
    if (position == bounds.End) {
        const bool packing = options.ReadingType == 1 && options.BlockSelAbz;
        return {position, position, packing ? std::nullopt : std::optional<std::string>("")};
    }
    Portion portion = PortionCutter(options).Cut(position);
    // The reader moves to End and asks again, so End must always move on.
    if (portion.End <= position) {
        portion.Start = position;
        portion.End = NextLineStart(position);
        portion.Text.reset();
    }
    return portion;
}

}  // namespace tovrin
