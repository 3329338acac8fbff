#include "synth/SpokenClock.h"

#include "text/CodePages.h"

#include <array>

namespace tovrin {

namespace {

enum class Gender { Masculine, Feminine };

constexpr std::array<const char*, 20> kUnits = {
    "ноль",       "один",        "два",        "три",          "четыре",
    "пять",       "шесть",       "семь",       "восемь",       "девять",
    "десять",     "одиннадцать", "двенадцать", "тринадцать",   "четырнадцать",
    "пятнадцать", "шестнадцать", "семнадцать", "восемнадцать", "девятнадцать"};
constexpr std::array<const char*, 6> kTens = {"", "", "двадцать", "тридцать", "сорок", "пятьдесят"};

// 0..59 in words; one and two agree with the noun that follows.
std::string NumberWords(int n, Gender gender) {
    auto unitWord = [gender](int unit) -> std::string {
        if (gender == Gender::Feminine && unit == 1) return "одна";
        if (gender == Gender::Feminine && unit == 2) return "две";
        return kUnits[unit];
    };
    if (n < 20) return unitWord(n);
    std::string words = kTens[n / 10];
    if (n % 10 != 0) words += " " + unitWord(n % 10);
    return words;
}

// Russian plural: 1 and 21 take the first form, 2-4 the second, the rest the third.
const char* PluralForm(int n, const char* one, const char* few, const char* many) {
    const int lastTwo = n % 100;
    const int last = n % 10;
    if (lastTwo >= 11 && lastTwo <= 14) return many;
    if (last == 1) return one;
    if (last >= 2 && last <= 4) return few;
    return many;
}

constexpr std::array<const char*, 20> kDayOrdinals = {"",
                                                      "первое",
                                                      "второе",
                                                      "третье",
                                                      "четвёртое",
                                                      "пятое",
                                                      "шестое",
                                                      "седьмое",
                                                      "восьмое",
                                                      "девятое",
                                                      "десятое",
                                                      "одиннадцатое",
                                                      "двенадцатое",
                                                      "тринадцатое",
                                                      "четырнадцатое",
                                                      "пятнадцатое",
                                                      "шестнадцатое",
                                                      "семнадцатое",
                                                      "восемнадцатое",
                                                      "девятнадцатое"};
constexpr std::array<const char*, 12> kMonthsGenitive = {
    "января", "февраля", "марта",    "апреля",  "мая",    "июня",
    "июля",   "августа", "сентября", "октября", "ноября", "декабря"};

std::string DayWords(int day) {
    if (day < 20) return kDayOrdinals[day];
    if (day == 20) return "двадцатое";
    if (day == 30) return "тридцатое";
    return std::string(kTens[day / 10]) + " " + kDayOrdinals[day % 10];
}

}  // namespace

std::string SpokenTime(const std::tm& now) {
    const int hours = now.tm_hour < 0 || now.tm_hour > 23 ? 0 : now.tm_hour;
    const int minutes = now.tm_min < 0 || now.tm_min > 59 ? 0 : now.tm_min;
    std::string words =
        NumberWords(hours, Gender::Masculine) + " " + PluralForm(hours, "час", "часа", "часов");
    words += " " + NumberWords(minutes, Gender::Feminine) + " " +
             PluralForm(minutes, "минута", "минуты", "минут");
    return Utf8ToWindows1251(words);
}

std::string SpokenDate(const std::tm& now) {
    const int day = now.tm_mday < 1 || now.tm_mday > 31 ? 1 : now.tm_mday;
    const int month = now.tm_mon < 0 || now.tm_mon > 11 ? 0 : now.tm_mon;
    return Utf8ToWindows1251(DayWords(day) + " " + kMonthsGenitive[month]);
}

}  // namespace tovrin
