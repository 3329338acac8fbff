#pragma once

#include "books/BookWriter.h"

#include <QString>

namespace tovrin {

// Walks an XHTML document into a book: block elements become lines, h1-h6 headings (h1 and h2
// open chapters), and footnotes, asides, scripts and styles are left out. Throws BookError.
// Returns the text of the document's <title>.
QString WalkXhtml(const QString& text, BookWriter& writer);

}  // namespace tovrin
