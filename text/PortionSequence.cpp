#include "text/PortionSequence.h"

#include "text/Portion.h"
#include "text/TextFinder.h"

#include <algorithm>

namespace tovrin {

bool ForEachPortion(const char* begin, const char* end, const char* from,
                    const PlayerOptions& options, const PortionHandler& handle) {
    const double size = static_cast<double>(std::max<ptrdiff_t>(end - begin, 1));
    for (const char* position = std::clamp(from, begin, end); position < end;) {
        SetTextBounds(begin, end);
        const Portion portion = PreparePortion(options, position);
        if (portion.End <= position) break;  // the cutter cannot move on
        const double before = static_cast<double>(position - begin) / size;
        position = portion.End;
        if (!portion.Text || portion.Text->empty()) continue;
        if (!handle(*portion.Text, before, static_cast<double>(position - begin) / size))
            return false;
    }
    return true;
}

}  // namespace tovrin
