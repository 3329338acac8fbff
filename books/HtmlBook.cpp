// HTML pages: XHTML through the XML reader; any other HTML through Qt's own HTML reader, whose
// blocks carry their heading levels.
#include "books/BookWriter.h"
#include "books/Converters.h"
#include "books/XhtmlWalker.h"
#include "books/XmlInput.h"

#include <QFont>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>
#include <QVariant>

namespace tovrin {

namespace {

// Qt's HTML reader would fetch style sheets and images a page names, local files included; a
// book is read from its own bytes only.
class DetachedDocument final : public QTextDocument {
  protected:
    QVariant loadResource(int, const QUrl&) override { return QVariant(); }
};

Book ConvertTagSoup(const QString& html) {
    // Entity declarations are refused in HTML as in XML.
    if (html.contains(QLatin1String("<!ENTITY")))
        throw BookError("XML с объявлениями сущностей (<!ENTITY>) не открывается");
    DetachedDocument document;
    // Headings are sized relative to the default font, which must have a size of its own.
    QFont font;
    font.setPointSize(12);
    document.setDefaultFont(font);
    document.setHtml(html);
    BookWriter writer;
    writer.SetTitle(document.metaInformation(QTextDocument::DocumentTitle));
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        // A line break inside a block stands for a line of its own (verse, addresses).
        const QStringList lines = block.text().split(QChar::LineSeparator);
        const int level = block.blockFormat().headingLevel();
        if (level >= 1 && level <= 2) writer.StartChapter();
        for (const QString& line : lines)
            level > 0 ? writer.Heading(line) : writer.Paragraph(line);
    }
    return writer.Finish();
}

}  // namespace

Book ConvertHtml(const std::string& bytes) {
    const QString html = DecodeMarkup(bytes);
    if (!RootElementIs(html, QStringLiteral("html"))) return ConvertTagSoup(html);
    BookWriter writer;
    try {
        writer.SetTitle(WalkXhtml(html, writer));
    } catch (const BookError& error) {
        // A page that only looks like XHTML at its top is read as ordinary HTML.
        if (std::string_view(error.what()).starts_with("XML")) throw;
        return ConvertTagSoup(html);
    }
    return writer.Finish();
}

}  // namespace tovrin
