#pragma once

#include "books/Book.h"
#include "synth/SpeechExport.h"
#include "text/PlayerOptions.h"

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tovrin {

// One chapter of the document being read: its title (UTF-8) and its byte range in the text.
struct SayChapter {
    std::string Title;
    size_t Begin = 0;
    size_t End = 0;
};

// The chapters of a document: a book's own, or for plain text its sections as the section
// finder sees them with the document's options, each titled by its first line.
std::vector<SayChapter> DocumentChapters(const std::string& text,
                                         const std::vector<BookChapter>& bookChapters,
                                         const PlayerOptions& options);

// A chapter title made into a file name part: no folder separators, control or reserved
// characters, no leading dot, at most 100 bytes of UTF-8; `fallback` when nothing is left.
std::string SafeFileName(const std::string& title, const std::string& fallback);

// The sound file type --format names (ogg, opus, mp3, flac, wav); nullopt for any other.
std::optional<AudioFileType> ChapterFileType(const std::string& format);

// What writing a book as one sound file per chapter needs besides the text.
struct ChapterExportRequest {
    std::string Folder;
    ExportSettings Voice;  // the voice, type and engine folder; the path and tags are set here
    std::string BookTitle;
    std::string Author;
};

// Writes "NN - <title>.<ext>" per chapter into the folder, tagged, and "<book>.m3u8" listing
// the finished files in order, rewritten after each one; reports each chapter on standard error.
// An interruption leaves no unfinished file behind. False when interrupted.
bool ExportChapters(const ChapterExportRequest& request, const std::string& text,
                    const std::vector<SayChapter>& chapters, const PlayerOptions& options,
                    const std::atomic<bool>& interrupted);

}  // namespace tovrin
