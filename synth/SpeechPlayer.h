#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/WaveDevice.h"
#include "synth/ProgressTracker.h"
#include "synth/SpeechRenderer.h"
#include "synth/SpeechSynthesizer.h"

namespace tovrin {

// Speaks texts off the caller's thread. A synthesis thread owns the synthesizer and runs a
// few seconds ahead; a playback thread owns the sound stream, writes to it and follows what
// has been heard. The caller is told of progress and of the end through the listener, from
// the playback thread.
class SpeechPlayer {
  public:
    using StreamOpener = std::function<std::unique_ptr<PcmStream>(const PcmFormat&)>;
    struct Listener {
        // The offset in the text of the word being heard now.
        std::function<void(uint64_t speech, uint32_t position)> progress;
        // The speech has played to its end (not sent for a stopped speech).
        std::function<void(uint64_t speech)> finished;
    };

    SpeechPlayer(std::unique_ptr<SpeechSynthesizer> synthesizer, StreamOpener openStream,
                 Listener listener);
    ~SpeechPlayer();
    SpeechPlayer(const SpeechPlayer&) = delete;
    SpeechPlayer& operator=(const SpeechPlayer&) = delete;

    // Stops what is playing and starts the request; returns the speech's number.
    uint64_t Speak(SpeechRequest request);
    // Ends the current speech at once; what was queued for the device is dropped.
    void Stop();
    void SetPaused(bool paused);
    // New voice parameters for the speech being spoken, heard from its next clause or sentence,
    // or from its next word when the clause goes on for long: what is synthesised ahead from
    // there on is dropped and synthesised again. Parameters a command in the text set keep
    // their value where this change leaves them as they were.
    void ChangeVoice(const SynthVoice& params);

  private:
    struct Block {
        uint64_t speech = 0;
        std::vector<int16_t> samples;
        size_t silentFrames = 0;  // a pause: this many frames of silence instead of samples
        std::vector<SpeechMark> marks;
        std::optional<RenderPoint> boundary;  // where synthesis may begin again
        std::vector<RenderPoint> words;       // the same at the words starting in the block
        uint64_t frame = 0;                   // of the first sample, from the speech's start
        bool end = false;
        size_t Frames() const { return samples.size() + silentFrames; }
    };

    // Synthesis thread.
    void SynthesisLoop();
    // The restart point with the changed parameters applied; request.params becomes the new
    // base. Called with the mutex held.
    RenderPoint TakeRestart(SpeechRequest& request);
    void RunScript(uint64_t speech, const SpeechRequest& request,
                   const std::optional<RenderPoint>& from);
    // False when the speech was stopped, replaced or is to restart before its end.
    bool RenderInto(uint64_t speech, const SpeechRequest& request,
                    const std::optional<RenderPoint>& from);
    bool PushBlock(Block block);
    bool IsCurrent(uint64_t speech);
    // Where a voice change begins in the queue: the first clause boundary, when it is heard
    // soon, else the first word boundary. Cuts the queue there; false when it has neither.
    // Called with the mutex held.
    bool CutQueueForChange();
    // Keeps of a block only the sound before `point` and has synthesis begin again there
    // (`point` is a copy: it may lie in the block).
    void CutBlockAt(Block& block, RenderPoint point);

    // Playback thread.
    void PlaybackLoop();
    void PlayBlock(const Block& block);
    // Holds while paused (the device paused too); false when the speech is no longer current.
    bool WaitWhilePaused(uint64_t speech, bool* waited = nullptr);
    void WaitUntilHeard(uint64_t speech);
    void AbandonSpeech();
    uint64_t FramesHeard() const;
    void ReportProgress(uint64_t speech);
    void EnsureStream();

    std::unique_ptr<SpeechSynthesizer> synthesizer_;
    StreamOpener openStream_;
    Listener listener_;
    const int sampleRate_;

    std::mutex mutex_;
    std::condition_variable synthesisWake_;
    std::condition_variable playbackWake_;
    std::condition_variable spaceFree_;
    uint64_t currentSpeech_ = 0;
    uint64_t lastSpeech_ = 0;
    std::optional<SpeechRequest> pending_;
    std::deque<Block> queue_;
    size_t queuedFrames_ = 0;
    bool paused_ = false;
    bool quit_ = false;
    // A voice change: synthesis of the current speech begins again at restart_, or, while no
    // boundary is queued, at the next boundary it reaches.
    std::optional<SynthVoice> changedVoice_;
    std::optional<RenderPoint> restart_;

    // Owned by the playback thread.
    std::unique_ptr<PcmStream> stream_;
    bool streamPaused_ = false;
    uint64_t playingSpeech_ = 0;  // 0: nothing on the device
    uint64_t framesAtStart_ = 0;
    uint64_t framesWritten_ = 0;
    uint32_t lastPosition_ = 0;
    ProgressTracker tracker_;

    std::thread synthesisThread_;
    std::thread playbackThread_;
};

}  // namespace tovrin
