// PDF through Poppler: the text layer page by page, its hard-wrapped lines joined into
// paragraphs, and the outline's top entries (where there is an outline) as chapters.
#include "books/BookWriter.h"
#include "books/Converters.h"

#include <poppler-qt6.h>

#include <QMap>

#include <memory>

namespace tovrin {

namespace {

// Chapter titles by the page (0-based) they begin on, from the outline's top level.
QMap<int, QString> OutlineChapters(const Poppler::Document& document) {
    QMap<int, QString> chapters;
    for (const Poppler::OutlineItem& item : document.outline()) {
        const QSharedPointer<const Poppler::LinkDestination> destination = item.destination();
        if (destination && destination->pageNumber() > 0 &&
            !chapters.contains(destination->pageNumber() - 1))
            chapters.insert(destination->pageNumber() - 1, item.name());
    }
    return chapters;
}

bool EndsSentence(const QString& line) {
    static const QString kEnds = QStringLiteral(".!?…:;»\"”");
    return !line.isEmpty() && kEnds.contains(line.back());
}

// Joins a page's lines into paragraphs: a line ends its paragraph when it ends a sentence and
// falls clearly short of the page's full lines, or when the next line is indented.
QStringList PageParagraphs(const QString& pageText) {
    const QStringList lines = pageText.split(QLatin1Char('\n'));
    qsizetype longest = 0;
    for (const QString& line : lines)
        longest = qMax(longest, line.trimmed().size());
    QStringList paragraphs;
    QString current;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty()) {
            if (!current.isEmpty()) paragraphs << current;
            current.clear();
            continue;
        }
        if (current.endsWith(u'-') && line.front().isLower())
            current.chop(1);  // a word hyphenated at the line's end
        else if (!current.isEmpty())
            current += u' ';
        current += line;
        const bool nextIndented = i + 1 < lines.size() && lines[i + 1].startsWith(u' ');
        if ((EndsSentence(line) && line.size() < longest * 9 / 10) || nextIndented) {
            paragraphs << current;
            current.clear();
        }
    }
    if (!current.isEmpty()) paragraphs << current;
    return paragraphs;
}

}  // namespace

Book ConvertPdf(const std::string& bytes) {
    // Poppler's own complaints about a damaged file would reach the user's terminal; the
    // failure itself is reported once, in the message below.
    Poppler::setDebugErrorFunction([](const QString&, const QVariant&) {}, QVariant());
    std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(
        QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!document) throw BookError("файл PDF поврежден");
    if (document->isLocked()) throw BookError("файл зашифрован");
    BookWriter writer;
    writer.SetTitle(document->info(QStringLiteral("Title")));
    writer.SetAuthor(document->info(QStringLiteral("Author")));
    const QMap<int, QString> chapters = OutlineChapters(*document);
    bool anyText = false;
    for (int number = 0; number < document->numPages(); ++number) {
        const std::unique_ptr<Poppler::Page> page(document->page(number));
        if (!page) continue;
        const QString text = page->text(QRectF());
        if (chapters.contains(number)) writer.StartChapter(chapters.value(number));
        for (const QString& paragraph : PageParagraphs(text)) {
            anyText = anyText || !CleanLine(paragraph).isEmpty();
            writer.Paragraph(paragraph);
        }
    }
    if (!anyText) throw BookError("в PDF нет текстового слоя");
    return writer.Finish();
}

}  // namespace tovrin
