#include "synth/Win1251Letters.h"

namespace tovrin {

namespace {
constexpr unsigned char kCapitalYo = 0xA8;
constexpr unsigned char kSmallYo = 0xB8;
constexpr unsigned char kCapitalA = 0xC0;
constexpr unsigned char kCapitalYa = 0xDF;
}  // namespace

char ToLowerWin1251(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 'A' && byte <= 'Z') return static_cast<char>(byte + 32);
    if (byte >= kCapitalA && byte <= kCapitalYa) return static_cast<char>(byte + 32);
    if (byte == kCapitalYo) return static_cast<char>(kSmallYo);
    return c;
}

bool IsWordCharWin1251(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= 'a' && byte <= 'z') || byte >= kCapitalA || byte == kCapitalYo ||
           byte == kSmallYo;
}

bool IsBlankWin1251(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

std::string_view TrimBlanksWin1251(std::string_view text) {
    while (!text.empty() && IsBlankWin1251(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlankWin1251(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace tovrin
