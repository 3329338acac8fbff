#pragma once

#include "books/Book.h"
#include "synth/SpeechExport.h"
#include "text/PlayerOptions.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tovrin {

// One chapter of the document being read: its title (UTF-8) and its byte range in the text.
struct DocumentChapter {
    std::string Title;
    size_t Begin = 0;
    size_t End = 0;
};

// The chapters of a document: a book's own, or for plain text its sections as the section
// finder sees them with the document's options, each titled by its first line.
std::vector<DocumentChapter> DocumentChapters(const std::string& text,
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
    // The byte offset to start at: chapters before it are left out, the one holding it starts
    // there; the files keep the chapters' own numbers.
    size_t From = 0;
};

// What a chapter export tells as it goes; any member may be left empty.
struct ChapterExportProgress {
    // A chapter's file is begun: its number (from 1), the number of chapters, its file name.
    std::function<void(size_t number, size_t count, const std::string& fileName)> Begun;
    // How far the chapter (0..1) and the whole export (0..1, by the text's length) have come.
    std::function<void(double chapter, double whole)> Moved;
    // A chapter's file is complete under `path`, holding `seconds` of speech.
    std::function<void(const std::string& path, double seconds)> Saved;
};

// The playlist ExportChapters writes into the request's folder.
std::string ChapterPlaylistPath(const ChapterExportRequest& request);

// Writes "NN - <title>.<ext>" per chapter into the folder (made when missing), tagged, and the
// playlist listing the finished files in order, rewritten after each one. An interruption
// leaves no unfinished file behind. False when interrupted; throws std::runtime_error when a
// file or the folder cannot be written or the text cannot be read to its end.
bool ExportChapters(const ChapterExportRequest& request, const std::string& text,
                    const std::vector<DocumentChapter>& chapters, const PlayerOptions& options,
                    const std::atomic<bool>& interrupted,
                    const ChapterExportProgress& progress = {});

}  // namespace tovrin
