#pragma once

#include <QString>
#include <QXmlStreamReader>

#include <string>

namespace tovrin {

// The text of an XML or HTML file: a byte-order mark or the encoding its XML declaration or
// HTML meta tag names, else UTF-8 when the bytes are valid UTF-8, else Windows-1251. Throws
// BookError for an encoding the system cannot read.
QString DecodeMarkup(const std::string& bytes);

// Reads XML documents of books with QXmlStreamReader. Documents that declare entities are
// refused before any entity is expanded; the named character references of HTML that such
// documents use without declaring them are resolved here.
class XmlInput {
  public:
    explicit XmlInput(const QString& text);

    // The next token, skipping the document type and comments; throws BookError on malformed
    // XML or on entity declarations.
    QXmlStreamReader::TokenType Next();
    const QXmlStreamReader& Reader() const { return reader_; }
    // The text of a Characters or EntityReference token.
    QString Text() const;
    // Skips the current element's content up to its end.
    void SkipElement();
    // The concatenated text of the current element up to its end.
    QString ElementText();

  private:
    QXmlStreamReader reader_;
};

// Whether the root element of an XML text is `name` (local name, letter case ignored).
bool RootElementIs(const QString& text, const QString& name);

}  // namespace tovrin
