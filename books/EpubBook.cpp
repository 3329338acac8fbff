// EPUB 2 and 3: the package document named by META-INF/container.xml gives the title, the
// authors and the spine; each spine item is read in order as a chapter (or more, where its
// headings open new ones).
#include "books/BookWriter.h"
#include "books/Converters.h"
#include "books/XhtmlWalker.h"
#include "books/XmlInput.h"

#include <QHash>
#include <QUrl>

namespace tovrin {

namespace {

using Token = QXmlStreamReader::TokenType;

struct Package {
    QString title;
    QStringList authors;
    QHash<QString, QString> hrefs;  // manifest id -> path in the archive
    QHash<QString, QString> types;  // manifest id -> media type
    QStringList spine;              // manifest ids in reading order
    QString ncxId;                  // the EPUB 2 table of contents
    QString navId;                  // the EPUB 3 navigation document
};

QString ReadXml(ZipArchive& archive, const QString& path) {
    return DecodeMarkup(archive.Read(path.toStdString()));
}

// A reference inside the archive resolved against the folder of the file that holds it.
QString ResolvePath(const QString& folder, const QString& href) {
    const QString path = QUrl::fromPercentEncoding(href.section(QLatin1Char('#'), 0, 0).toUtf8());
    QStringList parts = folder.isEmpty() ? QStringList() : folder.split(QLatin1Char('/'));
    for (const QString& part : path.split(QLatin1Char('/'))) {
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty()) parts.removeLast();
        } else if (!part.isEmpty() && part != QLatin1String(".")) {
            parts << part;
        }
    }
    return parts.join(QLatin1Char('/'));
}

QString FolderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

QString PackagePath(ZipArchive& archive) {
    XmlInput xml(ReadXml(archive, QStringLiteral("META-INF/container.xml")));
    for (Token t = xml.Next(); t != Token::EndDocument; t = xml.Next()) {
        if (t == Token::StartElement && xml.Reader().name() == u"rootfile")
            return xml.Reader().attributes().value(QLatin1String("full-path")).toString();
    }
    throw BookError("в книге EPUB не указан файл описания");
}

Package ReadPackage(ZipArchive& archive, const QString& path) {
    Package package;
    const QString folder = FolderOf(path);
    XmlInput xml(ReadXml(archive, path));
    for (Token t = xml.Next(); t != Token::EndDocument; t = xml.Next()) {
        if (t != Token::StartElement) continue;
        const QXmlStreamReader& r = xml.Reader();
        const QStringView name = r.name();
        const auto attribute = [&](const char* key) {
            return r.attributes().value(QLatin1String(key)).toString();
        };
        if (name == u"title" && package.title.isEmpty()) {
            package.title = xml.ElementText();
        } else if (name == u"creator") {
            package.authors << CleanLine(xml.ElementText());
        } else if (name == u"item") {
            const QString id = attribute("id");
            package.hrefs.insert(id, ResolvePath(folder, attribute("href")));
            package.types.insert(id, attribute("media-type"));
            if (attribute("properties").split(QLatin1Char(' ')).contains(QLatin1String("nav")))
                package.navId = id;
        } else if (name == u"spine") {
            package.ncxId = attribute("toc");
        } else if (name == u"itemref" && attribute("linear") != QLatin1String("no")) {
            package.spine << attribute("idref");
        }
    }
    return package;
}

// Paths of the archive's encrypted files, as META-INF/encryption.xml lists them.
QStringList EncryptedPaths(ZipArchive& archive) {
    QStringList paths;
    if (!archive.Has("META-INF/encryption.xml")) return paths;
    XmlInput xml(ReadXml(archive, QStringLiteral("META-INF/encryption.xml")));
    for (Token t = xml.Next(); t != Token::EndDocument; t = xml.Next()) {
        if (t == Token::StartElement && xml.Reader().name() == u"CipherReference")
            paths << ResolvePath(QString(),
                                 xml.Reader().attributes().value(QLatin1String("URI")).toString());
    }
    return paths;
}

// The table of contents' label of each file it names (the first one for a file named twice):
// the name of a chapter that brings no heading of its own. Entries are <navLabel><text> with
// <content src> in an NCX file, and <a href> in an EPUB 3 navigation document.
QHash<QString, QString> ContentsLabels(ZipArchive& archive, const QString& path) {
    QHash<QString, QString> labels;
    if (path.isEmpty() || !archive.Has(path.toStdString())) return labels;
    const QString folder = FolderOf(path);
    XmlInput xml(ReadXml(archive, path));
    QString label;
    for (Token t = xml.Next(); t != Token::EndDocument; t = xml.Next()) {
        if (t != Token::StartElement) continue;
        const QXmlStreamReader& r = xml.Reader();
        if (r.name() == u"text") {
            label = xml.ElementText();
        } else if (r.name() == u"content" || r.name() == u"a") {
            const bool link = r.name() == u"a";
            const QString href =
                r.attributes().value(QLatin1String(link ? "href" : "src")).toString();
            if (link) label = xml.ElementText();
            const QString target = ResolvePath(folder, href);
            if (!labels.contains(target)) labels.insert(target, CleanLine(label));
        }
    }
    return labels;
}

bool IsXhtml(const QString& type) {
    return type == QLatin1String("application/xhtml+xml") || type == QLatin1String("text/html");
}

}  // namespace

Book ConvertEpub(ZipArchive& archive) {
    const Package package = ReadPackage(archive, PackagePath(archive));
    const QStringList encrypted = EncryptedPaths(archive);
    const QHash<QString, QString> labels = ContentsLabels(
        archive, package.hrefs.value(package.navId.isEmpty() ? package.ncxId : package.navId));
    BookWriter writer;
    writer.SetTitle(package.title);
    writer.SetAuthor(package.authors.join(QStringLiteral(", ")));
    for (const QString& id : package.spine) {
        const QString path = package.hrefs.value(id);
        if (path.isEmpty() || !IsXhtml(package.types.value(id))) continue;
        if (encrypted.contains(path)) throw BookError("книга зашифрована (DRM)");
        writer.StartChapter(labels.value(path));
        WalkXhtml(ReadXml(archive, path), writer);
    }
    return writer.Finish();
}

}  // namespace tovrin
