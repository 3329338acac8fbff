#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "text/PlayerOptions.h"

namespace tovrin {

// One field of PlayerOptions, reachable by its name from the command line.
struct PlayerOptionField {
    const char* Name;
    std::variant<int32_t PlayerOptions::*, bool PlayerOptions::*, std::string PlayerOptions::*>
        Member;
};

// Every field of PlayerOptions in the record's own order.
const std::vector<PlayerOptionField>& PlayerOptionFields();

// Applies one "FIELD=VALUE" assignment: integers in decimal, booleans "true" or "false",
// strings as UTF-8 (stored as Windows-1251). Returns an empty string on success, otherwise
// what was wrong with the assignment.
std::string SetPlayerOption(PlayerOptions& options, std::string_view assignment);

// Strict decimal conversion: an optional minus sign and digits only, within the range.
bool ParseDecimal(std::string_view text, int64_t minimum, int64_t maximum, int64_t& value);

}  // namespace tovrin
