#pragma once

#include <string_view>

namespace tovrin {

// Letters and letter case of Windows-1251 text, the code page every part of the system keeps
// its texts in: Latin A-Z/a-z, Cyrillic А-Я (0xC0-0xDF) / а-я (0xE0-0xFF) and Ё (0xA8) / ё
// (0xB8). Inline because the text filters ask this of every byte.

inline constexpr unsigned char kWin1251CapitalYo = 0xA8;
inline constexpr unsigned char kWin1251SmallYo = 0xB8;
inline constexpr unsigned char kWin1251CapitalA = 0xC0;
inline constexpr unsigned char kWin1251SmallA = 0xE0;

constexpr bool IsLatinLetterWin1251(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr bool IsCyrillicLetterWin1251(unsigned char c) {
    return c >= kWin1251CapitalA || c == kWin1251CapitalYo || c == kWin1251SmallYo;
}

constexpr bool IsLetterWin1251(unsigned char c) {
    return IsLatinLetterWin1251(c) || IsCyrillicLetterWin1251(c);
}

// Capitals to their small forms; every other byte unchanged.
constexpr unsigned char ToLowerWin1251(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= kWin1251CapitalA && c < kWin1251SmallA))
        return static_cast<unsigned char>(c + 0x20);
    return c == kWin1251CapitalYo ? kWin1251SmallYo : c;
}

constexpr char ToLowerWin1251(char c) {
    return static_cast<char>(ToLowerWin1251(static_cast<unsigned char>(c)));
}

// Small letters to their capitals; every other byte unchanged.
constexpr unsigned char ToUpperWin1251(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || c >= kWin1251SmallA) return static_cast<unsigned char>(c - 0x20);
    return c == kWin1251SmallYo ? kWin1251CapitalYo : c;
}

constexpr char ToUpperWin1251(char c) {
    return static_cast<char>(ToUpperWin1251(static_cast<unsigned char>(c)));
}

// Letters and digits: the characters that make up a word.
constexpr bool IsWordCharWin1251(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= '0' && byte <= '9') || IsLetterWin1251(byte);
}

// Blank, tab, line feed, form feed, carriage return.
constexpr bool IsBlankWin1251(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// The text without the blanks around it.
std::string_view TrimBlanksWin1251(std::string_view text);

// Whether two texts are the same but for letter case.
bool EqualIgnoringCaseWin1251(std::string_view a, std::string_view b);

}  // namespace tovrin
