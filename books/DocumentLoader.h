#pragma once

#include "books/Book.h"
#include "books/ZipArchive.h"
#include "text/DocumentFile.h"

#include <string>
#include <vector>

namespace tovrin {

// A document as the player and tovrin-say open it: plain text as the document loader reads
// it, or a book converted to the same form.
struct OpenedDocument {
    LoadedDocument Document;
    bool IsBook = false;
    // Books only: title and author (UTF-8) and the chapters with their offsets in the text.
    std::string Title;
    std::string Author;
    std::vector<BookChapter> Chapters;
};

// Opens any document the program reads: FB2 (also zipped), EPUB, DOCX, ODT, HTML and PDF by
// their content, anything else as plain text through LoadDocument. Throws DocumentError (a
// BookError for a book) with the message for the user. A plain text larger than `textLimit`
// is refused with DocumentTooLarge, by its size and first bytes, before the rest is read.
OpenedDocument OpenDocument(const std::string& path, const ZipLimits& limits = {},
                            size_t textLimit = kMaxDocumentBytes);

// The same for bytes already read; `name` names the file in messages.
OpenedDocument OpenDocumentBytes(std::string bytes, const std::string& name,
                                 const ZipLimits& limits = {},
                                 size_t textLimit = kMaxDocumentBytes);

// The largest book file read whole (its text is bounded by the caller's limit).
inline constexpr size_t kMaxBookFileBytes = size_t{256} << 20;

// Whether the file's first kilobytes are those of a book format rather than of a plain text.
// Throws DocumentError when it cannot be opened or read.
bool FileLooksLikeBook(const std::string& path);

}  // namespace tovrin
