#include "text/CodePages.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>

namespace tovrin {
namespace {

// The four recoding alphabets; several code page indices share one (English text is
// recoded as MS-DOS 866).
enum Alphabet { kDos, kWin, kKoi, kIso, kAlphabetCount, kNoAlphabet = -1 };

int AlphabetOf(int codePage) {
    switch (codePage) {
        case kCodePageEnglish:
        case kCodePageDos:
            return kDos;
        case kCodePageWindows:
            return kWin;
        case kCodePageKoi:
            return kKoi;
        case kCodePageIso:
            return kIso;
        default:
            return kNoAlphabet;
    }
}

using HighTable = std::array<unsigned char, 128>;  // bytes 0x80-0xFF
using ByteTable = std::array<unsigned char, 256>;

// KOI8-R orders its letters phonetically after the Latin alphabet: the small letter at
// 0xC0 + i is the Windows-1251 small letter 0xE0 + kKoiOrder[i] (а = 0 ... я = 31); the
// capitals at 0xE0 + i follow the same order.
constexpr std::array<unsigned char, 32> kKoiOrder = {30, 0,  1,  22, 4,  5,  20, 3,  21, 8,  9,
                                                     10, 11, 12, 13, 14, 15, 31, 16, 17, 18, 19,
                                                     6,  2,  28, 27, 7,  24, 29, 25, 23, 26};

constexpr HighTable DosToWindows() {
    HighTable t{};
    auto set = [&t](unsigned from, unsigned to) {
        t[from - 0x80] = static_cast<unsigned char>(to);
    };
    for (unsigned i = 0; i < 32; ++i)
        set(0x80 + i, 0xC0 + i);  // А-Я
    for (unsigned i = 0; i < 16; ++i)
        set(0xA0 + i, 0xE0 + i);  // а-п
    for (unsigned i = 0; i < 16; ++i)
        set(0xE0 + i, 0xF0 + i);  // р-я
    // Pseudographics and the rest go one to one onto Windows-1251's non-letters.
    for (unsigned i = 0; i <= 0x12; ++i)
        set(0xB0 + i, 0x88 + i);
    set(0xC3, 0x81);
    for (unsigned i = 0; i <= 0x1B; ++i)
        set(0xC4 + i, 0x9C + i);
    constexpr unsigned kTail[8] = {0x82, 0x84, 0x87, 0x86, 0x80, 0x85, 0x83, 0x9B};
    for (unsigned i = 0; i < 8; ++i)
        set(0xF0 + i, kTail[i]);
    for (unsigned i = 0; i < 8; ++i)
        set(0xF8 + i, 0xB8 + i);
    return t;
}

constexpr HighTable KoiToWindows() {
    HighTable t{};
    for (unsigned i = 0; i < 64; ++i)
        t[i] = static_cast<unsigned char>(0x80 + i);
    for (unsigned i = 0; i < 32; ++i) {
        t[0x40 + i] = static_cast<unsigned char>(0xE0 + kKoiOrder[i]);  // small letters
        t[0x60 + i] = static_cast<unsigned char>(0xC0 + kKoiOrder[i]);  // capitals
    }
    return t;
}

constexpr HighTable IsoToWindows() {
    HighTable t{};
    for (unsigned i = 0; i < 48; ++i)
        t[i] = static_cast<unsigned char>(0x80 + i);
    for (unsigned i = 0; i < 64; ++i)
        t[0x30 + i] = static_cast<unsigned char>(0xC0 + i);  // А-я
    for (unsigned i = 0; i < 16; ++i)
        t[0x70 + i] = static_cast<unsigned char>(0xB0 + i);
    return t;
}

constexpr HighTable Identity() {
    HighTable t{};
    for (unsigned i = 0; i < 128; ++i)
        t[i] = static_cast<unsigned char>(0x80 + i);
    return t;
}

constexpr HighTable Inverse(const HighTable& table) {
    HighTable t{};
    for (unsigned i = 0; i < 128; ++i)
        t[table[i] - 0x80] = static_cast<unsigned char>(0x80 + i);
    return t;
}

constexpr std::array<HighTable, kAlphabetCount> kToWindows = {DosToWindows(), Identity(),
                                                              KoiToWindows(), IsoToWindows()};

// Capital and small Yo of the alphabets that get the Yo correction (ISO 8859-5 gets none).
struct YoPair {
    unsigned char capital;
    unsigned char small;
};
constexpr std::array<YoPair, 3> kYo = {YoPair{0xF0, 0xF1}, YoPair{0xA8, 0xB8}, YoPair{0xB3, 0xA3}};

// The full byte table of one conversion: through Windows-1251, then, among 866, 1251 and
// KOI-8, Yo and yo of the source land on Yo and yo of the target.
constexpr ByteTable BuildTable(int from, int to) {
    ByteTable t{};
    for (unsigned c = 0; c < 128; ++c)
        t[c] = static_cast<unsigned char>(c);
    const HighTable fromWindows = Inverse(kToWindows[to]);
    for (unsigned c = 0x80; c < 256; ++c) {
        const unsigned char windows = kToWindows[from][c - 0x80];
        t[c] = fromWindows[windows - 0x80];
    }
    if (from != kIso && to != kIso && from != to) {
        t[kYo[from].capital] = kYo[to].capital;
        t[kYo[from].small] = kYo[to].small;
    }
    return t;
}

constexpr auto kTables = [] {
    std::array<std::array<ByteTable, kAlphabetCount>, kAlphabetCount> all{};
    for (int from = 0; from < kAlphabetCount; ++from)
        for (int to = 0; to < kAlphabetCount; ++to)
            all[from][to] = BuildTable(from, to);
    return all;
}();

// The table of a conversion, or null when there is nothing to do.
const ByteTable* TableFor(int fromCodePage, int toCodePage) {
    const int from = AlphabetOf(fromCodePage);
    const int to = AlphabetOf(toCodePage);
    if (from == kNoAlphabet || to == kNoAlphabet || from == to) return nullptr;
    return &kTables[from][to];
}

void RecodeWith(const ByteTable& table, unsigned char* data, std::size_t length) {
    // Four independent lookups per step keep the loop free of per-byte branches.
    std::size_t i = 0;
    for (; i + 4 <= length; i += 4) {
        const unsigned char a = table[data[i]], b = table[data[i + 1]];
        const unsigned char c = table[data[i + 2]], d = table[data[i + 3]];
        data[i] = a;
        data[i + 1] = b;
        data[i + 2] = c;
        data[i + 3] = d;
    }
    for (; i < length; ++i)
        data[i] = table[data[i]];
}

// Unicode code points of the Windows-1251 bytes 0x80-0xBF; 0 marks the one unassigned byte.
constexpr std::array<char16_t, 64> kWindowsHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

constexpr unsigned char kUnassigned = 0x98;

// The Windows-1251 byte of a code point, or none.
std::optional<char> CodePointToWindows(unsigned code) {
    if (code < 0x80) return static_cast<char>(code);
    if (code >= 0x410 && code <= 0x44F) return static_cast<char>(0xC0 + (code - 0x410));
    for (unsigned i = 0; i < kWindowsHigh.size(); ++i)
        if (kWindowsHigh[i] == code && code != 0) return static_cast<char>(0x80 + i);
    return std::nullopt;
}

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is malformed
// (truncated, overlong, a surrogate or beyond U+10FFFF).
std::size_t DecodeUtf8(std::string_view text, std::size_t i, unsigned& code) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned minimum = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// Byte counts kept in four interleaved tables, so that runs of one byte value do not stall
// on the same counter.
using Histogram = std::array<uint64_t, 256>;

Histogram CountBytes(const unsigned char* data, std::size_t length) {
    Histogram total{};
    constexpr std::size_t kChunk = std::size_t{1} << 30;  // keeps 32-bit counters from overflowing
    for (std::size_t done = 0; done < length;) {
        const std::size_t n = std::min(kChunk, length - done);
        const unsigned char* p = data + done;
        uint32_t counts[4][256] = {};
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t word;
            std::memcpy(&word, p + i, 8);
            ++counts[0][word & 0xFF];
            ++counts[1][(word >> 8) & 0xFF];
            ++counts[2][(word >> 16) & 0xFF];
            ++counts[3][(word >> 24) & 0xFF];
            ++counts[0][(word >> 32) & 0xFF];
            ++counts[1][(word >> 40) & 0xFF];
            ++counts[2][(word >> 48) & 0xFF];
            ++counts[3][word >> 56];
        }
        for (; i < n; ++i)
            ++counts[0][p[i]];
        for (unsigned c = 0; c < 256; ++c)
            total[c] += uint64_t{counts[0][c]} + counts[1][c] + counts[2][c] + counts[3][c];
        done += n;
    }
    return total;
}

uint64_t SumOf(const Histogram& counts, std::initializer_list<unsigned char> bytes) {
    uint64_t sum = 0;
    for (unsigned char b : bytes)
        sum += counts[b];
    return sum;
}

// The most frequent Russian letters (А Е И Н О Р С Т, capital and small) in each code page.
uint64_t DosLetterShare(const Histogram& c) {
    return SumOf(c,
                 {128, 133, 136, 141, 142, 144, 145, 146, 160, 165, 168, 173, 174, 224, 225, 226});
}
uint64_t WindowsLetterShare(const Histogram& c) {
    return SumOf(c,
                 {192, 197, 200, 205, 206, 208, 209, 210, 224, 229, 232, 237, 238, 240, 241, 242});
}
uint64_t KoiLetterShare(const Histogram& c) {
    return SumOf(c,
                 {193, 197, 201, 206, 207, 220, 221, 222, 225, 229, 233, 238, 239, 252, 253, 254});
}

int GuessFromCounts(const Histogram& counts) {
    std::array<uint64_t, 16> g{};
    for (unsigned c = 0; c < 256; ++c)
        g[c >> 4] += counts[c];
    const uint64_t e = g[12] + g[13] + g[14] + g[15];
    const uint64_t d = g[8] + g[9] + g[10] + g[14];
    const uint64_t upper = g[12] + g[13];
    const uint64_t lower = g[14] + g[15];
    const uint64_t latin = g[4] + g[5] + g[6] + g[7];
    const bool mostlyLatin = latin > 8 * e && latin > 8 * d;
    const bool highLow = g[11] > g[15];

    // "Exceeds 40 %" in integers: 5 * share > 2 * total.
    const bool dos = d > 64 && 5 * DosLetterShare(counts) > 2 * d;
    const bool windows = e > 64 && 5 * WindowsLetterShare(counts) > 2 * e;
    const bool koi = e > 64 && 5 * KoiLetterShare(counts) > 2 * e;
    if (dos + windows + koi == 1)
        return dos ? kCodePageDos : windows ? kCodePageWindows : kCodePageKoi;

    if (5 * d > 6 * e || highLow || 2 * g[15] < g[8] + g[10]) return kCodePageDos;
    if (upper > 10 * lower) return highLow ? kCodePageUnknown : kCodePageKoi;
    if (lower > upper && !highLow) return kCodePageWindows;
    if (lower < upper && (!highLow || !mostlyLatin)) return kCodePageKoi;
    return kCodePageUnknown;
}

}  // namespace

unsigned WindowsToCodePoint(unsigned char c) {
    if (c < 0x80) return c;
    if (c >= 0xC0) return 0x410 + (c - 0xC0);
    return kWindowsHigh[c - 0x80];
}

void RecodeText(int from, int to, char* data, std::size_t length) {
    if (const ByteTable* table = TableFor(from, to))
        RecodeWith(*table, reinterpret_cast<unsigned char*>(data), length);
}

void RecodeText(int from, int to, char* text) {
    if (const ByteTable* table = TableFor(from, to))
        RecodeWith(*table, reinterpret_cast<unsigned char*>(text), std::strlen(text));
}

void RecodeToWindows(int from, char* text) {
    RecodeText(from, kCodePageWindows, text);
}

void RecodeToWindows(int from, char* data, std::size_t length) {
    RecodeText(from, kCodePageWindows, data, length);
}

unsigned char RecodeChar(int from, int to, unsigned char character) {
    const ByteTable* table = TableFor(from, to);
    return table ? (*table)[character] : character;
}

unsigned char RecodeCharFromWindows(int to, unsigned char character) {
    if (AlphabetOf(to) == kNoAlphabet) return 0;
    return RecodeChar(kCodePageWindows, to, character);
}

int DetectCodePage(const char* text, std::size_t limit) {
    const std::size_t length = strnlen(text, limit);
    return GuessFromCounts(CountBytes(reinterpret_cast<const unsigned char*>(text), length));
}

std::string Windows1251ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const unsigned code = WindowsToCodePoint(static_cast<unsigned char>(c));
        AppendUtf8(out, code == 0 && c != 0 ? '?' : code);
    }
    return out;
}

std::string Utf8ToWindows1251(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        unsigned code = 0;
        const std::size_t length = DecodeUtf8(text, i, code);
        out += length == 0 ? '?' : CodePointToWindows(code).value_or('?');
        i += length == 0 ? 1 : length;
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    unsigned code = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = DecodeUtf8(text, i, code);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string Utf8DocumentToWindows1251(std::string_view utf8, std::size_t& unmapped) {
    unmapped = 0;
    std::string out(utf8.size(), '\0');  // never longer than its UTF-8 form
    std::size_t size = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            out[size++] = utf8[i++];
            continue;
        }
        unsigned code = 0;
        const std::size_t length = DecodeUtf8(utf8, i, code);
        i += length == 0 ? 1 : length;
        std::optional<char> byte = CodePointToWindows(code);
        if (length != 0 && code == kUnassigned) byte = static_cast<char>(kUnassigned);
        if (length == 0 || !byte) {
            ++unmapped;
            byte = '?';
        }
        out[size++] = *byte;
    }
    out.resize(size);
    return out;
}

std::string Windows1251DocumentToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        AppendUtf8(out, byte == kUnassigned ? kUnassigned : WindowsToCodePoint(byte));
    }
    return out;
}

}  // namespace tovrin
