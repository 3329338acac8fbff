#include "books/BookWriter.h"

#include "text/CodePages.h"

namespace tovrin {

namespace {

bool IsInvisible(char16_t c) {
    return c == u'\u00AD' || (c >= u'\u200B' && c <= u'\u200F') || c == u'\uFEFF' ||
           (c >= u'\u2060' && c <= u'\u2064');
}

}  // namespace

QString CleanLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool blank = true;  // drops blanks at the start and folds runs
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (IsInvisible(c)) continue;
        if (qc.isSpace() || c < 0x20 || (c >= 0x7F && c < 0xA0)) {
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

void BookWriter::Paragraph(const QString& text) {
    Line(text, false);
}

void BookWriter::Emit(const QString& text, bool indented) {
    if (indented) book_.Text += kIndent;
    book_.Text += Utf8DocumentToWindows1251(text.toStdString(), book_.UnmappedCharacters);
    book_.Text += "\r\n";
}

void BookWriter::Line(const QString& raw, bool heading) {
    const QString text = CleanLine(raw);
    if (text.isEmpty()) return;
    if (book_.Chapters.empty() || chapterPending_) {
        const bool later = !book_.Chapters.empty();
        QString title = heading ? text : pendingLabel_;
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
        if (!heading && later) Emit(title, false);
    } else if (heading && titleOpen_) {
        std::string& title = book_.Chapters.back().Title;
        title += (title.empty() ? "" : ". ") + text.toStdString();
    }
    if (!heading) {
        chapterHasBody_ = true;
        titleOpen_ = false;
    }
    Emit(text, !heading);
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
