#pragma once

#include "books/DocumentLoader.h"
#include "player/PlayerDocument.h"
#include "text/PlayerOptions.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace tovrin {

// Files at least this large are read and prepared off the window's thread, and shown in the
// window piece by piece; smaller ones take the window a few milliseconds at once.
inline constexpr int64_t kBackgroundLoadBytes = int64_t{1} << 20;

// A document made ready for a player window, all but its view: what the file held (its text
// moved into Shown), the options the text analysis chose and the view text; or why the window
// cannot hold it.
struct PreparedDocument {
    OpenedDocument Opened;
    PlayerOptions Options;
    PlayerDocument::ShownText Shown;
    std::string Failure;  // the message for the user; empty when the document can be shown
};

// The message for a document a window cannot hold; `what` names it.
std::string TooLarge(const QString& what, const QString& reason);

// Options and view text for `bytes`: `base` (the defaults with the main window's text options)
// analysed for this text, and the code page the loader fixed where it did. Any thread.
void PrepareBytes(PreparedDocument& prepared, std::string bytes, int32_t loadedCodePage,
                  PlayerOptions base, bool autoCalc);
// Opens `fileName` (any document the program reads) for a window, within its limits. Any
// thread; failures come back in Failure.
PreparedDocument PrepareDocument(const std::string& fileName, const PlayerOptions& base,
                                 bool autoCalc);

// Runs a preparation on a worker thread and hands the result to `done` on the thread that
// made this object, then deletes itself. Deleted before that (with its window, or for a newer
// load), it waits for the worker and the result is dropped.
class DocumentLoad final : public QObject {
  public:
    using Work = std::function<PreparedDocument()>;
    using Done = std::function<void(PreparedDocument&)>;
    DocumentLoad(QObject* owner, Work work, Done done);
    ~DocumentLoad() override;
    DocumentLoad(const DocumentLoad&) = delete;
    DocumentLoad& operator=(const DocumentLoad&) = delete;

  private:
    void Finish();

    Work work_;
    Done done_;
    PreparedDocument result_;
    std::thread worker_;
};

}  // namespace tovrin
