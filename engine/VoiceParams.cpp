#include "engine/VoiceParams.h"

#include "engine/WholeNumber.h"

#include <algorithm>

namespace tovrin {

std::string FormatVoiceParams(const VoiceParams& p) {
    return std::to_string(p.Voice) + "," + std::to_string(p.Volume) + "," +
           std::to_string(p.Melody) + "," + std::to_string(p.Tempo) + "," +
           std::to_string(p.Timbre);
}

namespace {

// Takes the next field off `rest`. Without a comma the whole rest is the field and stays,
// so every later field reads it again.
int32_t TakeField(std::string& rest) {
    std::string field;
    const auto comma = rest.find(',');
    if (comma == std::string::npos) {
        field = rest;
    } else {
        field = rest.substr(0, comma);
        rest.erase(0, comma + 1);
    }
    if (field.empty()) return 0;
    return std::clamp(WholeNumberOrThrow(field), 0, 256);
}

}  // namespace

VoiceParams ParseVoiceParams(const std::string& text) {
    std::string rest = text;
    VoiceParams p;
    p.Voice = TakeField(rest);
    p.Volume = TakeField(rest);
    p.Melody = TakeField(rest);
    p.Tempo = TakeField(rest);
    p.Timbre = TakeField(rest);
    return p;
}

}  // namespace tovrin
