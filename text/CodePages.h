#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tovrin {

// Code page indices as stored in PlayerOptions::CodePage.
inline constexpr int kCodePageUnknown = -1;
inline constexpr int kCodePageEnglish = 0;  // recoded as MS-DOS 866
inline constexpr int kCodePageWindows = 1;  // Windows-1251
inline constexpr int kCodePageDos = 2;      // MS-DOS 866
inline constexpr int kCodePageKoi = 3;      // KOI8-R
inline constexpr int kCodePageIso = 4;      // ISO 8859-5

// Recodes a zero-terminated text in place from code page `from` to code page `to`. Nothing
// changes when the two use the same letters or when either index is outside 0-4.
void RecodeText(int from, int to, char* text);

// Recodes exactly `length` bytes in place; zero bytes pass through unchanged.
void RecodeText(int from, int to, char* data, std::size_t length);

// RecodeText(from, 1, text).
void RecodeToWindows(int from, char* text);
void RecodeToWindows(int from, char* data, std::size_t length);

// One byte through the conversion from `from` to `to` (with the Yo correction); the byte
// itself when no recoding is needed or none is defined.
unsigned char RecodeChar(int from, int to, unsigned char character);

// One Windows-1251 character recoded to code page `to`; the character itself when no
// conversion is needed, 0 when `to` is outside 0-4.
unsigned char RecodeCharFromWindows(int to, unsigned char character);

// Guesses the code page of the first `limit` bytes of a zero-terminated text (fewer when a
// zero byte comes first): 1 Windows-1251, 2 MS-DOS 866, 3 KOI-8 or -1 when unsure.
int DetectCodePage(const char* text, std::size_t limit);

// The Unicode code point of a Windows-1251 byte; 0 for the unassigned byte 0x98.
unsigned WindowsToCodePoint(unsigned char byte);

// Conversions at the edges of the system, where texts meet UTF-8. Characters without a
// Windows-1251 form, and bytes that are not valid UTF-8, become '?'.
std::string Windows1251ToUtf8(std::string_view text);
std::string Utf8ToWindows1251(std::string_view text);

// Whether `text` is well-formed UTF-8: no stray or truncated sequences, overlong forms,
// surrogates or code points past U+10FFFF.
bool IsValidUtf8(std::string_view text);

// The lossless pair used for documents kept in UTF-8 files: the byte 0x98, which
// Windows-1251 leaves unassigned, stands for U+0098, so that every byte has a character and
// a document converted from UTF-8 goes back byte for byte. `unmapped` counts the characters
// that Windows-1251 lacks (each became '?').
std::string Utf8DocumentToWindows1251(std::string_view utf8, std::size_t& unmapped);
std::string Windows1251DocumentToUtf8(std::string_view text);

}  // namespace tovrin

namespace tovrin {

// A short Windows-1251 text fixed at compile time, written in the source as UTF-8.
template <std::size_t Capacity>
struct Windows1251Text {
    char bytes[Capacity]{};
    std::size_t size = 0;
    constexpr std::string_view view() const { return {bytes, size}; }
};

// Converts a UTF-8 literal of ASCII and Russian letters (А-я, Ё, ё) to Windows-1251 during
// compilation; any other character stops the compilation.
template <std::size_t Capacity = 32, std::size_t N>
consteval Windows1251Text<Capacity> W1251(const char (&utf8)[N]) {
    Windows1251Text<Capacity> out;
    for (std::size_t i = 0; i + 1 < N; ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        unsigned code = lead;
        if (lead >= 0x80) {
            if ((lead & 0xE0) != 0xC0 || i + 2 >= N) throw "only Russian letters are supported";
            code = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
        }
        char byte = 0;
        if (code < 0x80) {
            byte = static_cast<char>(code);
        } else if (code >= 0x410 && code <= 0x44F) {
            byte = static_cast<char>(0xC0 + (code - 0x410));
        } else if (code == 0x401 || code == 0x451) {
            byte = static_cast<char>(code == 0x401 ? 0xA8 : 0xB8);
        } else {
            throw "only Russian letters are supported";
        }
        if (out.size >= Capacity) throw "literal too long";
        out.bytes[out.size++] = byte;
    }
    return out;
}

}  // namespace tovrin
