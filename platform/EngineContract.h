#pragma once

#include <cstdint>
#include <string_view>

namespace tovrin {

// What the controller and the speech engine program rely on of each other: the engine's
// window and controls as found on the desktop, the captions read back from its buttons, the
// command numbers sent to it, and the win.ini sections and keys the controller writes for it.
// The engine program, the controller and the tests' stand-in engine all take them from here.

// The argument a controller starts the engine program with: such an engine ends by itself
// once no controller is left to use it (see synth/ControllerWatch.h). "=<milliseconds>"
// after it sets how long it waits first. An engine started by hand has no such argument.
inline constexpr std::string_view kEngineControlledArgument = "--controlled";

// Classes: the main window; in it the client pane holding the edit box, the progress bar and
// the talk and pause buttons, in this order.
inline constexpr const char* kEngineWindowClass = "Speech Synthesizer";
inline constexpr const char* kEnginePaneClass = "Pane";
inline constexpr const char* kEngineEditClass = "Edit";
inline constexpr const char* kEngineProgressClass = "ScrollBar";
inline constexpr const char* kEngineButtonClass = "Button";

// Button captions in Windows-1251: talk button idle / speaking, pause button idle / paused.
inline constexpr std::string_view kEngineCaptionTalk =
    "\xC3\xEE\xE2\xEE\xF0\xE8\xF2\xFC";                                          // Говорить
inline constexpr std::string_view kEngineCaptionStop = "\xD1\xF2\xEE\xEF";       // Стоп
inline constexpr std::string_view kEngineCaptionPause = "\xCF\xE0\xF3\xE7\xE0";  // Пауза
inline constexpr std::string_view kEngineCaptionResume =
    "\xCF\xF0\xEE\xE4\xEE\xEB\xE6\xE8\xF2\xFC";  // Продолжить
// The same captions of an English engine.
inline constexpr std::string_view kEngineCaptionTalkEnglish = "Talk";
inline constexpr std::string_view kEngineCaptionStopEnglish = "Stop";
inline constexpr std::string_view kEngineCaptionPauseEnglish = "Pause";
inline constexpr std::string_view kEngineCaptionResumeEnglish = "Resume";

// Once its wave device has failed (a recording that cannot be created or written, a device
// name that names none), the engine adds this mark and the failure to its main window's
// caption, so that a controller can report the failure rather than a speech nobody heard.
inline constexpr std::string_view kEngineFailureMark = " -- wave device failed: ";

// Commands (WM_COMMAND wParam). A voice parameter's value n (0..9) is added to its base.
inline constexpr uint32_t kCommandTalk = 301;   // speak the edit box's text; stop while speaking
inline constexpr uint32_t kCommandPause = 302;  // pause / resume
inline constexpr uint32_t kCommandSpy = 304;    // speak each new clipboard text, on / off
inline constexpr uint32_t kCommandTimbre = 141;
inline constexpr uint32_t kCommandTempo = 151;
inline constexpr uint32_t kCommandMelody = 161;
inline constexpr uint32_t kCommandVoice = 171;

// win.ini: the host's section and the engine's own.
inline constexpr const char* kHostSection = "Keldworth";
inline constexpr const char* kHostKeyFiles = "Files";
inline constexpr const char* kHostKeyUserName = "UserName";
inline constexpr const char* kHostKeyWorkingDirectory = "WorkingDirectory";
inline constexpr const char* kHostKeyMacro = "Macro";
inline constexpr const char* kHostKeyEngine = "Engine";
inline constexpr const char* kEngineSection = "ZalSynthes";
inline constexpr const char* kEngineKeyDictionary = "Path";  // the pronunciation dictionary
inline constexpr const char* kEngineKeyStartupFile = "StartupFile";
inline constexpr const char* kEngineKeyStrFile = "StrFile";

}  // namespace tovrin
