#include "tools/SayBook.h"

#include "text/DocumentFile.h"
#include "text/Portion.h"
#include "text/TextFinder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace tovrin {

namespace {

// Where a piece of `bytes` may end when more follows: after its last line break; in a line
// without one, before its last character (UTF-8 continuation bytes stay with their lead byte)
// and never between CR and LF.
size_t PieceEnd(const std::string& bytes) {
    const size_t lineBreak = bytes.rfind('\n');
    if (lineBreak != std::string::npos) return lineBreak + 1;
    const auto continuation = [&](size_t at) {
        return (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80;
    };
    size_t end = bytes.size() - 1;
    for (int back = 0; back < 3 && end > 0 && continuation(end); ++back)
        --end;
    if (end > 0 && bytes[end - 1] == '\r') --end;
    return end > 0 ? end : bytes.size();
}

}  // namespace

BookReader::BookReader(std::string path, BookWindow window)
    : path_(std::move(path)), window_(window), fd_(OpenDocumentFile(path_)) {
    struct stat info {};
    if (fstat(fd_.get(), &info) == 0) fileSize_ = static_cast<size_t>(info.st_size);
}

bool BookReader::ReadPiece(std::string& text) {
    if (ended_) return false;
    std::string bytes = std::move(carried_);
    carried_.clear();
    const size_t had = bytes.size();
    bytes.resize(std::max(window_.PieceBytes, had));
    const size_t got =
        fileEnded_ ? 0
                   : ReadDocumentPiece(fd_.get(), path_, bytes.data() + had, bytes.size() - had);
    fileRead_ += got;
    bytes.resize(had + got);
    if (had + got < window_.PieceBytes) fileEnded_ = true;
    if (!fileEnded_) {
        const size_t end = PieceEnd(bytes);
        carried_ = bytes.substr(end);
        bytes.resize(end);
    }
    LoadedDocument piece = DocumentFromBytes(std::move(bytes));
    unmapped_ += piece.UnmappedCharacters;
    if (std::exchange(first_, false)) codePage_ = piece.CodePage;
    const size_t zero = piece.Text.find('\0');
    if (zero != std::string::npos) {
        leftOut_ = piece.Text.size() - zero + carried_.size() +
                   (fileSize_ - std::min(fileSize_, fileRead_));
        piece.Text.resize(zero);
        ended_ = true;
    }
    if (fileEnded_ && carried_.empty()) ended_ = true;
    text += piece.Text;
    return true;
}

double BookReader::ShareRead() const {
    if (ended_ || fileSize_ == 0) return 1;
    return std::min(1.0, static_cast<double>(fileRead_ - carried_.size()) / fileSize_);
}

CutOutcome ForEachBookPortion(BookReader& reader, std::string text, const PlayerOptions& options,
                              const PortionHandler& handle) {
    size_t from = 0;
    double heldFrom = 0;  // the share of the file before the text held
    for (;;) {
        const char* const begin = text.c_str();
        const char* const end = begin + text.size();
        const size_t lookAhead = std::min(reader.Window().LookAhead, text.size());
        const char* const safe = reader.Ended() ? end : end - lookAhead;
        const char* waitAt = nullptr;
        // A portion that may go on past the text held is not cut yet: the cut is reported as
        // stalled where it began, and continued there with the next piece.
        const auto cut = [&](const char* position) {
            SetTextBounds(begin, end);
            Portion portion = PreparePortion(options, position);
            if (portion.End <= safe || reader.Ended()) return portion;
            waitAt = position;
            return Portion{position, position, std::nullopt};
        };
        const double heldTo = reader.ShareRead();
        const auto ofFile = [&](double share) { return heldFrom + share * (heldTo - heldFrom); };
        const CutOutcome outcome = ForEachPortion(
            begin, end, begin + from, cut, [&](const std::string& portion, double a, double b) {
                return handle(portion, ofFile(a), ofFile(b));
            });
        if (!waitAt || outcome.Position != waitAt) return outcome;
        const size_t at = static_cast<size_t>(waitAt - begin);
        const size_t history = reader.Window().History;
        const size_t dropped = at > history ? at - history : 0;
        heldFrom = ofFile(static_cast<double>(dropped) / static_cast<double>(text.size()));
        text.erase(0, dropped);
        from = at - dropped;
        reader.ReadPiece(text);
    }
}

}  // namespace tovrin
