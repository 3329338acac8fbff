#pragma once

#include "engine/VoiceParams.h"
#include "text/PlayerOptions.h"

#include <cstdint>
#include <functional>
#include <string>

class QString;
class QWidget;

namespace tovrin {

class MessageBoxes;

// What saving a window's document as sound takes from the window, copied so that the window
// may go on reading and editing meanwhile.
struct SoundExportJob {
    std::string text;   // the document's bytes, in its own code page
    int32_t caret = 0;  // the caret's byte offset: the export starts here or at the start
    PlayerOptions options;
    VoiceParams voice;     // the volume is left out: the file keeps the speech at full level
    std::string fileName;  // the document's file; empty for a new document
    std::string bookFile;  // the book the text was converted from, if any
};

// What the window hears of an export: failures, and the line for its status panel.
struct SoundExportReports {
    std::function<void(const std::string& error)> error;
    std::function<void(const QString& text)> status;
};

// Asks through `dialogs` whether to save the job's speech as one sound file (.wav, .flac, .ogg,
// .opus or .mp3) or as one file per chapter with a playlist in a folder, and whether from the
// start of the document or from the caret; then saves it in a worker thread while a progress
// dialog over `window` shows how far it has come and can cancel it. A cancelled or failed
// export leaves no unfinished file. When it has finished it says so in the status panel and,
// where the desktop has a notification service, in a notification. The export belongs to
// `window` and is cancelled when it closes.
void ExportAsSound(QWidget* window, MessageBoxes& dialogs, SoundExportJob job,
                   SoundExportReports reports);

}  // namespace tovrin
