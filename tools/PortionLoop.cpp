#include "tools/PortionLoop.h"

namespace tovrin {

CutOutcome CutToTheEnd(const char* first, const char* end, const char* from,
                       const std::function<Portion(const char*)>& cut,
                       const std::function<void(const Portion&)>& take) {
    for (const char* position = from; position < end;) {
        const Portion portion = cut(position);
        const bool inside =
            portion.Start >= first && portion.Start <= portion.End && portion.End <= end;
        if (!inside || portion.End <= position) return {false, position, portion.End};
        take(portion);
        position = portion.End;
    }
    return {};
}

}  // namespace tovrin
