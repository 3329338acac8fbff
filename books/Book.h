#pragma once

#include "text/DocumentFile.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tovrin {

// One chapter of a converted book: its title (UTF-8) and the byte offset of its first line in
// the book's text.
struct BookChapter {
    std::string Title;
    size_t Offset = 0;
};

// A book turned into the player's document text: Windows-1251, one line per paragraph, every
// line break CR LF, headings on lines of their own, chapters separated by empty lines. Title
// and author are UTF-8 (empty when the book names none).
struct Book {
    std::string Text;
    std::string Title;
    std::string Author;
    std::vector<BookChapter> Chapters;
    // Characters Windows-1251 lacks; each became "?" in Text.
    size_t UnmappedCharacters = 0;
};

// A book that cannot be converted; what() is the Russian message for the user. A kind of
// DocumentError, so that callers of the document loader catch one type.
class BookError : public DocumentError {
  public:
    using DocumentError::DocumentError;
};

}  // namespace tovrin
