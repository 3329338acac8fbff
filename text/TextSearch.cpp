#include "text/TextSearch.h"

#include "platform/Win1251Case.h"
#include "text/CodePages.h"
#include "text/TextFinder.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tovrin {
namespace {

// Only this much of one line is copied, recoded and searched at a time.
constexpr size_t kLineWindow = 1024;

void ReplaceUntilGone(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from))
        text.replace(at, from.size(), to);
}

struct Mask {
    std::string Text;
    bool OpenStart = false;  // a "*" was taken off its start
    bool OpenEnd = false;
};

Mask NormaliseMask(std::string text) {
    ReplaceUntilGone(text, "**", "*");
    ReplaceUntilGone(text, "*?", "*");
    ReplaceUntilGone(text, "?*", "*");
    Mask mask;
    if (!text.empty() && text.front() == '*') {
        text.erase(0, 1);
        mask.OpenStart = true;
    }
    if (!text.empty() && text.back() == '*') {
        text.pop_back();
        mask.OpenEnd = true;
    }
    mask.Text = std::move(text);
    return mask;
}

// The search string made ready for one line buffer: normalised, cased and turned around.
struct Pattern {
    std::string Text;
    bool Wild = false;                  // "?" matches any character but a blank
    std::vector<std::string> Segments;  // the parts between "*", when the mask holds one
    bool WordStart = false;
    bool WordEnd = false;
};

bool IsWordLike(char c, bool wild) {
    return IsLetterWin1251(static_cast<unsigned char>(c)) || (wild && c == '?');
}

Pattern PreparePattern(const FindRequest& request) {
    Mask mask = request.AsMask ? NormaliseMask(request.Find) : Mask{request.Find};
    Pattern pattern;
    pattern.Text = std::move(mask.Text);
    pattern.Wild = request.AsMask && pattern.Text.find('?') != std::string::npos;
    const bool starred = request.AsMask && pattern.Text.find('*') != std::string::npos;
    if (!request.CaseOnly)
        std::transform(pattern.Text.begin(), pattern.Text.end(), pattern.Text.begin(),
                       [](char c) { return ToUpperWin1251(c); });
    if (!request.Down) {
        std::reverse(pattern.Text.begin(), pattern.Text.end());
        std::swap(mask.OpenStart, mask.OpenEnd);
    }
    if (starred) {
        size_t from = 0;
        for (size_t star; (star = pattern.Text.find('*', from)) != std::string::npos;
             from = star + 1)
            pattern.Segments.push_back(pattern.Text.substr(from, star - from));
        pattern.Segments.push_back(pattern.Text.substr(from));
    }
    // A mask that had a "*" at an end lets a word go on there ("кот*" finds "котлета").
    if (!pattern.Text.empty()) {
        pattern.WordStart = !mask.OpenStart && IsWordLike(pattern.Text.front(), pattern.Wild);
        pattern.WordEnd = !mask.OpenEnd && IsWordLike(pattern.Text.back(), pattern.Wild);
    }
    return pattern;
}

bool MatchesAt(const char* line, size_t n, size_t at, const std::string& piece, bool wild) {
    if (at + piece.size() > n) return false;
    for (size_t i = 0; i < piece.size(); ++i) {
        const char c = line[at + i];
        if (wild && piece[i] == '?' ? c == ' ' : c != piece[i]) return false;
    }
    return true;
}

size_t FindPiece(const char* line, size_t n, size_t from, const std::string& piece, bool wild) {
    for (size_t at = from; at + piece.size() <= n; ++at)
        if (MatchesAt(line, n, at, piece, wild)) return at;
    return std::string::npos;
}

struct LineMatch {
    size_t At = std::string::npos;
    size_t Length = 0;
};

bool PassesWordTest(const Pattern& pattern, const char* line, size_t n, LineMatch match,
                    bool edgeIsLetter) {
    const auto letter = [&](size_t i) {
        return IsLetterWin1251(static_cast<unsigned char>(line[i]));
    };
    const size_t last = match.At + match.Length - 1;
    if (pattern.WordStart) {
        const bool before = match.At == 0 ? edgeIsLetter : letter(match.At - 1);
        if (!letter(match.At) || before) return false;
    }
    if (last >= n) return false;
    if (pattern.WordEnd && (!letter(last) || (last + 1 < n && letter(last + 1)))) return false;
    return true;
}

// The first candidate at or after `from`: its start, and its length when all segments follow.
LineMatch NextCandidate(const Pattern& pattern, const char* line, size_t n, size_t from) {
    if (pattern.Segments.empty()) {
        return {FindPiece(line, n, from, pattern.Text, pattern.Wild), pattern.Text.size()};
    }
    for (;;) {
        const size_t start = FindPiece(line, n, from, pattern.Segments.front(), pattern.Wild);
        if (start == std::string::npos) return {};
        size_t reach = start + pattern.Segments.front().size();
        bool complete = true;
        for (size_t k = 1; complete && k < pattern.Segments.size(); ++k) {
            const size_t at = FindPiece(line, n, reach, pattern.Segments[k], pattern.Wild);
            complete = at != std::string::npos;
            if (complete) reach = at + pattern.Segments[k].size();
        }
        if (complete) return {start, reach - start};
        from = start + 1;
    }
}

LineMatch SearchLine(const Pattern& pattern, const char* line, size_t n, bool edgeIsLetter,
                     bool wordOnly) {
    for (size_t from = 0; from < n;) {
        const LineMatch candidate = NextCandidate(pattern, line, n, from);
        if (candidate.At == std::string::npos || candidate.Length == 0) return {};
        if (!wordOnly || PassesWordTest(pattern, line, n, candidate, edgeIsLetter))
            return candidate;
        from = candidate.At + 1;
    }
    return {};
}

// One line region copied into a searchable buffer: Windows-1251, blanks for tabs and form
// feeds, upper case unless the case matters, turned around when searching up.
size_t LoadLine(const char* from, const char* to, const LayoutParams& layout,
                const FindRequest& request, char* buffer) {
    const size_t n = static_cast<size_t>(to - from);
    std::memcpy(buffer, from, n);
    RecodeToWindows(layout.CodePage, buffer, n);
    for (size_t i = 0; i < n; ++i) {
        if (buffer[i] == '\t' || buffer[i] == '\f') buffer[i] = ' ';
        if (!request.CaseOnly) buffer[i] = ToUpperWin1251(buffer[i]);
    }
    if (!request.Down) std::reverse(buffer, buffer + n);
    return n;
}

}  // namespace

bool MaskIsUsable(const FindRequest& request) {
    const std::string text = request.AsMask ? NormaliseMask(request.Find).Text : request.Find;
    return text.find_first_not_of(' ') != std::string::npos;
}

FindResult FindMatch(const LayoutParams& layout, const char* position, const FindRequest& request) {
    const TextBounds& bounds = CurrentTextBounds();
    const FindResult notFound{false, position, position};
    const Pattern pattern = PreparePattern(request);
    if (pattern.Text.empty()) return notFound;
    const char* p = std::clamp(position, bounds.First, bounds.End);

    // The character at the cursor is skipped, and so are line feeds beside it.
    const char* stretchStart;
    const char* stretchEnd;
    char edge;
    if (request.Down) {
        if (p >= bounds.End) return notFound;
        const char* c = p + 1;
        while (c < bounds.End && *c == '\n')
            ++c;
        stretchStart = c;
        stretchEnd = LineEnd(c);
        edge = c[-1];
    } else {
        if (p <= bounds.First) return notFound;
        const char* c = p - 1;
        while (c > bounds.First && *c == '\n')
            --c;
        stretchStart = LineStart(c);
        stretchEnd = c;
        edge = *c;
    }
    bool edgeIsLetter = IsLetterWin1251(
        RecodeChar(layout.CodePage, kCodePageWindows, static_cast<unsigned char>(edge)));

    char line[kLineWindow];
    for (;;) {
        if (request.Down ? stretchStart >= bounds.End : stretchEnd <= bounds.First) break;
        // Down the window is the start of the region, up the part nearest the cursor.
        const size_t window = std::min(static_cast<size_t>(stretchEnd - stretchStart), kLineWindow);
        const char* from = request.Down ? stretchStart : stretchEnd - window;
        const char* to = from + window;
        const size_t n = LoadLine(from, to, layout, request, line);
        const LineMatch match = SearchLine(pattern, line, n, edgeIsLetter, request.WordOnly);
        if (match.At != std::string::npos) {
            const char* start = request.Down ? from + match.At : to - match.At - match.Length;
            return {true, start, request.Select ? start + match.Length : start};
        }
        edgeIsLetter = false;
        if (request.Down) {
            stretchStart = NextLineStart(stretchStart);
            stretchEnd = LineEnd(stretchStart);
        } else {
            if (stretchStart <= bounds.First) break;
            const char* lineBreak = stretchStart - 1;
            if (*lineBreak == '\n' && lineBreak > bounds.First) --lineBreak;
            stretchEnd = lineBreak;
            stretchStart = LineStart(lineBreak);
        }
    }
    return notFound;
}

}  // namespace tovrin
