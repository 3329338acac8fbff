#pragma once

#include "text/PlayerOptions.h"

#include <string>

namespace tovrin {

// The find dialog's search settings; Find is Windows-1251.
struct FindRequest {
    std::string Find;
    bool AsMask = false;    // "*" and "?" are wildcards
    bool WordOnly = false;  // match only whole words
    bool CaseOnly = false;  // distinguish upper and lower case
    bool Down = true;       // towards the end of the text
    bool Select = false;    // the result covers the match
};

struct FindResult {
    bool Found = false;
    const char* Start = nullptr;
    const char* End = nullptr;
};

// False when the pattern (normalised, for a mask) is empty or only blanks.
bool MaskIsUsable(const FindRequest& request);

// Searches from `position` within the text bounds. On failure Start and End are `position`.
FindResult FindMatch(const LayoutParams& layout, const char* position, const FindRequest& request);

}  // namespace tovrin
