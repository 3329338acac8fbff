#pragma once

#include "text/PlayerOptions.h"

#include <optional>
#include <string>

namespace tovrin {

// One cut of the document: where it lies in the source and the Windows-1251 text to speak.
struct Portion {
    const char* Start = nullptr;
    const char* End = nullptr;
    std::optional<std::string> Text;  // empty optional: nothing to read
};

// Cuts, cleans and dresses the portion at `position`, which lies within the text bounds.
// While the text has not ended, End lies past `position`.
Portion PreparePortion(const PlayerOptions& options, const char* position);

}  // namespace tovrin
