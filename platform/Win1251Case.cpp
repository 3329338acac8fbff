#include "platform/Win1251Case.h"

#include <algorithm>

namespace tovrin {

std::string_view TrimBlanksWin1251(std::string_view text) {
    while (!text.empty() && IsBlankWin1251(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlankWin1251(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualIgnoringCaseWin1251(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return ToLowerWin1251(x) == ToLowerWin1251(y); });
}

}  // namespace tovrin
