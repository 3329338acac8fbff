#pragma once

#include <cstdint>
#include <string>

namespace tovrin {

// The five voice parameters. Their text form lists them in the order voice, volume, melody,
// tempo, timbre: "0,85,0,7,5" for the defaults.
struct VoiceParams {
    int32_t Voice = 0;   // 0..9
    int32_t Timbre = 0;  // 0..9
    int32_t Tempo = 0;   // 0..9
    int32_t Melody = 0;  // 0..9
    int32_t Volume = 0;  // 0..255

    bool operator==(const VoiceParams&) const = default;
};

std::string FormatVoiceParams(const VoiceParams& params);

// Reads the text form. A text with fewer fields gives its last field to all the remaining
// ones; an empty field is 0; every value is clamped to 0..256. Throws EngineError when a
// field is not a whole number.
VoiceParams ParseVoiceParams(const std::string& text);

}  // namespace tovrin
