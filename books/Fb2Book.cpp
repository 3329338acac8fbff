// FictionBook 2: the description's title and authors, then the main bodies' sections as
// chapters. Bodies of notes and comments are footnotes and are not read.
#include "books/BookWriter.h"
#include "books/Converters.h"
#include "books/XmlInput.h"

namespace tovrin {

namespace {

using Token = QXmlStreamReader::TokenType;

class Fb2Reader {
  public:
    explicit Fb2Reader(const QString& text) : xml_(text) {}

    Book Read() {
        if (!RootIsFictionBook()) throw BookError("это не книга FB2");
        while (Next() != Token::EndDocument) {
            if (!IsStart()) continue;
            const QStringView name = xml_.Reader().name();
            if (name == u"title-info")
                ReadTitleInfo();
            else if (name == u"body")
                ReadBody();
            else if (name == u"binary" || name == u"document-info" || name == u"publish-info")
                xml_.SkipElement();
        }
        return writer_.Finish();
    }

  private:
    Token Next() { return xml_.Next(); }
    bool IsStart() const { return xml_.Reader().isStartElement(); }
    bool IsEnd() { return xml_.Reader().isEndElement(); }

    bool RootIsFictionBook() {
        for (Token t = Next(); t != Token::EndDocument; t = Next())
            if (t == Token::StartElement) return xml_.Reader().name() == u"FictionBook";
        return false;
    }

    // Calls `visit` with the name of each element started inside the current one, up to the
    // current one's end; `visit` reads the element whole and returns true, or returns false to
    // have the walk go on into it.
    template <typename Visit>
    void ForEachInnerElement(Visit visit) {
        for (int depth = 1; depth > 0;) {
            const Token t = Next();
            if (t == Token::EndElement) --depth;
            if (t == Token::EndDocument) break;
            if (t == Token::StartElement && !visit(xml_.Reader().name())) ++depth;
        }
    }

    void ReadTitleInfo() {
        QStringList authors;
        ForEachInnerElement([&](QStringView name) {
            if (name == u"book-title")
                writer_.SetTitle(xml_.ElementText());
            else if (name == u"author")
                authors << ReadAuthor();
            else if (name == u"annotation" || name == u"coverpage")
                xml_.SkipElement();
            else
                return false;
            return true;
        });
        authors.removeAll(QString());
        writer_.SetAuthor(authors.join(QStringLiteral(", ")));
    }

    QString ReadAuthor() {
        QString first, middle, last, nick;
        ForEachInnerElement([&](QStringView name) {
            QString* part = name == u"first-name"    ? &first
                            : name == u"middle-name" ? &middle
                            : name == u"last-name"   ? &last
                            : name == u"nickname"    ? &nick
                                                     : nullptr;
            if (part)
                *part = CleanLine(xml_.ElementText());
            else
                xml_.SkipElement();
            return true;
        });
        QStringList parts{first, middle, last};
        parts.removeAll(QString());
        return parts.isEmpty() ? nick : parts.join(QLatin1Char(' '));
    }

    void ReadBody() {
        const QStringView kind = xml_.Reader().attributes().value(QLatin1String("name"));
        if (kind == u"notes" || kind == u"comments" || kind == u"footnotes") {
            xml_.SkipElement();
            return;
        }
        ReadBlocks();
    }

    enum class Line { BookHeading, Heading, Paragraph };

    // The content of a body (depth 0), section, poem, cite or epigraph, up to its end.
    void ReadBlocks(int depth = 0) {
        for (;;) {
            const Token t = Next();
            if (t == Token::EndElement || t == Token::EndDocument) return;
            if (t != Token::StartElement) continue;
            const QStringView name = xml_.Reader().name();
            if (name == u"section") {
                writer_.StartChapter();
                ReadBlocks(depth + 1);
            } else if (name == u"title") {
                ReadLines(depth == 0 ? Line::BookHeading : Line::Heading);
            } else if (name == u"subtitle") {
                writer_.Heading(InlineText());
            } else if (name == u"p" || name == u"v" || name == u"text-author") {
                writer_.Paragraph(InlineText());
            } else if (name == u"table") {
                ReadLines(Line::Paragraph);
            } else if (name == u"image" || name == u"empty-line" || name == u"annotation") {
                xml_.SkipElement();
            } else {
                ReadBlocks(depth + 1);  // poem, stanza, cite, epigraph and unknown containers
            }
        }
    }

    // Every paragraph or row inside the current element as a line of its own.
    void ReadLines(Line kind) {
        for (;;) {
            const Token t = Next();
            if (t == Token::EndElement || t == Token::EndDocument) return;
            if (t != Token::StartElement) continue;
            const QStringView name = xml_.Reader().name();
            if (name == u"p" || name == u"tr") {
                const QString text = InlineText();
                if (kind == Line::Paragraph)
                    writer_.Paragraph(text);
                else if (kind == Line::Heading)
                    writer_.Heading(text);
                else
                    writer_.BookHeading(text);
            } else {
                xml_.SkipElement();
            }
        }
    }

    // The text of a paragraph: its inline markup kept as text, note references left out.
    QString InlineText() {
        QString text;
        for (int depth = 1; depth > 0;) {
            const Token t = Next();
            if (t == Token::EndDocument) break;
            if (t == Token::EndElement) {
                --depth;
                // Cells of a table row are kept apart.
                if (xml_.Reader().name() == u"td" || xml_.Reader().name() == u"th") text += u' ';
            } else if (t == Token::StartElement) {
                if (IsNoteReference()) {
                    xml_.SkipElement();
                    continue;
                }
                ++depth;
            } else if (t == Token::Characters || t == Token::EntityReference) {
                text += xml_.Text();
            }
        }
        return text;
    }

    bool IsNoteReference() {
        const QXmlStreamReader& r = xml_.Reader();
        return r.name() == u"a" && r.attributes().value(QLatin1String("type")) == u"note";
    }

    XmlInput xml_;
    BookWriter writer_;
};

}  // namespace

Book ConvertFb2(const std::string& bytes) {
    return Fb2Reader(DecodeMarkup(bytes)).Read();
}

}  // namespace tovrin
