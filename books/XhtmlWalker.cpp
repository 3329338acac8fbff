#include "books/XhtmlWalker.h"

#include "books/XmlInput.h"

namespace tovrin {

namespace {

using Token = QXmlStreamReader::TokenType;

bool IsOneOf(QStringView name, std::initializer_list<const char16_t*> names) {
    for (const char16_t* n : names)
        if (name.compare(QStringView(n), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// Heading level 1-6 of an element name, 0 for any other.
int HeadingLevel(QStringView name) {
    if (name.size() != 2 || (name[0] != u'h' && name[0] != u'H')) return 0;
    const int level = name[1].digitValue();
    return level >= 1 && level <= 6 ? level : 0;
}

class XhtmlReader {
  public:
    XhtmlReader(const QString& text, BookWriter& writer) : xml_(text), writer_(writer) {}

    QString Walk() {
        for (Token t = xml_.Next(); t != Token::EndDocument; t = xml_.Next()) {
            if (t == Token::StartElement)
                Start();
            else if (t == Token::EndElement)
                End();
            else if (inBody_ && (t == Token::Characters || t == Token::EntityReference))
                line_ += xml_.Text();
        }
        Flush();
        return title_;
    }

  private:
    void Start() {
        const QXmlStreamReader& r = xml_.Reader();
        const QStringView name = r.name();
        if (name.compare(u"title", Qt::CaseInsensitive) == 0 && !inBody_) {
            title_ = xml_.ElementText();
            return;
        }
        if (name.compare(u"body", Qt::CaseInsensitive) == 0) inBody_ = true;
        if (!inBody_) return;
        if (IsSkipped()) {
            xml_.SkipElement();
            return;
        }
        if (name.compare(u"br", Qt::CaseInsensitive) == 0) {
            Flush();
            return;
        }
        if (const int level = HeadingLevel(name)) {
            Flush();
            if (level <= 2) writer_.StartChapter();
            heading_ = true;
            return;
        }
        if (IsBlock(name)) Flush();
    }

    void End() {
        const QStringView name = xml_.Reader().name();
        if (HeadingLevel(name)) {
            Flush();
            heading_ = false;
        } else if (IsBlock(name)) {
            Flush();
        } else if (IsOneOf(name, {u"td", u"th"})) {
            line_ += u' ';
        }
    }

    bool IsSkipped() const {
        const QXmlStreamReader& r = xml_.Reader();
        const QStringView name = r.name();
        if (IsOneOf(name, {u"script", u"style", u"aside", u"rt", u"rp", u"nav"})) return true;
        // EPUB marks notes and the references to them by their semantic type.
        for (const QXmlStreamAttribute& a : r.attributes()) {
            if (a.name() != u"type") continue;
            const QStringView type = a.value();
            if (type.contains(u"footnote") || type.contains(u"endnote") ||
                type.contains(u"rearnote") || type.contains(u"noteref"))
                return true;
        }
        return false;
    }

    static bool IsBlock(QStringView name) {
        return IsOneOf(
            name, {u"p",  u"div",     u"li",      u"blockquote", u"pre",    u"tr",         u"dt",
                   u"dd", u"section", u"article", u"header",     u"footer", u"figcaption", u"table",
                   u"ul", u"ol",      u"dl",      u"hr",         u"body",   u"address"});
    }

    void Flush() {
        if (!inBody_) {
            line_.clear();
            return;
        }
        heading_ ? writer_.Heading(line_) : writer_.Paragraph(line_);
        line_.clear();
    }

    XmlInput xml_;
    BookWriter& writer_;
    QString line_;
    QString title_;
    bool heading_ = false;
    bool inBody_ = false;
};

}  // namespace

QString WalkXhtml(const QString& text, BookWriter& writer) {
    return XhtmlReader(text, writer).Walk();
}

}  // namespace tovrin
