#pragma once

#include <string_view>

namespace tovrin {

// Letter rules of Windows-1251 text, the engine's input code page.

// Latin A-Z, Cyrillic А-Я and Ё to their small forms; every other byte unchanged.
char ToLowerWin1251(char c);

// Letters (Latin, Cyrillic, ё) and digits: the characters that make up a word.
bool IsWordCharWin1251(char c);

// Blank, tab, line feed, form feed, carriage return.
bool IsBlankWin1251(char c);

// The text without the blanks around it.
std::string_view TrimBlanksWin1251(std::string_view text);

}  // namespace tovrin
