#include "tools/TextToolOptions.h"

#include "text/CodePages.h"

#include <charconv>
#include <limits>

namespace tovrin {

namespace {

template <typename... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <typename... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

const PlayerOptionField* FieldNamed(std::string_view name) {
    for (const PlayerOptionField& field : PlayerOptionFields())
        if (name == field.Name) return &field;
    return nullptr;
}

std::string SetInteger(int32_t& target, std::string_view value) {
    int64_t parsed = 0;
    if (!ParseDecimal(value, std::numeric_limits<int32_t>::min(),
                      std::numeric_limits<int32_t>::max(), parsed))
        return "is not a 32-bit decimal integer";
    target = static_cast<int32_t>(parsed);
    return {};
}

std::string SetBoolean(bool& target, std::string_view value) {
    if (value == "true") {
        target = true;
    } else if (value == "false") {
        target = false;
    } else {
        return "is not true or false";
    }
    return {};
}

}  // namespace

const std::vector<PlayerOptionField>& PlayerOptionFields() {
    using P = PlayerOptions;
    static const std::vector<PlayerOptionField> fields = {
        {"ReadingType", &P::ReadingType}, {"CodePage", &P::CodePage},
        {"Dcd_pH", &P::Dcd_pH},           {"Dcd_NoPeren", &P::Dcd_NoPeren},
        {"Dcd_NoUdar", &P::Dcd_NoUdar},   {"Dcd_NoCommand", &P::Dcd_NoCommand},
        {"Dcd_NoChar", &P::Dcd_NoChar},   {"AbzType", &P::AbzType},
        {"AbzBeg", &P::AbzBeg},           {"AbzBegP", &P::AbzBegP},
        {"AbzBegPause", &P::AbzBegPause}, {"AbzEnd", &P::AbzEnd},
        {"AbzEndP", &P::AbzEndP},         {"AbzEndPause", &P::AbzEndPause},
        {"AbzNoEndP", &P::AbzNoEndP},     {"RazdType", &P::RazdType},
        {"RazdEmpt", &P::RazdEmpt},       {"RazdKey", &P::RazdKey},
        {"BlockSize", &P::BlockSize},     {"BlockOrgAbz", &P::BlockOrgAbz},
        {"BlockSelAbz", &P::BlockSelAbz}, {"BlockPack", &P::BlockPack},
        {"BlockMsg", &P::BlockMsg},       {"DictScript", &P::DictScript},
        {"DictOver", &P::DictOver},       {"DictRep", &P::DictRep},
    };
    return fields;
}

std::string SetPlayerOption(PlayerOptions& options, std::string_view assignment) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string_view::npos)
        return "--set expects FIELD=VALUE, got \"" + std::string(assignment) + "\"";
    const std::string_view name = assignment.substr(0, equals);
    const std::string_view value = assignment.substr(equals + 1);
    const PlayerOptionField* field = FieldNamed(name);
    if (!field) return "unknown option field \"" + std::string(name) + "\"";
    const std::string problem = std::visit(
        Overloaded{
            [&](int32_t PlayerOptions::*member) { return SetInteger(options.*member, value); },
            [&](bool PlayerOptions::*member) { return SetBoolean(options.*member, value); },
            [&](std::string PlayerOptions::*member) {
                options.*member = Utf8ToWindows1251(value);
                return std::string();
            },
        },
        field->Member);
    if (problem.empty()) return {};
    return "value \"" + std::string(value) + "\" of " + std::string(name) + " " + problem;
}

bool ParseDecimal(std::string_view text, int64_t minimum, int64_t maximum, int64_t& value) {
    // from_chars accepts no plus sign and no blanks, which is the strictness wanted here.
    const char* first = text.data();
    const char* last = text.data() + text.size();
    int64_t parsed = 0;
    const auto [stop, error] = std::from_chars(first, last, parsed);
    if (text.empty() || error != std::errc() || stop != last) return false;
    if (parsed < minimum || parsed > maximum) return false;
    value = parsed;
    return true;
}

}  // namespace tovrin
