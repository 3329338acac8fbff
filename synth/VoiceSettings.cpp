#include "synth/VoiceSettings.h"

#include "text/CodePages.h"

#include <algorithm>
#include <array>

namespace tovrin {

namespace {

// How one voice departs from the plain Russian voice: an eSpeak variant and shifts of the
// base pitch, pitch range and speed that the timbre, melody and tempo settings start from.
struct VoiceProfile {
    const char* variant;
    int pitchShift;
    int rangeShift;
    int ratePercent;
};

// Numbered voices 0..9, then the characters in the order of kVoiceNames.
constexpr std::array<VoiceProfile, kNumberedVoiceCount + kNamedVoiceCount> kProfiles = {{
    {"", 0, 0, 100},
    {"m3", -10, 0, 100},
    {"f2", 10, 0, 100},
    {"m7", 0, 5, 95},
    {"f4", 0, 5, 100},
    {"m2", 5, -5, 105},
    {"f1", -5, 0, 100},
    {"m5", -15, -5, 95},
    {"f5", 15, 10, 105},
    {"croak", 0, 0, 100},
    // kingkong, faraon, petrovich, gremlin, mouse, elfs, caban, dictor, titan, piero, captain
    {"m3", -45, -20, 90},
    {"m7", -25, -15, 85},
    {"m2", -15, 0, 90},
    {"croak", 35, 20, 115},
    {"f5", 45, 20, 120},
    {"f2", 25, 30, 105},
    {"croak", -35, -20, 95},
    {"", 0, 0, 100},
    {"m6", -49, -30, 80},
    {"m4", 30, 10, 100},
    {"m1", -15, -10, 95},
}};

// Each character answers to an English and a Russian name.
struct VoiceName {
    const char* english;
    Windows1251Text<24> russian;
};

const std::array<VoiceName, kNamedVoiceCount> kVoiceNames = {{
    {"{kingkong}", W1251<24>("{кингконг}")},
    {"{faraon}", W1251<24>("{фараон}")},
    {"{petrovich}", W1251<24>("{петрович}")},
    {"{gremlin}", W1251<24>("{гремлин}")},
    {"{mouse}", W1251<24>("{мышь}")},
    {"{elfs}", W1251<24>("{эльфы}")},
    {"{caban}", W1251<24>("{кабан}")},
    {"{dictor}", W1251<24>("{диктор}")},
    {"{titan}", W1251<24>("{титан}")},
    {"{piero}", W1251<24>("{пьеро}")},
    {"{captain}", W1251<24>("{капитан}")},
}};

// Tempo 0 is the slowest, 9 the fastest; 7, the usual setting, is eSpeak's normal speed.
constexpr std::array<int, kMaxParameter + 1> kTempoRates = {80,  95,  110, 125, 140,
                                                            155, 165, 175, 210, 260};

int TimbrePitch(int timbre) {
    return 10 + timbre * 8;
}
// Melody 0, the usual setting, is eSpeak's ordinary intonation; higher is livelier.
int MelodyRange(int melody) {
    return 50 + melody * 5;
}

}  // namespace

int ClampParameter(int value) {
    return std::clamp(value, 0, kMaxParameter);
}

EspeakSettings ToEspeakSettings(const SynthVoice& params) {
    const int voice = std::clamp(params.voice, 0, static_cast<int>(kProfiles.size()) - 1);
    const VoiceProfile& profile = kProfiles[voice];
    EspeakSettings settings;
    settings.voiceName = std::string("ru");
    if (*profile.variant != '\0') settings.voiceName += std::string("+") + profile.variant;
    settings.pitch =
        std::clamp(TimbrePitch(ClampParameter(params.timbre)) + profile.pitchShift, 0, 99);
    settings.range =
        std::clamp(MelodyRange(ClampParameter(params.melody)) + profile.rangeShift, 0, 99);
    settings.rate =
        std::clamp(kTempoRates[ClampParameter(params.tempo)] * profile.ratePercent / 100, 80, 450);
    return settings;
}

int NamedVoiceIndex(std::string_view group) {
    for (size_t i = 0; i < kVoiceNames.size(); ++i) {
        if (group == kVoiceNames[i].english || group == kVoiceNames[i].russian.view())
            return kNumberedVoiceCount + static_cast<int>(i);
    }
    return -1;
}

}  // namespace tovrin
