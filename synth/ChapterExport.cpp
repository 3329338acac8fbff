#include "synth/ChapterExport.h"

#include "platform/AtomicFile.h"
#include "platform/FileReader.h"
#include "text/CodePages.h"
#include "text/PortionSequence.h"
#include "text/TextFinder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace tovrin {

namespace {

constexpr size_t kMaxNameBytes = 100;
constexpr size_t kMaxTitleBytes = 80;

// The first non-empty line of [begin, end), trimmed, in UTF-8.
std::string FirstLine(const std::string& text, size_t begin, size_t end) {
    while (begin < end) {
        size_t lineEnd = text.find('\r', begin);
        if (lineEnd == std::string::npos || lineEnd > end) lineEnd = end;
        const size_t first = text.find_first_not_of(" \t\n\f", begin);
        if (first < lineEnd) {
            size_t last = lineEnd;
            while (last > first && std::strchr(" \t\n\f", text[last - 1]))
                --last;
            return Windows1251ToUtf8(text.substr(first, std::min(last - first, kMaxTitleBytes)));
        }
        begin = lineEnd + 1;
    }
    return {};
}

std::vector<DocumentChapter> SectionChapters(const std::string& text,
                                             const PlayerOptions& options) {
    const LayoutParams layout = LayoutParamsOf(options);
    const char* const first = text.c_str();
    const char* const end = first + text.size();
    std::vector<DocumentChapter> chapters;
    for (const char* cursor = first; cursor < end;) {
        SetTextBounds(first, end);
        const TextRange section = FindNextSection(layout, cursor);
        if (section.End <= cursor || section.Start >= end) break;
        const auto begin = static_cast<size_t>(section.Start - first);
        const auto stop = static_cast<size_t>(section.End - first);
        chapters.push_back({FirstLine(text, begin, stop), begin, stop});
        cursor = section.End;
    }
    return chapters;
}

// Cuts a UTF-8 string to at most `limit` bytes without splitting a character.
std::string CutUtf8(std::string text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    return text;
}

std::string TwoDigits(size_t number) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%02zu", number);
    return digits;
}

std::string Extension(AudioFileType type) {
    switch (type) {
        case AudioFileType::Flac:
            return ".flac";
        case AudioFileType::OggVorbis:
            return ".ogg";
        case AudioFileType::Opus:
            return ".opus";
        case AudioFileType::Mp3:
            return ".mp3";
        default:
            return ".wav";
    }
}

// A playlist entry of a finished chapter.
struct Finished {
    std::string FileName;
    std::string Title;
    double Seconds = 0;
};

void WritePlaylist(const std::string& path, const std::string& author,
                   const std::vector<Finished>& files) {
    std::string playlist = "#EXTM3U\n";
    for (const Finished& file : files) {
        playlist += "#EXTINF:" + std::to_string(std::lround(file.Seconds)) + "," +
                    (author.empty() ? "" : author + " - ") + file.Title + "\n" + file.FileName +
                    "\n";
    }
    if (!WriteFileAtomically(path, playlist))
        throw std::runtime_error("Не удалось записать " + path + ": " + SystemErrorText(errno));
}

void MakeFolder(const std::string& folder) {
    if (mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) {
        struct stat info {};
        if (stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
    }
    throw std::runtime_error("Не удалось создать папку " + folder + ": " + SystemErrorText(errno));
}

// The chapters an export from a byte offset covers, and the share of their text done.
class ChapterSpan {
  public:
    ChapterSpan(const std::vector<DocumentChapter>& chapters, size_t from) {
        while (First < chapters.size() && chapters[First].End <= from && from > 0)
            ++First;
        for (size_t i = First; i < chapters.size(); ++i) {
            const size_t begin = std::max(chapters[i].Begin, std::min(from, chapters[i].End));
            before_.push_back(total_);
            lengths_.push_back(double(chapters[i].End - begin));
            total_ += lengths_.back();
        }
    }
    // The share of the whole done when chapter `index` is `share` done.
    double Whole(size_t index, double share) const {
        const size_t at = index - First;
        return total_ > 0 ? (before_[at] + share * lengths_[at]) / total_ : 1;
    }

    size_t First = 0;

  private:
    std::vector<double> before_, lengths_;
    double total_ = 0;
};

}  // namespace

std::optional<AudioFileType> ChapterFileType(const std::string& format) {
    return AudioFileTypeFor("chapter." + format);
}

std::vector<DocumentChapter> DocumentChapters(const std::string& text,
                                              const std::vector<BookChapter>& bookChapters,
                                              const PlayerOptions& options) {
    if (bookChapters.empty()) return SectionChapters(text, options);
    std::vector<DocumentChapter> chapters;
    for (size_t i = 0; i < bookChapters.size(); ++i) {
        const size_t end = i + 1 < bookChapters.size() ? bookChapters[i + 1].Offset : text.size();
        chapters.push_back({bookChapters[i].Title, bookChapters[i].Offset, end});
    }
    return chapters;
}

std::string SafeFileName(const std::string& title, const std::string& fallback) {
    std::string name;
    for (const char c : title) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unsafe = byte < 0x20 || byte == 0x7F || std::strchr("/\\:*?\"<>|", c);
        name += unsafe ? ' ' : c;
    }
    // Blanks folded, trimmed, and no leading dots (hidden files, "..").
    std::string folded;
    for (const char c : name)
        if (!(c == ' ' && (folded.empty() || folded.back() == ' '))) folded += c;
    while (!folded.empty() && (folded.front() == '.' || folded.front() == ' '))
        folded.erase(0, 1);
    folded = CutUtf8(folded, kMaxNameBytes);
    while (!folded.empty() && (folded.back() == ' ' || folded.back() == '.'))
        folded.pop_back();
    return folded.empty() ? fallback : folded;
}

std::string ChapterPlaylistPath(const ChapterExportRequest& request) {
    return request.Folder + "/" + SafeFileName(request.BookTitle, "book") + ".m3u8";
}

bool ExportChapters(const ChapterExportRequest& request, const std::string& text,
                    const std::vector<DocumentChapter>& chapters, const PlayerOptions& options,
                    const std::atomic<bool>& interrupted, const ChapterExportProgress& progress) {
    MakeFolder(request.Folder);
    const std::string playlist = ChapterPlaylistPath(request);
    const ChapterSpan span(chapters, request.From);
    std::vector<Finished> finished;
    WritePlaylist(playlist, request.Author, finished);
    for (size_t i = span.First; i < chapters.size(); ++i) {
        const DocumentChapter& chapter = chapters[i];
        const std::string title =
            chapter.Title.empty() ? "Глава " + std::to_string(i + 1) : chapter.Title;
        const std::string fileName =
            TwoDigits(i + 1) + " - " + SafeFileName(title, "Глава") + Extension(request.Voice.type);
        if (progress.Begun) progress.Begun(i + 1, chapters.size(), fileName);
        ExportSettings settings = request.Voice;
        settings.path = request.Folder + "/" + fileName;
        settings.tags = {title, request.BookTitle, request.Author,
                         std::to_string(i + 1) + "/" + std::to_string(chapters.size())};
        const size_t from = std::max(chapter.Begin, std::min(request.From, chapter.End));
        const double start = chapter.End > chapter.Begin ? double(from - chapter.Begin) /
                                                               double(chapter.End - chapter.Begin)
                                                         : 0;
        SpeechExport out(settings, interrupted, [&](double done) {
            const double share = start < 1 ? std::clamp((done - start) / (1 - start), 0.0, 1.0) : 1;
            if (progress.Moved) progress.Moved(share, span.Whole(i, share));
        });
        const CutOutcome outcome = ForEachPortion(
            text.c_str() + chapter.Begin, text.c_str() + chapter.End, text.c_str() + from, options,
            [&](const std::string& portion, double a, double b) {
                return out.Speak(portion, a, b);
            });
        // A cutter that cannot move on would leave the chapter short: no file is kept.
        if (outcome.Stalled())
            throw std::runtime_error("Текст не удалось прочитать до конца, звук не сохранён: " +
                                     DescribeStall(outcome, text.c_str()));
        if (!outcome.Finished || interrupted) return false;
        out.Finish();
        if (progress.Saved) progress.Saved(settings.path, out.SecondsWritten());
        finished.push_back({fileName, title, out.SecondsWritten()});
        WritePlaylist(playlist, request.Author, finished);
    }
    return true;
}

}  // namespace tovrin
