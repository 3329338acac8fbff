#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tovrin {

// Longest pause one wait command may ask for, in tenths of a second.
inline constexpr int kMaxPauseTenths = 600;

// One thing the engine does for a text: speak a stretch of it, pause, play a sound file, or
// change a voice parameter for the rest of the text.
struct ScriptStep {
    enum class Kind { Speak, Pause, PlayFile, Voice, Timbre, Tempo, Melody };

    Kind kind = Kind::Speak;
    // Speak: the words, Windows-1251; PlayFile: the file name as written in the braces.
    std::string text;
    // Speak: for every byte of `text`, the offset in the original text it stands for.
    std::vector<uint32_t> origins;
    // Offset in the original text where the step begins.
    uint32_t origin = 0;
    // Pause: tenths of a second; Voice: voice index; Timbre, Tempo, Melody: 0..9.
    int value = 0;
};

// Splits a Windows-1251 text into steps. Brace groups are the engine's commands: pauses,
// voice names, parameter settings and sound files act, every other group is silent. The
// placeholders "??:??" and "??.??" are spoken as the time and the date of `now`. An
// unbalanced brace, or a group too long to be a command, is read as text. The text ends at
// its first zero byte.
std::vector<ScriptStep> ParseSpeechScript(std::string_view text, const std::tm& now);

}  // namespace tovrin
