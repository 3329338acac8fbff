#include "text/DocumentFile.h"

#include "platform/AtomicFile.h"
#include "platform/UniqueFd.h"
#include "text/CodePages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

UniqueFd OpenDocumentFile(const std::string& path) {
    // O_NONBLOCK: opening a FIFO without a writer or a device must not hang before the check.
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) FailToOpen(path, std::strerror(errno));
    struct stat info;
    if (fstat(fd.get(), &info) != 0) FailToOpen(path, std::strerror(errno));
    if (!S_ISREG(info.st_mode)) FailToOpen(path, "It is not a regular file");
    if (static_cast<unsigned long long>(info.st_size) > kMaxDocumentBytes)
        FailToOpen(path, "It is " + LargerThanTheLimit());
    return fd;
}

size_t ReadDocumentPiece(int fd, const std::string& path, char* into, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, into + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0)
            throw DocumentError("Cannot read file " + Quoted(path) + ". " + std::strerror(errno));
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

std::string ReadDocumentBytes(const std::string& path) {
    const UniqueFd fd = OpenDocumentFile(path);
    struct stat info;
    if (fstat(fd.get(), &info) != 0) FailToOpen(path, std::strerror(errno));
    // The size is a hint only: a file may grow while it is read, and some report none.
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (bytes.size() > kMaxDocumentBytes) FailToOpen(path, "It is " + LargerThanTheLimit());
            bytes.resize(std::min(kMaxDocumentBytes + 1, bytes.size() + (size_t{1} << 16)));
        }
        const size_t got =
            ReadDocumentPiece(fd.get(), path, bytes.data() + done, bytes.size() - done);
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return bytes;
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
