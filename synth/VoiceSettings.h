#pragma once

#include <string>
#include <string_view>

namespace tovrin {

// The ten numbered voices of the voice command, then the character voices named in braces.
inline constexpr int kNumberedVoiceCount = 10;
inline constexpr int kNamedVoiceCount = 11;
inline constexpr int kMaxParameter = 9;

// What the engine is told to speak with: voice index (0..9 numbered, 10.. named characters)
// and timbre, tempo and melody, each 0..9. Named apart from the controller's VoiceParams:
// programs that link both libraries must not meet two different types of one name.
struct SynthVoice {
    int voice = 0;
    int timbre = 5;
    int tempo = 7;
    int melody = 0;
    bool operator==(const SynthVoice&) const = default;
};

// The same, as eSpeak NG takes it.
struct EspeakSettings {
    std::string voiceName;  // "ru" or "ru+<variant>"
    int rate = 175;         // words per minute, 80..450
    int pitch = 50;         // 0..99
    int range = 50;         // 0..99
    bool operator==(const EspeakSettings&) const = default;
};

// Clamps a command value to 0..9.
int ClampParameter(int value);

EspeakSettings ToEspeakSettings(const SynthVoice& params);

// Index of the character voice whose brace name (normalised: lower case, no blanks, braces
// included, English or Russian form in Windows-1251) is `group`; -1 for none.
int NamedVoiceIndex(std::string_view group);

}  // namespace tovrin
