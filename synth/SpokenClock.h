#pragma once

#include <ctime>
#include <string>

namespace tovrin {

// The words the engine says for its two placeholders, in Windows-1251: the time of day
// ("четырнадцать часов пять минут") and the date ("седьмое декабря").
std::string SpokenTime(const std::tm& now);
std::string SpokenDate(const std::tm& now);

}  // namespace tovrin
