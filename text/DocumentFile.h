#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace tovrin {

// How a document is stored in its file, so that saving writes it back the same way.
struct DocumentForm {
    enum class Encoding { SingleByte, Utf8 };
    enum class LineBreaks { CrLf, Lf, Cr };

    Encoding FileEncoding = Encoding::SingleByte;
    bool ByteOrderMark = false;  // UTF-8 only
    LineBreaks FileLineBreaks = LineBreaks::CrLf;

    bool operator==(const DocumentForm&) const = default;
};

// A document in the library's form: single-byte text in its own code page with every line
// break CR LF (no terminator counted in Text's size; Text.c_str() is zero-terminated).
struct LoadedDocument {
    std::string Text;
    DocumentForm Form;
    // 1 (Windows-1251) for a UTF-8 file, whose text was converted; -1 otherwise (the caller's
    // analysis decides).
    int32_t CodePage = -1;
    // Characters of a UTF-8 file that Windows-1251 lacks; each became "?" in Text.
    size_t UnmappedCharacters = 0;
    // The file's line breaks were of more than one form; Form holds the most frequent one, so
    // a save writes every break in that form.
    bool MixedLineBreaks = false;
};

// A document that cannot be loaded or saved; what() is the message for the user.
class DocumentError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A document over the size limit its reader was given; Limit() lets a caller word its own
// message.
class DocumentTooLarge : public DocumentError {
  public:
    DocumentTooLarge(const std::string& what, size_t limit) : DocumentError(what), limit_(limit) {}
    size_t Limit() const { return limit_; }

  private:
    size_t limit_;
};

// Largest document the loader takes, before and after conversion: positions in a document are
// 32-bit signed, and this leaves them room for edits.
inline constexpr size_t kMaxDocumentBytes = size_t{1} << 30;

// Reads a regular file whole (a FIFO, device or folder is refused without blocking; so is a
// file over `limit` bytes, at most kMaxDocumentBytes) and converts it to the library's form.
// Throws DocumentError (DocumentTooLarge over the limit).
LoadedDocument LoadDocument(const std::string& path, size_t limit = kMaxDocumentBytes);

// Opens a document file with LoadDocument's checks, for a reader that takes it in pieces.
// Throws DocumentError.
UniqueFd OpenDocumentFile(const std::string& path);
// Reads from `fd` until `size` bytes are in `into` or the file has ended; the number read
// (0 at the end). Throws DocumentError naming `path`.
size_t ReadDocumentPiece(int fd, const std::string& path, char* into, size_t size);

// The first step of LoadDocument: the file's bytes as they are, with the same checks.
std::string ReadDocumentBytes(const std::string& path, size_t limit = kMaxDocumentBytes);

// Converts bytes already read to the library's form (the loader's core, for the clipboard and
// tests). A file is UTF-8 when it is valid UTF-8 and holds a byte-order mark or a multi-byte
// sequence. Every line break, CR LF, a bare LF or a lone CR, becomes CR LF; the form keeps the
// most frequent of them (CR LF on a tie, then LF). Throws DocumentTooLarge when the converted
// text would exceed `limit`.
LoadedDocument DocumentFromBytes(std::string bytes, size_t limit = kMaxDocumentBytes);

// The file's bytes for a document in the library's form: the inverse of DocumentFromBytes for
// an unchanged document of a file with one form of line break.
std::string DocumentToBytes(std::string_view text, const DocumentForm& form);

// Writes the document to `path` in its file's form as one atomic replace; a failure leaves the
// old file as it was. Throws DocumentError.
void SaveDocument(const std::string& path, std::string_view text, const DocumentForm& form);

// What a window knows of the file its document came from, for as long as the document is
// open: the form a save writes, the file whose characters the load replaced by "?" (writing
// over it destroys them, even after the document was saved elsewhere), and whether the load
// unified mixed line breaks (which the first save tells).
class DocumentOrigin {
  public:
    DocumentOrigin() = default;
    // A document with no file of its own (a new one, the clipboard's).
    explicit DocumentOrigin(const DocumentForm& form) : form_(form) {}
    DocumentOrigin(const std::string& path, const LoadedDocument& document);

    const DocumentForm& Form() const { return form_; }
    // The characters that writing the document over `path` would destroy: non-zero only when
    // `path` names the file the document was loaded from with losses.
    size_t LossesAt(const std::string& path) const;
    // Records a successful save to `path`. True the first time a document whose mixed line
    // breaks were unified is saved.
    bool Saved(const std::string& path);

  private:
    DocumentForm form_;
    std::string lossySource_;  // canonical path; empty when nothing was lost
    size_t losses_ = 0;
    bool unifiedBreaksUntold_ = false;
};

}  // namespace tovrin
