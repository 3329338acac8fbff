#include "books/XmlInput.h"

#include "books/Book.h"
#include "text/CodePages.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <utility>

namespace tovrin {

namespace {

// The encoding named at the top of the file, if any.
QString DeclaredEncoding(const std::string& bytes) {
    const QString head = QString::fromLatin1(bytes.data(), std::min<qsizetype>(bytes.size(), 2048));
    static const QRegularExpression xml(
        QStringLiteral(R"(^\s*<\?xml[^>]*encoding\s*=\s*["']([A-Za-z0-9._:-]+)["'])"));
    static const QRegularExpression meta(
        QStringLiteral(R"(<meta[^>]*charset\s*=\s*["']?([A-Za-z0-9._:-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    QRegularExpressionMatch match = xml.match(head);
    if (!match.hasMatch()) match = meta.match(head);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString Decode(const std::string& bytes, const QString& encoding) {
    if (encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0)
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder decoder(encoding.toLatin1().constData());
    if (!decoder.isValid())
        throw BookError("неизвестная кодировка \"" + encoding.toStdString() + "\"");
    QString text =
        decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return text;
}

const std::pair<const char*, char16_t> kHtmlEntities[] = {
    {"nbsp", u'\u00A0'},   {"shy", u'\u00AD'},   {"mdash", u'\u2014'},  {"ndash", u'\u2013'},
    {"laquo", u'\u00AB'},  {"raquo", u'\u00BB'}, {"hellip", u'\u2026'}, {"copy", u'\u00A9'},
    {"bdquo", u'\u201E'},  {"ldquo", u'\u201C'}, {"rdquo", u'\u201D'},  {"lsquo", u'\u2018'},
    {"rsquo", u'\u2019'},  {"sbquo", u'\u201A'}, {"middot", u'\u00B7'}, {"bull", u'\u2022'},
    {"deg", u'\u00B0'},    {"sect", u'\u00A7'},  {"times", u'\u00D7'},  {"minus", u'\u2212'},
    {"thinsp", u'\u2009'}, {"ensp", u'\u2002'},  {"emsp", u'\u2003'},   {"zwnj", u'\u200C'},
    {"zwj", u'\u200D'},    {"trade", u'\u2122'}, {"reg", u'\u00AE'},    {"euro", u'\u20AC'},
    {"numero", u'\u2116'}, {"prime", u'\u2032'}, {"Prime", u'\u2033'},
};

}  // namespace

QString DecodeMarkup(const std::string& bytes) {
    const std::string_view view(bytes);
    if (view.starts_with("\xEF\xBB\xBF")) return Decode(bytes.substr(3), QStringLiteral("UTF-8"));
    if (view.starts_with("\xFF\xFE") || view.starts_with("\xFE\xFF"))
        return Decode(bytes, QStringLiteral("UTF-16"));
    const QString declared = DeclaredEncoding(bytes);
    if (!declared.isEmpty()) return Decode(bytes, declared);
    return Decode(bytes,
                  IsValidUtf8(bytes) ? QStringLiteral("UTF-8") : QStringLiteral("windows-1251"));
}

XmlInput::XmlInput(const QString& text) : reader_(text) {}

QXmlStreamReader::TokenType XmlInput::Next() {
    for (;;) {
        const QXmlStreamReader::TokenType token = reader_.readNext();
        if (token == QXmlStreamReader::DTD) {
            // Refused before the first element, so no declared entity is ever expanded.
            if (!reader_.entityDeclarations().isEmpty() ||
                reader_.text().contains(QLatin1String("<!ENTITY")))
                throw BookError("XML с объявлениями сущностей (<!ENTITY>) не открывается");
            continue;
        }
        if (token == QXmlStreamReader::Comment || token == QXmlStreamReader::ProcessingInstruction)
            continue;
        if (token == QXmlStreamReader::Invalid)
            throw BookError("файл поврежден: ошибка XML в строке " +
                            std::to_string(reader_.lineNumber()) + " (" +
                            reader_.errorString().toStdString() + ")");
        return token;
    }
}

QString XmlInput::Text() const {
    if (reader_.tokenType() != QXmlStreamReader::EntityReference) return reader_.text().toString();
    const QStringView name = reader_.name();
    for (const auto& [entity, character] : kHtmlEntities)
        if (name == QLatin1String(entity)) return QString(QChar(character));
    return QString();
}

void XmlInput::SkipElement() {
    for (int depth = 1; depth > 0;) {
        const auto token = Next();
        if (token == QXmlStreamReader::StartElement) ++depth;
        if (token == QXmlStreamReader::EndElement) --depth;
        if (token == QXmlStreamReader::EndDocument) return;
    }
}

QString XmlInput::ElementText() {
    QString text;
    for (int depth = 1; depth > 0;) {
        const auto token = Next();
        if (token == QXmlStreamReader::StartElement) ++depth;
        if (token == QXmlStreamReader::EndElement) --depth;
        if (token == QXmlStreamReader::Characters || token == QXmlStreamReader::EntityReference)
            text += Text();
        if (token == QXmlStreamReader::EndDocument) break;
    }
    return text;
}

bool RootElementIs(const QString& text, const QString& name) {
    QXmlStreamReader reader(text);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement)
            return reader.name().compare(name, Qt::CaseInsensitive) == 0;
    }
    return false;
}

}  // namespace tovrin
