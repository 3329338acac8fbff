#pragma once

#include "books/Book.h"
#include "books/ZipArchive.h"

#include <optional>
#include <string>

namespace tovrin {

enum class BookFormat { Fb2, Fb2Zip, Epub, Docx, Odt, Html, Pdf };

// What the bytes hold, judged by their content (signature, the container's own markers, the XML
// root element); nullopt for anything else, which is read as plain text. Throws BookError for a
// container that is damaged or holds no book, and for encrypted documents.
std::optional<BookFormat> DetectBookFormat(const std::string& bytes);

// Whether a file beginning with `head` (its first few kilobytes) is one DetectBookFormat
// would look into, rather than plain text. Cheap, and never throws.
bool LooksLikeBook(const std::string& head);

// Converts a file's bytes; nullopt when they are no book (plain text). Throws BookError.
std::optional<Book> ConvertBook(const std::string& bytes, const ZipLimits& limits = {});

}  // namespace tovrin
