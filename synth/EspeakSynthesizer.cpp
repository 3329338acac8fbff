#include "synth/EspeakSynthesizer.h"

#include <espeak-ng/speak_lib.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

namespace tovrin {

namespace {

// Length of the buffers eSpeak hands back, in milliseconds: short, so the first sound is
// ready quickly and a stop cuts in soon.
constexpr int kBufferMs = 40;

// eSpeak's callback has no context of its own here; the thread inside Synthesize sets it.
struct CallState {
    const SpeechSynthesizer::Sink* sink = nullptr;
    uint64_t frames = 0;
    std::vector<WordEvent> words;
    bool cut = false;
};
thread_local CallState* currentCall = nullptr;

// The voice eSpeak holds now; loading it again costs time, so it is only set on change.
std::string loadedVoice;

int OnSynthesized(short* samples, int frames, espeak_EVENT* events) {
    CallState* call = currentCall;
    if (call == nullptr) return 1;
    call->words.clear();
    for (espeak_EVENT* event = events; event && event->type != espeakEVENT_LIST_TERMINATED;
         ++event) {
        if (event->type == espeakEVENT_WORD && event->text_position > 0) {
            call->words.push_back({static_cast<uint64_t>(event->sample),
                                   static_cast<size_t>(event->text_position - 1)});
        }
    }
    const size_t count = samples && frames > 0 ? static_cast<size_t>(frames) : 0;
    if (count == 0 && call->words.empty()) return 0;
    if (!(*call->sink)(samples, count, call->words)) {
        call->cut = true;
        return 1;
    }
    call->frames += count;
    return 0;
}

// While it exists the sound server's address is one that fails at once. This program never
// plays through eSpeak's own device: the samples come back through the callback.
class SoundServerOutOfReach {
  public:
    SoundServerOutOfReach() {
        if (const char* server = std::getenv(kVariable)) saved_ = server;
        setenv(kVariable, "unix:/dev/null", 1);
    }
    ~SoundServerOutOfReach() {
        if (saved_) {
            setenv(kVariable, saved_->c_str(), 1);
        } else {
            unsetenv(kVariable);
        }
    }
    SoundServerOutOfReach(const SoundServerOutOfReach&) = delete;
    SoundServerOutOfReach& operator=(const SoundServerOutOfReach&) = delete;

  private:
    static constexpr const char* kVariable = "PULSE_SERVER";
    std::optional<std::string> saved_;
};

std::once_flag started;
int sampleRate = 0;

void Start() {
    sampleRate =
        espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kBufferMs, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (sampleRate > 0) espeak_SetSynthCallback(OnSynthesized);
}

int InitializeOnce() {
    std::call_once(started, Start);
    return sampleRate;
}

}  // namespace

void StartEspeakBeforeThreads() {
    std::call_once(started, [] {
        SoundServerOutOfReach silence;
        Start();
    });
}

EspeakSynthesizer::EspeakSynthesizer() : sampleRate_(InitializeOnce()) {
    if (sampleRate_ <= 0) throw std::runtime_error("Не удалось запустить eSpeak NG");
    if (!ApplySettings(EspeakSettings{}))
        throw std::runtime_error("В eSpeak NG нет русского голоса");
}

bool EspeakSynthesizer::ApplySettings(const EspeakSettings& settings) {
    if (settings.voiceName != loadedVoice) {
        if (espeak_SetVoiceByName(settings.voiceName.c_str()) != EE_OK) {
            // A variant that is missing from this installation falls back to the plain voice.
            if (espeak_SetVoiceByName("ru") != EE_OK) return false;
        }
        loadedVoice = settings.voiceName;
    }
    espeak_SetParameter(espeakRATE, settings.rate, 0);
    espeak_SetParameter(espeakPITCH, settings.pitch, 0);
    espeak_SetParameter(espeakRANGE, settings.range, 0);
    return true;
}

bool EspeakSynthesizer::Synthesize(const std::string& utf8, const EspeakSettings& settings,
                                   const Sink& sink) {
    if (!ApplySettings(settings)) return false;
    // Word events report the sample counted from the start of this call.
    CallState call;
    call.sink = &sink;
    currentCall = &call;
    const espeak_ERROR result = espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, nullptr);
    currentCall = nullptr;
    return result == EE_OK && !call.cut;
}

}  // namespace tovrin
