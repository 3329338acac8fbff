#include "text/PlayerOptions.h"

#include "text/CodePages.h"
#include "text/TextError.h"
#include "text/TextFilters.h"
#include "text/TextFinder.h"

#include <cstring>

namespace tovrin {
namespace {

bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

bool Contains(const char* text, char c) {
    return std::strchr(text, c) != nullptr;
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
    options.RazdEmpt = gap + 1;
    options.AbzType = gap != 0 ? 1 : 0;
}

}  // namespace tovrin
