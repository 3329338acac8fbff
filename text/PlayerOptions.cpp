#include "text/PlayerOptions.h"

#include "text/CodePages.h"
#include "text/TextError.h"
#include "text/TextFilters.h"
#include "text/TextFinder.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tovrin {
namespace {

bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

bool Contains(const char* text, char c) {
    return std::strchr(text, c) != nullptr;
}

// A line longer than this many characters is not one a hard wrap makes: wrapped texts break
// their lines at 60 to 80 columns, while a text with a paragraph per line has most of its
// narrative lines far longer.
constexpr size_t kLongestWrappedLine = 100;

// Empty lines separate paragraphs, not sections, when the runs of lines between them are
// shorter than this on average.
constexpr int kLongestEmptyLineParagraph = 16;

// What the non-empty lines of a text say about how it was written.
struct LineShape {
    int Lines = 0;
    int Long = 0;   // longer than kLongestWrappedLine characters
    int Runs = 0;   // runs of non-empty lines between empty lines
    int Drops = 0;  // lines less deeply indented than the non-empty line above
};

// Characters of a line: bytes, or code points when the whole text is UTF-8.
size_t CharactersIn(const char* from, const char* to, bool utf8) {
    if (!utf8) return static_cast<size_t>(to - from);
    return static_cast<size_t>(std::count_if(
        from, to, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The text bounds must cover `text`.
LineShape ShapeOf(const char* text, size_t length) {
    const bool utf8 = IsValidUtf8(std::string_view(text, length));
    const char* const end = text + length;
    LineShape shape;
    int above = -1;
    for (const char* c = text; c < end;) {
        const char* lineEnd = LineEnd(c);
        const int indentation = Indentation(c);
        if (indentation >= 0) {
            ++shape.Lines;
            if (CharactersIn(c, lineEnd, utf8) > kLongestWrappedLine) ++shape.Long;
            if (above < 0) ++shape.Runs;
            if (above > indentation) ++shape.Drops;
        }
        above = indentation;
        if (lineEnd >= end) break;
        c = NextLineStart(c);
    }
    return shape;
}

// A text whose lines are paragraphs: a tenth of its lines are too long for a hard wrap; or,
// unless short runs of lines stand between empty lines (paragraphs the empty-line form reads),
// hardly a line follows a deeper one as the body of an indented paragraph does (fewer than one
// in forty, so that a chapter heading set deeper than the text does not make it a wrapped one).
bool EachLineIsAParagraph(const LineShape& shape, bool emptyLineGaps) {
    if (shape.Lines == 0) return false;
    if (shape.Long * 10 >= shape.Lines) return true;
    if (emptyLineGaps && shape.Runs * kLongestEmptyLineParagraph >= shape.Lines) return false;
    return shape.Drops * 40 < shape.Lines;
}

}  // namespace

void DefaultPlayerOptions(PlayerOptions& options) {
    options = PlayerOptions{};
}

LayoutParams LayoutParamsOf(const PlayerOptions& options) {
    return LayoutParams{options.CodePage, options.AbzType, options.RazdType, options.RazdEmpt,
                        options.RazdKey};
}

int32_t ParsePauseText(const std::string& text) {
    // The pause field shows one digit, a point and one digit; its text is the two digits.
    std::string digits = text.substr(0, 2);
    if (digits.empty()) return 0;
    if (digits.size() == 2 && digits[1] == ' ') digits[1] = '0';
    size_t i = 0;
    while (i < digits.size() && digits[i] == ' ')
        ++i;
    if (i == digits.size()) throw ConversionError("'" + text + "' is not a valid integer value");
    int32_t value = 0;
    for (; i < digits.size(); ++i) {
        if (!IsDecimalDigit(digits[i]))
            throw ConversionError("'" + text + "' is not a valid integer value");
        value = value * 10 + (digits[i] - '0');
    }
    return value;
}

void AnalyseText(PlayerOptions& options, bool full, const char* text) {
    if (!text) text = "";
    const size_t length = std::strlen(text);
    if (!full) {
        options.CodePage = DetectCodePage(text, static_cast<size_t>(kQuickDetectLimit));
        return;
    }
    options.CodePage = DetectCodePage(text, length);
    options.Dcd_pH = Contains(text, 'p') || Contains(text, 'H');
    // The analysis only switches cleaning off where the text gives it nothing to do.
    if (!Contains(text, '\'')) options.Dcd_NoUdar = false;
    if (!Contains(text, '{') || !Contains(text, '<')) options.Dcd_NoCommand = false;
    if (!FindSpacedRun(text, 3).found) options.Dcd_NoChar = false;

    SetTextBounds(text, text + length);
    const int gap = MostCommonGap(LayoutParamsOf(options), text);
    if (EachLineIsAParagraph(ShapeOf(text, length), gap != 0)) {
        options.AbzType = kAbzEachLine;
        options.RazdEmpt = MostCommonLineGap(LayoutParamsOf(options), text) + 1;
        return;
    }
    options.RazdEmpt = gap + 1;
    options.AbzType = gap != 0 ? kAbzEmptyLine : kAbzIndented;
}

}  // namespace tovrin
