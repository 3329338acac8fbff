#pragma once

#include "engine/DictWorkerHost.h"
#include "platform/UniqueFd.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace tovrin {

// The eight lines of one dictionary entry: "{TALKSERVCMD}", "{IntelDictionary}", script,
// text T, text R, sound file path, fragment start, fragment end.
using DictionaryRequest = std::vector<std::string>;

constexpr size_t kDictionaryRequestLines = 8;
constexpr size_t kWaveHeaderSize = 44;

// Plays one dictionary entry as its script of steps on a thread of its own: "E" plays the
// fragment of the sound file, "R" and "T" speak the two texts, digits 1-9 ask the engine for
// a pause of 10-90 tenths. The constructor reads the request and opens the sound file,
// throwing EngineError on a short request, a bad number or a fragment that runs past the file
// or over kMaxSoundStretchBytes; Start() runs the script, which first reads the fragment's
// stretch of the file, so the caller's thread (the window's) reads no sound. The destructor
// ends the run and waits for it.
class TDictThread {
  public:
    TDictThread(DictWorkerHost& host, const DictionaryRequest& request);
    ~TDictThread();
    TDictThread(const TDictThread&) = delete;
    TDictThread& operator=(const TDictThread&) = delete;

    void Start();
    // Asks the run to end at its next wait or step; a fragment being played stops at once.
    void Terminate();
    bool Finished() const { return finished_; }

    const std::string& Script() const { return script_; }
    const std::string& SoundFileName() const { return soundFileName_; }
    // Reads the header and the fragment's stretch from the opened file into the fragment, once;
    // the run does it first. Nothing when no file was found or it shrank meanwhile.
    void ReadFragment();
    const std::vector<uint8_t>& Fragment() const { return fragment_; }

  private:
    void Run();
    bool RunStep(char step);
    bool Speak(const std::string& text);
    bool PlaySound();
    bool WaitWhile(bool (TDictThread::*condition)());
    bool DictionaryPaused() { return host_.IsDictionaryPaused(); }
    bool EngineSpeaking() { return host_.IsSpeaking(); }
    void PrepareFragment(const std::string& path, int64_t start, int64_t end);

    DictWorkerHost& host_;
    UniqueFd soundFile_;  // open until the fragment is read
    std::string soundFileName_;
    int64_t stretchStart_ = 0;
    int64_t stretchEnd_ = 0;
    std::vector<uint8_t> fragment_;
    std::array<uint8_t, kWaveHeaderSize> header_{};
    std::string script_;
    std::string textT_;
    std::string textR_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> terminated_{false};
    WaveCancel playCancel_;
    std::thread thread_;
};

}  // namespace tovrin
