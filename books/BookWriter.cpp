#include "books/BookWriter.h"

#include "text/CodePages.h"

#include <array>

namespace tovrin {

namespace {

bool IsInvisible(char16_t c) {
    // Soft hyphens, zero-width marks, and the object replacement character that stands for an
    // image in Qt's HTML text.
    return c == u'\u00AD' || (c >= u'\u200B' && c <= u'\u200F') || c == u'\uFEFF' ||
           c == u'\uFFFC' || (c >= u'\u2060' && c <= u'\u2064');
}

bool IsBlank(char16_t c) {
    return c <= 0x20 || (c >= 0x7F && c < 0xA0) || QChar::isSpace(c);
}

// The Windows-1251 byte of every UTF-16 code unit; 0 where the code page has none.
const std::array<unsigned char, 0x10000>& WindowsBytes() {
    static const auto table = [] {
        std::array<unsigned char, 0x10000> bytes{};
        for (unsigned b = 1; b < 0x100; ++b) {
            const unsigned code = WindowsToCodePoint(static_cast<unsigned char>(b));
            if (code != 0 && code < 0x10000) bytes[code] = static_cast<unsigned char>(b);
        }
        return bytes;
    }();
    return table;
}

}  // namespace

QString CleanLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool blank = true;  // drops blanks at the start and folds runs
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (IsInvisible(c)) continue;
        if (IsBlank(c)) {
            if (!blank) out += QLatin1Char(' ');
            blank = true;
            continue;
        }
        out += qc;
        blank = false;
    }
    if (out.endsWith(QLatin1Char(' '))) out.chop(1);
    return out;
}

bool AppendCleanWindows1251(std::string& out, QStringView text, size_t& unmapped) {
    const std::array<unsigned char, 0x10000>& bytes = WindowsBytes();
    const size_t start = out.size();
    bool blank = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (IsInvisible(c)) continue;
        if (IsBlank(c)) {
            if (!blank) out += ' ';
            blank = true;
            continue;
        }
        blank = false;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const unsigned char b = bytes[c]) {
            out += static_cast<char>(b);
        } else {
            // A character the code page lacks; a surrogate pair is one character.
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
            out += '?';
            ++unmapped;
        }
    }
    if (out.size() > start && out.back() == ' ') out.pop_back();
    return out.size() > start;
}

void BookWriter::SetTitle(const QString& title) {
    book_.Title = CleanLine(title).toStdString();
}

void BookWriter::SetAuthor(const QString& author) {
    book_.Author = CleanLine(author).toStdString();
}

void BookWriter::StartChapter(const QString& label) {
    if (chapterHasBody_) {
        chapterPending_ = true;
        pendingLabel_ = CleanLine(label);
    } else if (book_.Chapters.empty() && pendingLabel_.isEmpty()) {
        pendingLabel_ = CleanLine(label);
    }
}

void BookWriter::Heading(const QString& text) {
    Line(text, true);
}

void BookWriter::BookHeading(const QString& text) {
    Line(text, true, false);
}

void BookWriter::Paragraph(const QString& text) {
    Line(text, false);
}

void BookWriter::Emit(const std::string& line, bool indented) {
    if (indented) book_.Text += kIndent;
    book_.Text += line;
    book_.Text += "\r\n";
}

void BookWriter::Line(const QString& raw, bool heading, bool namesChapter) {
    line_.clear();
    size_t unmapped = 0;
    if (!AppendCleanWindows1251(line_, raw, unmapped)) return;
    book_.UnmappedCharacters += unmapped;
    if (book_.Chapters.empty() || chapterPending_) {
        const bool later = !book_.Chapters.empty();
        QString title = !heading ? pendingLabel_ : namesChapter ? CleanLine(raw) : QString();
        if (later && title.isEmpty())
            title = QStringLiteral("Глава %1").arg(book_.Chapters.size() + 1);
        if (later)
            for (int i = 0; i < kChapterGap; ++i)
                book_.Text += "\r\n";
        book_.Chapters.push_back({title.toStdString(), book_.Text.size()});
        chapterPending_ = false;
        chapterHasBody_ = false;
        titleOpen_ = heading;
        pendingLabel_.clear();
        // A later chapter without a heading of its own gets its label as one.
        if (!heading && later) {
            std::string label;
            AppendCleanWindows1251(label, title, book_.UnmappedCharacters);
            Emit(label, false);
        }
    } else if (heading && titleOpen_ && namesChapter) {
        std::string& title = book_.Chapters.back().Title;
        title += (title.empty() ? "" : ". ") + CleanLine(raw).toStdString();
    }
    if (!heading) {
        chapterHasBody_ = true;
        titleOpen_ = false;
    }
    Emit(line_, !heading);
}

Book BookWriter::Finish() {
    if (book_.Text.empty()) throw BookError("в книге нет текста");
    if (book_.Text.size() > kMaxDocumentBytes)
        throw BookError("текст книги больше " + std::to_string(kMaxDocumentBytes >> 20) + " МБ");
    if (book_.Title.empty() && !book_.Chapters.empty()) book_.Title = book_.Chapters[0].Title;
    for (size_t i = 0; i < book_.Chapters.size(); ++i)
        if (book_.Chapters[i].Title.empty())
            book_.Chapters[i].Title =
                i == 0 && !book_.Title.empty() ? book_.Title : "Глава " + std::to_string(i + 1);
    return std::move(book_);
}

}  // namespace tovrin
