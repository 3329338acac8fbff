// Word (DOCX) and OpenDocument (ODT) text documents: paragraphs in order, heading styles as
// headings (levels 1 and 2 open chapters), notes left out; title and author from the
// document's properties.
#include "books/BookWriter.h"
#include "books/Converters.h"
#include "books/XmlInput.h"

#include <QHash>

namespace tovrin {

namespace {

using Token = QXmlStreamReader::TokenType;

QString ReadXml(ZipArchive& archive, const char* path) {
    return DecodeMarkup(archive.Read(path));
}

// Title and author from a Dublin Core properties file (docProps/core.xml, meta.xml).
void ReadProperties(ZipArchive& archive, const char* path, BookWriter& writer) {
    if (!archive.Has(path)) return;
    XmlInput xml(ReadXml(archive, path));
    for (Token t = xml.Next(); t != Token::EndDocument; t = xml.Next()) {
        if (t != Token::StartElement) continue;
        const QStringView name = xml.Reader().name();
        if (name == u"title")
            writer.SetTitle(xml.ElementText());
        else if (name == u"creator" || name == u"initial-creator")
            writer.SetAuthor(xml.ElementText());
    }
}

// A heading's level (1-9) or 0 for body text.
void WriteLine(BookWriter& writer, const QString& text, int level) {
    if (level == 0) {
        writer.Paragraph(text);
        return;
    }
    if (level <= 2) writer.StartChapter();
    writer.Heading(text);
}

// ---- DOCX --------------------------------------------------------------------------------

// Outline level (1-9) of every paragraph style that makes headings.
QHash<QString, int> DocxHeadingStyles(ZipArchive& archive) {
    QHash<QString, int> levels;
    if (!archive.Has("word/styles.xml")) return levels;
    XmlInput xml(ReadXml(archive, "word/styles.xml"));
    QString style;
    for (Token t = xml.Next(); t != Token::EndDocument; t = xml.Next()) {
        if (t != Token::StartElement) continue;
        const QXmlStreamReader& r = xml.Reader();
        const QString value = r.attributes().value(QLatin1String("w:val")).toString();
        if (r.name() == u"style") {
            style = r.attributes().value(QLatin1String("w:styleId")).toString();
        } else if (r.name() == u"name") {
            const QString lower = value.toLower();
            if (lower == QLatin1String("title")) levels.insert(style, 1);
            if (lower.startsWith(QLatin1String("heading ")))
                levels.insert(style, qBound(1, lower.mid(8).toInt(), 9));
        } else if (r.name() == u"outlineLvl") {
            levels.insert(style, qBound(1, value.toInt() + 1, 9));
        }
    }
    return levels;
}

class DocxReader {
  public:
    DocxReader(ZipArchive& archive, BookWriter& writer)
        : archive_(archive), writer_(writer), headings_(DocxHeadingStyles(archive)) {}

    void Read() {
        XmlInput xml(ReadXml(archive_, "word/document.xml"));
        for (Token t = xml.Next(); t != Token::EndDocument; t = xml.Next()) {
            if (t == Token::StartElement && xml.Reader().name() == u"p") Paragraph(xml);
        }
    }

  private:
    void Paragraph(XmlInput& xml) {
        QString text;
        int level = 0;
        for (int depth = 1; depth > 0;) {
            const Token t = xml.Next();
            if (t == Token::EndDocument) break;
            if (t == Token::EndElement) {
                --depth;
                continue;
            }
            if (t != Token::StartElement) continue;
            ++depth;
            const QXmlStreamReader& r = xml.Reader();
            const QStringView name = r.name();
            const QString value = r.attributes().value(QLatin1String("w:val")).toString();
            if (name == u"t") {
                text += xml.ElementText();
                --depth;
            } else if (name == u"tab" || name == u"br" || name == u"cr") {
                text += u' ';
            } else if (name == u"pStyle") {
                level = headings_.value(value, 0);
            } else if (name == u"outlineLvl" && value.toInt() < 9) {
                level = value.toInt() + 1;
            }
        }
        WriteLine(writer_, text, level);
    }

    ZipArchive& archive_;
    BookWriter& writer_;
    const QHash<QString, int> headings_;
};

// ---- ODT ---------------------------------------------------------------------------------

// The text of one paragraph or heading of content.xml; notes and their citations are skipped.
QString OdtInline(XmlInput& xml) {
    QString text;
    for (int depth = 1; depth > 0;) {
        const Token t = xml.Next();
        if (t == Token::EndDocument) break;
        if (t == Token::EndElement) {
            --depth;
        } else if (t == Token::Characters || t == Token::EntityReference) {
            text += xml.Text();
        } else if (t == Token::StartElement) {
            const QStringView name = xml.Reader().name();
            if (name == u"note" || name == u"annotation" || name == u"tracked-changes") {
                xml.SkipElement();
                continue;
            }
            ++depth;
            if (name == u"s") {
                const int count = xml.Reader().attributes().value(QLatin1String("text:c")).toInt();
                text += QString(qMax(1, count), u' ');
            } else if (name == u"tab" || name == u"line-break") {
                text += u' ';
            }
        }
    }
    return text;
}

bool OdtIsEncrypted(ZipArchive& archive) {
    if (!archive.Has("META-INF/manifest.xml")) return false;
    XmlInput xml(ReadXml(archive, "META-INF/manifest.xml"));
    for (Token t = xml.Next(); t != Token::EndDocument; t = xml.Next()) {
        if (t == Token::StartElement && xml.Reader().name() == u"encryption-data") return true;
    }
    return false;
}

void ReadOdtBody(ZipArchive& archive, BookWriter& writer) {
    XmlInput xml(ReadXml(archive, "content.xml"));
    bool inText = false;
    for (Token t = xml.Next(); t != Token::EndDocument; t = xml.Next()) {
        if (t != Token::StartElement) continue;
        const QXmlStreamReader& r = xml.Reader();
        const QStringView name = r.name();
        if (name == u"text" && r.prefix() == u"office") {
            inText = true;
        } else if (!inText) {
            continue;
        } else if (name == u"h") {
            const int level = r.attributes().value(QLatin1String("text:outline-level")).toInt();
            WriteLine(writer, OdtInline(xml), qMax(1, level));
        } else if (name == u"p") {
            writer.Paragraph(OdtInline(xml));
        } else if (name == u"tracked-changes" || name == u"sequence-decls") {
            xml.SkipElement();
        }
    }
}

}  // namespace

Book ConvertDocx(ZipArchive& archive) {
    BookWriter writer;
    ReadProperties(archive, "docProps/core.xml", writer);
    DocxReader(archive, writer).Read();
    return writer.Finish();
}

Book ConvertOdt(ZipArchive& archive) {
    if (OdtIsEncrypted(archive)) throw BookError("файл зашифрован");
    BookWriter writer;
    ReadProperties(archive, "meta.xml", writer);
    ReadOdtBody(archive, writer);
    return writer.Finish();
}

}  // namespace tovrin
