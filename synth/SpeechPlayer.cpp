#include "synth/SpeechPlayer.h"

#include "platform/WaveBackends.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace tovrin {

namespace {

// The synthesis runs at most this far ahead of the device, which bounds memory for long texts.
constexpr int kAheadSeconds = 4;
// Samples go to the device in pieces this long, so a stop or pause takes effect within one.
constexpr int kPieceMs = 20;
constexpr auto kHeardPoll = std::chrono::milliseconds(10);
// A voice change waits for the next clause when it is heard within this long, and otherwise
// begins at the next word.
constexpr int kClauseWaitMs = 800;
// A device whose played count stands still this long at the end of a speech is drained.
constexpr auto kStallLimit = std::chrono::milliseconds(500);

}  // namespace

SpeechPlayer::SpeechPlayer(std::unique_ptr<SpeechSynthesizer> synthesizer, StreamOpener openStream,
                           Listener listener)
    : synthesizer_(std::move(synthesizer)),
      openStream_(std::move(openStream)),
      listener_(std::move(listener)),
      sampleRate_(synthesizer_->SampleRate()) {
    synthesisThread_ = std::thread(&SpeechPlayer::SynthesisLoop, this);
    playbackThread_ = std::thread(&SpeechPlayer::PlaybackLoop, this);
}

SpeechPlayer::~SpeechPlayer() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    synthesisWake_.notify_all();
    playbackWake_.notify_all();
    spaceFree_.notify_all();
    synthesisThread_.join();
    playbackThread_.join();
}

uint64_t SpeechPlayer::Speak(SpeechRequest request) {
    uint64_t speech;
    {
        std::lock_guard lock(mutex_);
        speech = ++lastSpeech_;
        currentSpeech_ = speech;
        pending_ = std::move(request);
        paused_ = false;
        queue_.clear();
        queuedFrames_ = 0;
        changedVoice_.reset();
        restart_.reset();
    }
    synthesisWake_.notify_all();
    playbackWake_.notify_all();
    spaceFree_.notify_all();
    return speech;
}

void SpeechPlayer::Stop() {
    {
        std::lock_guard lock(mutex_);
        currentSpeech_ = 0;
        pending_.reset();
        paused_ = false;
        queue_.clear();
        queuedFrames_ = 0;
        changedVoice_.reset();
        restart_.reset();
    }
    playbackWake_.notify_all();
    spaceFree_.notify_all();
}

void SpeechPlayer::SetPaused(bool paused) {
    {
        std::lock_guard lock(mutex_);
        paused_ = paused;
    }
    playbackWake_.notify_all();
}

void SpeechPlayer::ChangeVoice(const SynthVoice& params) {
    {
        std::lock_guard lock(mutex_);
        if (currentSpeech_ == 0) return;
        changedVoice_ = params;
        // Without a boundary queued, the change is taken up at the next one synthesised.
        if (!CutQueueForChange()) return;
        queuedFrames_ = 0;
        for (const Block& block : queue_)
            queuedFrames_ += block.Frames();
    }
    synthesisWake_.notify_all();
    spaceFree_.notify_all();
}

namespace {

// The places in a block where synthesis may begin again, in order, that lie among its samples.
std::vector<const RenderPoint*> PointsIn(const std::optional<RenderPoint>& boundary,
                                         const std::vector<RenderPoint>& words, uint64_t frame,
                                         size_t samples) {
    std::vector<const RenderPoint*> points;
    if (boundary) points.push_back(&*boundary);
    for (const RenderPoint& word : words)
        if (word.frame >= frame && word.frame <= frame + samples) points.push_back(&word);
    return points;
}

}  // namespace

void SpeechPlayer::CutBlockAt(Block& block, RenderPoint point) {
    restart_ = point;
    block.samples.resize(static_cast<size_t>(point.frame - block.frame));
    block.silentFrames = 0;
    std::erase_if(block.marks, [&](const SpeechMark& mark) { return mark.frame >= point.frame; });
    block.boundary.reset();
    block.words.clear();
}

bool SpeechPlayer::CutQueueForChange() {
    const auto limit = static_cast<uint64_t>(sampleRate_) * kClauseWaitMs / 1000;
    uint64_t ahead = 0;
    auto wordBlock = queue_.end();
    std::optional<RenderPoint> word;
    for (auto it = queue_.begin(); it != queue_.end(); ahead += it->Frames(), ++it) {
        if (it->speech != currentSpeech_) continue;
        for (const RenderPoint* point :
             PointsIn(it->boundary, it->words, it->frame, it->samples.size())) {
            const bool soon = ahead + (point->frame - it->frame) <= limit;
            // The next clause when it is heard soon, else the next word.
            if (point->clause && (soon || !word)) {
                CutBlockAt(*it, *point);
                queue_.erase(std::next(it), queue_.end());
                return true;
            }
            if (!word) {
                word = *point;
                wordBlock = it;
            }
            if (!soon) break;
        }
        if (word && ahead > limit) break;
    }
    if (!word) return false;
    CutBlockAt(*wordBlock, *word);
    queue_.erase(std::next(wordBlock), queue_.end());
    return true;
}

bool SpeechPlayer::IsCurrent(uint64_t speech) {
    std::lock_guard lock(mutex_);
    return currentSpeech_ == speech && !quit_;
}

// ---- synthesis thread ----

void SpeechPlayer::SynthesisLoop() {
    SpeechRequest request;
    uint64_t speech = 0;
    for (;;) {
        std::optional<RenderPoint> from;
        {
            std::unique_lock lock(mutex_);
            synthesisWake_.wait(lock, [&] {
                return quit_ || pending_.has_value() || (restart_ && currentSpeech_ == speech);
            });
            if (quit_) return;
            if (pending_) {
                request = std::move(*pending_);
                pending_.reset();
                speech = currentSpeech_;
            } else {
                from = TakeRestart(request);
            }
        }
        RunScript(speech, request, from);
    }
}

RenderPoint SpeechPlayer::TakeRestart(SpeechRequest& request) {
    RenderPoint point = *restart_;
    restart_.reset();
    const SynthVoice changed = changedVoice_.value_or(request.params);
    changedVoice_.reset();
    // A parameter the change leaves alone keeps what the text's commands made of it.
    const auto take = [&](int SynthVoice::*field) {
        if (changed.*field != request.params.*field) point.params.*field = changed.*field;
    };
    take(&SynthVoice::voice);
    take(&SynthVoice::timbre);
    take(&SynthVoice::tempo);
    take(&SynthVoice::melody);
    request.params = changed;
    return point;
}

void SpeechPlayer::RunScript(uint64_t speech, const SpeechRequest& request,
                             const std::optional<RenderPoint>& from) {
    bool whole = false;
    try {
        whole = RenderInto(speech, request, from);
    } catch (const std::exception& error) {
        // A text the synthesizer fails on (memory, eSpeak) ends as a spoken one would: the
        // engine program goes on serving instead of ending.
        std::fprintf(stderr, "zalwin: %s\n", error.what());
        whole = IsCurrent(speech);
    }
    if (!whole) return;
    Block end;
    end.speech = speech;
    end.end = true;
    PushBlock(std::move(end));
}

bool SpeechPlayer::RenderInto(uint64_t speech, const SpeechRequest& request,
                              const std::optional<RenderPoint>& from) {
    SpeechRenderer renderer(*synthesizer_);
    return renderer.Render(
        request,
        [&](const SpeechPiece& piece) {
            if (!IsCurrent(speech)) return false;  // stopped or replaced: no more synthesis
            Block block;
            block.speech = speech;
            if (piece.samples) {
                block.samples.assign(piece.samples, piece.samples + piece.frames);
            } else {
                block.silentFrames = piece.frames;
            }
            block.marks = piece.marks;
            block.boundary = piece.boundary;
            block.words = piece.words;
            block.frame = piece.frame;
            return PushBlock(std::move(block));
        },
        from);
}

bool SpeechPlayer::PushBlock(Block block) {
    const size_t limit = static_cast<size_t>(sampleRate_) * kAheadSeconds;
    std::unique_lock lock(mutex_);
    // A change that found no boundary queued begins at the first one synthesised after it;
    // the sound before it in this block is still played.
    if (changedVoice_ && !restart_ && currentSpeech_ == block.speech) {
        const auto points =
            PointsIn(block.boundary, block.words, block.frame, block.samples.size());
        if (!points.empty()) {
            CutBlockAt(block, *points.front());
            queuedFrames_ += block.Frames();
            queue_.push_back(std::move(block));
            playbackWake_.notify_all();
            return false;
        }
    }
    spaceFree_.wait(lock, [&] {
        return quit_ || currentSpeech_ != block.speech || restart_ || queuedFrames_ < limit;
    });
    if (quit_ || currentSpeech_ != block.speech || restart_) return false;
    queuedFrames_ += block.Frames();
    queue_.push_back(std::move(block));
    playbackWake_.notify_all();
    return true;
}

// ---- playback thread ----

void SpeechPlayer::PlaybackLoop() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (playingSpeech_ != 0 && playingSpeech_ != currentSpeech_) {
            // Stopped or replaced: silence the device at once.
            lock.unlock();
            AbandonSpeech();
            lock.lock();
            continue;
        }
        if (!queue_.empty()) {
            Block block = std::move(queue_.front());
            queue_.pop_front();
            queuedFrames_ -= std::min(queuedFrames_, block.Frames());
            spaceFree_.notify_all();
            lock.unlock();
            PlayBlock(block);
            lock.lock();
            continue;
        }
        if (playingSpeech_ != 0) {
            // Synthesis is behind; keep following what the device plays meanwhile.
            playbackWake_.wait_for(lock, kHeardPoll);
            const uint64_t speech = playingSpeech_;
            lock.unlock();
            if (WaitWhilePaused(speech)) ReportProgress(speech);
            lock.lock();
            continue;
        }
        playbackWake_.wait(lock, [this] {
            return quit_ || !queue_.empty() ||
                   (playingSpeech_ != 0 && playingSpeech_ != currentSpeech_);
        });
    }
    lock.unlock();
    if (playingSpeech_ != 0) AbandonSpeech();
    stream_.reset();
}

void SpeechPlayer::EnsureStream() {
    if (stream_) return;
    const PcmFormat format{sampleRate_, 1};
    if (openStream_) stream_ = openStream_(format);
    // Without a device the silent sink still keeps time, so pauses, progress and the end of
    // speech behave as with a sound card.
    if (!stream_) stream_ = OpenNullStream(format, CurrentWaveClock());
}

void SpeechPlayer::AbandonSpeech() {
    stream_->Flush();
    if (streamPaused_) {
        stream_->Resume();
        streamPaused_ = false;
    }
    playingSpeech_ = 0;
    tracker_.Reset();
}

void SpeechPlayer::PlayBlock(const Block& block) {
    if (block.speech != playingSpeech_) {
        if (playingSpeech_ != 0) AbandonSpeech();
        EnsureStream();
        playingSpeech_ = block.speech;
        framesAtStart_ = stream_->FramesPlayed();
        framesWritten_ = 0;
        lastPosition_ = UINT32_MAX;
        tracker_.Reset();
    }
    for (const SpeechMark& mark : block.marks)
        tracker_.AddMark(mark.frame, mark.position);
    if (block.end) {
        WaitUntilHeard(block.speech);
        return;
    }
    const size_t pieceFrames = static_cast<size_t>(sampleRate_) * kPieceMs / 1000;
    const std::vector<int16_t> silence(block.samples.empty() ? pieceFrames : 0, 0);
    for (size_t at = 0; at < block.Frames(); at += pieceFrames) {
        if (!WaitWhilePaused(block.speech)) return;
        const size_t frames = std::min(pieceFrames, block.Frames() - at);
        stream_->Write(block.samples.empty() ? silence.data() : block.samples.data() + at, frames);
        framesWritten_ += frames;
        ReportProgress(block.speech);
    }
}

bool SpeechPlayer::WaitWhilePaused(uint64_t speech, bool* waited) {
    std::unique_lock lock(mutex_);
    if (quit_ || currentSpeech_ != speech) return false;
    if (paused_) {
        if (waited) *waited = true;
        lock.unlock();
        if (!streamPaused_) {
            stream_->Pause();
            streamPaused_ = true;
        }
        lock.lock();
        playbackWake_.wait(lock, [&] { return quit_ || !paused_ || currentSpeech_ != speech; });
        // A speech stopped while paused is flushed before the device runs again.
        if (quit_ || currentSpeech_ != speech) return false;
    }
    lock.unlock();
    if (streamPaused_) {
        stream_->Resume();
        streamPaused_ = false;
    }
    return true;
}

uint64_t SpeechPlayer::FramesHeard() const {
    const uint64_t played = stream_->FramesPlayed();
    return played > framesAtStart_ ? played - framesAtStart_ : 0;
}

void SpeechPlayer::WaitUntilHeard(uint64_t speech) {
    using Clock = std::chrono::steady_clock;
    uint64_t lastHeard = FramesHeard();
    auto movedAt = Clock::now();
    for (;;) {
        bool waited = false;
        if (!WaitWhilePaused(speech, &waited)) return;
        if (waited) movedAt = Clock::now();
        ReportProgress(speech);
        const uint64_t heard = FramesHeard();
        if (heard >= framesWritten_) break;
        if (heard != lastHeard) {
            lastHeard = heard;
            movedAt = Clock::now();
        } else if (Clock::now() - movedAt > kStallLimit) {
            // Some devices only start the last short stretch when asked to drain.
            stream_->Drain();
            break;
        }
        std::unique_lock lock(mutex_);
        playbackWake_.wait_for(lock, kHeardPoll,
                               [&] { return quit_ || paused_ || currentSpeech_ != speech; });
    }
    {
        std::lock_guard lock(mutex_);
        if (currentSpeech_ != speech) return;
        currentSpeech_ = 0;
    }
    playingSpeech_ = 0;
    tracker_.Reset();
    if (listener_.finished) listener_.finished(speech);
}

void SpeechPlayer::ReportProgress(uint64_t speech) {
    const uint32_t position = tracker_.Advance(FramesHeard());
    if (position == lastPosition_) return;
    lastPosition_ = position;
    if (listener_.progress) listener_.progress(speech, position);
}

}  // namespace tovrin
