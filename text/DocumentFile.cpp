#include "text/DocumentFile.h"

#include "platform/AtomicFile.h"
#include "platform/FileReader.h"
#include "text/CodePages.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include <unistd.h>

namespace tovrin {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string Quoted(const std::string& path) {
    return "«" + path + "»";
}

[[noreturn]] void FailToOpen(const std::string& path, const std::string& reason) {
    throw DocumentError("Не удалось открыть файл " + Quoted(path) + ". " + reason);
}

std::string LargerThan(size_t limit) {
    return "больше " + std::to_string(limit >> 20) + " МБ";
}

[[noreturn]] void FailTooLarge(const std::string& path, size_t limit) {
    throw DocumentTooLarge("Не удалось открыть файл " + Quoted(path) + ". Он " + LargerThan(limit),
                           limit);
}

bool HasMultiByteSequence(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

struct BreakCounts {
    size_t CrLf = 0, Lf = 0, Cr = 0;
};

BreakCounts CountBreaks(std::string_view bytes) {
    BreakCounts counts;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++counts.Lf;
        } else if (bytes[i] == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++counts.CrLf;
                ++i;
            } else {
                ++counts.Cr;
            }
        }
    }
    return counts;
}

// The most frequent form; CR LF wins a tie, since it needs no conversion, then LF.
DocumentForm::LineBreaks DominantBreaks(const BreakCounts& counts) {
    if (counts.CrLf >= counts.Lf && counts.CrLf >= counts.Cr) return DocumentForm::LineBreaks::CrLf;
    return counts.Lf >= counts.Cr ? DocumentForm::LineBreaks::Lf : DocumentForm::LineBreaks::Cr;
}

// Every bare LF and lone CR becomes CR LF; `breaks` is their number.
std::string ToCrLf(std::string_view bytes, size_t breaks) {
    std::string out(bytes.size() + breaks, '\0');
    size_t size = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            out[size++] = c;
            continue;
        }
        out[size++] = '\r';
        out[size++] = '\n';
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    }
    out.resize(size);
    return out;
}

// Every CR LF pair becomes the single byte `single`; other bytes stay.
std::string CrLfTo(std::string_view text, char single) {
    std::string out(text.size(), '\0');
    size_t size = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out[size++] = single;
            ++i;
        } else {
            out[size++] = text[i];
        }
    }
    out.resize(size);
    return out;
}

std::string CanonicalPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(path, error);
    return error ? std::string() : canonical.string();
}

}  // namespace

UniqueFd OpenDocumentFile(const std::string& path) {
    OpenedFile opened = OpenRegularFile(path);
    if (opened.Status == FileReadStatus::Read && opened.Size > kMaxDocumentBytes)
        FailTooLarge(path, kMaxDocumentBytes);
    if (opened.Status != FileReadStatus::Read) {
        FileRead failed;
        failed.Status = opened.Status;
        failed.Error = opened.Error;
        FailToOpen(path, FileReadProblem(failed, kMaxDocumentBytes));
    }
    return std::move(opened.Fd);
}

size_t ReadDocumentPiece(int fd, const std::string& path, char* into, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, into + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0)
            throw DocumentError("Не удалось прочитать файл " + Quoted(path) + ". " +
                                SystemErrorText(errno));
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

std::string ReadDocumentBytes(const std::string& path, size_t limit) {
    limit = std::min(limit, kMaxDocumentBytes);
    FileRead read = ReadRegularFile(path, limit);
    if (read.Status == FileReadStatus::CannotRead)
        throw DocumentError("Не удалось прочитать файл " + Quoted(path) + ". " +
                            SystemErrorText(read.Error));
    if (read.Status == FileReadStatus::TooLarge) FailTooLarge(path, limit);
    if (read.Status != FileReadStatus::Read) FailToOpen(path, FileReadProblem(read, limit));
    return std::move(read.Bytes);
}

LoadedDocument DocumentFromBytes(std::string bytes, size_t limit) {
    limit = std::min(limit, kMaxDocumentBytes);
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
    const BreakCounts breaks = CountBreaks(bytes);
    const size_t single = breaks.Lf + breaks.Cr;
    if (bytes.size() + single > limit)
        throw DocumentTooLarge("Документ " + LargerThan(limit), limit);
    document.Form.FileLineBreaks = DominantBreaks(breaks);
    document.MixedLineBreaks = (breaks.CrLf > 0) + (breaks.Lf > 0) + (breaks.Cr > 0) > 1;
    if (single > 0) bytes = ToCrLf(bytes, single);
    document.Text = std::move(bytes);
    return document;
}

std::string DocumentToBytes(std::string_view text, const DocumentForm& form) {
    std::string bytes = form.FileLineBreaks == DocumentForm::LineBreaks::Lf   ? CrLfTo(text, '\n')
                        : form.FileLineBreaks == DocumentForm::LineBreaks::Cr ? CrLfTo(text, '\r')
                                                                              : std::string(text);
    if (form.FileEncoding == DocumentForm::Encoding::Utf8) {
        bytes = Windows1251DocumentToUtf8(bytes);
        if (form.ByteOrderMark) bytes.insert(0, kByteOrderMark);
    }
    return bytes;
}

LoadedDocument LoadDocument(const std::string& path, size_t limit) {
    return DocumentFromBytes(ReadDocumentBytes(path, limit), limit);
}

void SaveDocument(const std::string& path, std::string_view text, const DocumentForm& form) {
    if (!WriteFileAtomically(path, DocumentToBytes(text, form)))
        throw DocumentError("Не удалось создать файл " + Quoted(path) + ". " +
                            SystemErrorText(errno));
}

DocumentOrigin::DocumentOrigin(const std::string& path, const LoadedDocument& document)
    : form_(document.Form), unifiedBreaksUntold_(document.MixedLineBreaks) {
    if (document.UnmappedCharacters == 0) return;
    lossySource_ = CanonicalPath(path);
    if (!lossySource_.empty()) losses_ = document.UnmappedCharacters;
}

size_t DocumentOrigin::LossesAt(const std::string& path) const {
    return losses_ > 0 && CanonicalPath(path) == lossySource_ ? losses_ : 0;
}

bool DocumentOrigin::Saved(const std::string& path) {
    // Once written over, the source holds the "?" itself: nothing more to lose there.
    if (LossesAt(path) > 0) {
        lossySource_.clear();
        losses_ = 0;
    }
    return std::exchange(unifiedBreaksUntold_, false);
}

}  // namespace tovrin
