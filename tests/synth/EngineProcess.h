#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Desktop.h"
#include "tests/platform/Eventually.h"

namespace tovrin::test {

// The engine program started as a real process, recording its sound into a WAV file, with
// its window and controls found on the desktop. Killed and reaped when this goes away.
class EngineProcess {
  public:
    // Starts bin/ZalLib/zalwin with TOVRIN_AUDIO=wav:<wavPath> and the arguments, and waits
    // (bounded) for its window.
    explicit EngineProcess(const std::string& wavPath, const std::vector<std::string>& args = {});
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    pid_t pid() const { return pid_; }
    WindowHandle main = kNoWindow;
    WindowHandle pane = kNoWindow;
    WindowHandle edit = kNoWindow;
    WindowHandle progress = kNoWindow;
    WindowHandle talk = kNoWindow;
    WindowHandle pause = kNoWindow;

    // Sends a command number to the main window; false when it was not answered.
    bool Command(uint64_t number) const;
    // Puts a UTF-8 text, as Windows-1251, into the edit box.
    bool SetText(const std::string& utf8) const;
    bool SetBytes(const std::string& windows1251) const;
    // The two captions in UTF-8, the progress bar.
    std::string TalkCaption() const;
    std::string PauseCaption() const;
    ScrollInfo Progress() const;
    // Sends WM_DESTROY and waits for the process to end; its exit status, or nullopt.
    std::optional<int> Destroy();
    // Waits (bounded) for the process to end by itself.
    std::optional<int> WaitForExit();
    // Still running (not ended, not yet collected).
    bool Running() const;

  private:
    pid_t pid_ = -1;
};

// Starts a program with TOVRIN_AUDIO=wav:<wavPath> and the arguments; its pid.
pid_t StartWithRecording(const std::string& program, const std::string& wavPath,
                         const std::vector<std::string>& args = {});
// The samples recorded in a WAV file written by the wave device (empty when missing).
std::vector<int16_t> RecordedSamples(const std::string& wavPath);
std::string EnginePath();

}  // namespace tovrin::test
