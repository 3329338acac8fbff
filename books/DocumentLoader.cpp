#include "books/DocumentLoader.h"

#include "books/BookConverter.h"
#include "text/CodePages.h"

namespace tovrin {

OpenedDocument OpenDocumentBytes(std::string bytes, const std::string& name,
                                 const ZipLimits& limits) {
    std::optional<Book> book;
    try {
        book = ConvertBook(bytes, limits);
    } catch (const BookError& error) {
        throw BookError("Не удается открыть \"" + name + "\": " + error.what() + ".");
    }
    OpenedDocument opened;
    if (!book) {
        opened.Document = DocumentFromBytes(std::move(bytes));
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

OpenedDocument OpenDocument(const std::string& path, const ZipLimits& limits) {
    return OpenDocumentBytes(ReadDocumentBytes(path), path, limits);
}

}  // namespace tovrin
