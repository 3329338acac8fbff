#include "text/DocumentFile.h"

#include "platform/AtomicFile.h"
#include "platform/FileReader.h"
#include "text/CodePages.h"

#include <cerrno>
#include <cstring>

namespace tovrin {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

[[noreturn]] void FailToOpen(const std::string& path, const std::string& reason) {
    throw DocumentError("Cannot open file " + Quoted(path) + ". " + reason);
}

std::string LargerThanTheLimit() {
    return "larger than " + std::to_string(kMaxDocumentBytes >> 20) + " MB";
}

bool HasMultiByteSequence(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

// Line breaks are converted only when every one is a bare LF, so that a file of mixed or
// CR LF breaks is held exactly as it is and an unchanged document always saves back the same.
bool AllBreaksAreBareLf(std::string_view bytes, size_t& lineFeeds) {
    lineFeeds = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n') continue;
        if (i > 0 && bytes[i - 1] == '\r') return false;
        ++lineFeeds;
    }
    return lineFeeds > 0;
}

std::string LfToCrLf(std::string_view bytes, size_t lineFeeds) {
    std::string out(bytes.size() + lineFeeds, '\0');
    size_t size = 0;
    for (char c : bytes) {
        if (c == '\n') out[size++] = '\r';
        out[size++] = c;
    }
    return out;
}

std::string CrLfToLf(std::string_view text) {
    std::string out(text.size(), '\0');
    size_t size = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out[size++] = text[i];
    out.resize(size);
    return out;
}

}  // namespace

std::string ReadDocumentBytes(const std::string& path) {
    FileRead read = ReadRegularFile(path, kMaxDocumentBytes);
    if (read.Status == FileReadStatus::CannotRead)
        throw DocumentError("Cannot read file " + Quoted(path) + ". " + std::strerror(read.Error));
    if (read.Status != FileReadStatus::Read)
        FailToOpen(path, FileReadProblem(read, kMaxDocumentBytes));
    return std::move(read.Bytes);
}

LoadedDocument DocumentFromBytes(std::string bytes) {
    LoadedDocument document;
    const bool marked = std::string_view(bytes).starts_with(kByteOrderMark);
    const std::string_view body =
        std::string_view(bytes).substr(marked ? kByteOrderMark.size() : 0);
    if ((marked || HasMultiByteSequence(body)) && IsValidUtf8(body)) {
        document.Form.FileEncoding = DocumentForm::Encoding::Utf8;
        document.Form.ByteOrderMark = marked;
        document.CodePage = kCodePageWindows;
        bytes = Utf8DocumentToWindows1251(body, document.UnmappedCharacters);
    }
    size_t lineFeeds = 0;
    if (AllBreaksAreBareLf(bytes, lineFeeds)) {
        if (bytes.size() + lineFeeds > kMaxDocumentBytes)
            throw DocumentError("The document is " + LargerThanTheLimit());
        document.Form.FileLineBreaks = DocumentForm::LineBreaks::Lf;
        bytes = LfToCrLf(bytes, lineFeeds);
    }
    document.Text = std::move(bytes);
    return document;
}

std::string DocumentToBytes(std::string_view text, const DocumentForm& form) {
    std::string bytes =
        form.FileLineBreaks == DocumentForm::LineBreaks::Lf ? CrLfToLf(text) : std::string(text);
    if (form.FileEncoding == DocumentForm::Encoding::Utf8) {
        bytes = Windows1251DocumentToUtf8(bytes);
        if (form.ByteOrderMark) bytes.insert(0, kByteOrderMark);
    }
    return bytes;
}

LoadedDocument LoadDocument(const std::string& path) {
    return DocumentFromBytes(ReadDocumentBytes(path));
}

void SaveDocument(const std::string& path, std::string_view text, const DocumentForm& form) {
    if (!WriteFileAtomically(path, DocumentToBytes(text, form)))
        throw DocumentError("Cannot create file " + Quoted(path) + ". " + std::strerror(errno));
}

}  // namespace tovrin
