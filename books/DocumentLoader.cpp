#include "books/DocumentLoader.h"

#include "books/BookConverter.h"
#include "text/CodePages.h"

#include <algorithm>

namespace tovrin {

OpenedDocument OpenDocumentBytes(std::string bytes, const std::string& name,
                                 const ZipLimits& limits, size_t textLimit) {
    std::optional<Book> book;
    try {
        book = ConvertBook(bytes, limits);
    } catch (const BookError& error) {
        throw BookError("Не удается открыть \"" + name + "\": " + error.what() + ".");
    }
    OpenedDocument opened;
    if (!book) {
        opened.Document = DocumentFromBytes(std::move(bytes), textLimit);
        return opened;
    }
    opened.IsBook = true;
    opened.Document.Text = std::move(book->Text);
    opened.Document.CodePage = kCodePageWindows;
    opened.Document.UnmappedCharacters = book->UnmappedCharacters;
    opened.Title = std::move(book->Title);
    opened.Author = std::move(book->Author);
    opened.Chapters = std::move(book->Chapters);
    return opened;
}

bool FileLooksLikeBook(const std::string& path) {
    const UniqueFd fd = OpenDocumentFile(path);
    std::string head(64 * 1024, '\0');
    head.resize(ReadDocumentPiece(fd.get(), path, head.data(), head.size()));
    return LooksLikeBook(head);
}

OpenedDocument OpenDocument(const std::string& path, const ZipLimits& limits, size_t textLimit) {
    // A book file may be far larger than its text (pictures, a PDF's pages) and is read up to
    // the book limit; a plain text beyond the caller's limit is refused before it is read.
    const size_t bookLimit = std::min(kMaxBookFileBytes, kMaxDocumentBytes);
    const size_t readLimit =
        textLimit < bookLimit && FileLooksLikeBook(path) ? bookLimit : textLimit;
    return OpenDocumentBytes(ReadDocumentBytes(path, readLimit), path, limits, textLimit);
}

}  // namespace tovrin
