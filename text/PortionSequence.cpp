#include "text/PortionSequence.h"

#include "text/TextFinder.h"

#include <algorithm>

namespace tovrin {

namespace {

// The loop both cutters share; `take` returns false to stop.
CutOutcome CutWhile(const char* first, const char* end, const char* from,
                    const std::function<Portion(const char*)>& cut,
                    const std::function<bool(const Portion&)>& take) {
    for (const char* position = from; position < end;) {
        const Portion portion = cut(position);
        const bool inside =
            portion.Start >= first && portion.Start <= portion.End && portion.End <= end;
        if (!inside || portion.End <= position) return {false, false, position, portion.End};
        if (!take(portion)) return {false, true, position, portion.End};
        position = portion.End;
    }
    return {};
}

}  // namespace

CutOutcome CutToTheEnd(const char* first, const char* end, const char* from,
                       const std::function<Portion(const char*)>& cut,
                       const std::function<void(const Portion&)>& take) {
    return CutWhile(first, end, from, cut, [&](const Portion& portion) {
        take(portion);
        return true;
    });
}

std::string DescribeStall(const CutOutcome& outcome, const char* first) {
    auto offset = [first](const char* at) {
        return std::to_string(at ? static_cast<long long>(at - first) : -1LL);
    };
    return "the portion cut at " + offset(outcome.Position) + " ends at " +
           offset(outcome.PortionEnd) + ", not past it within the text; stopping";
}

CutOutcome ForEachPortion(const char* begin, const char* end, const char* from,
                          const std::function<Portion(const char*)>& cut,
                          const PortionHandler& handle) {
    const double size = static_cast<double>(std::max<ptrdiff_t>(end - begin, 1));
    auto share = [&](const char* at) { return static_cast<double>(at - begin) / size; };
    return CutWhile(begin, end, std::clamp(from, begin, end), cut, [&](const Portion& portion) {
        if (!portion.Text || portion.Text->empty()) return true;
        return handle(*portion.Text, share(portion.Start), share(portion.End));
    });
}

CutOutcome ForEachPortion(const char* begin, const char* end, const char* from,
                          const PlayerOptions& options, const PortionHandler& handle) {
    const auto cut = [&](const char* position) {
        SetTextBounds(begin, end);
        return PreparePortion(options, position);
    };
    return ForEachPortion(begin, end, from, cut, handle);
}

}  // namespace tovrin
