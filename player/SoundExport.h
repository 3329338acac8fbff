#pragma once

#include "engine/VoiceParams.h"
#include "text/PlayerOptions.h"

#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace tovrin {

class MessageBoxes;

// What saving a window's document as sound takes from the window, copied so that the window
// may go on reading and editing meanwhile.
struct SoundExportJob {
    std::string text;  // the document's bytes, in its own code page
    int32_t from = 0;  // the byte offset to start at
    PlayerOptions options;
    VoiceParams voice;  // the volume is left out: the file keeps the speech at full level
};

// Asks through `dialogs` for a sound file (.wav, .flac, .ogg, .opus or .mp3) and saves the
// job's speech into it in a worker thread, while a progress dialog over `window` shows how
// far it has come and can cancel it. A cancelled or failed export leaves no file; failures go
// to `report`. The export belongs to `window` and is cancelled when it closes.
void ExportAsSound(QWidget* window, MessageBoxes& dialogs, SoundExportJob job,
                   std::function<void(const std::string& error)> report);

}  // namespace tovrin
