#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tovrin {

// A decimal whole number that fits 32 bits, with an optional sign and blanks around it;
// nullopt for anything else (the empty text included).
std::optional<int32_t> ParseWholeNumber(std::string_view text);

// The same, throwing EngineError with the conversion message when the text is no number.
int32_t WholeNumberOrThrow(std::string_view text);

}  // namespace tovrin
