#include "books/BookConverter.h"

#include "books/Converters.h"

#include <algorithm>
#include <cctype>

namespace tovrin {

namespace {

bool StartsWith(const std::string& bytes, std::string_view prefix) {
    return std::string_view(bytes).starts_with(prefix);
}

std::string Lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return Lowered(text).ends_with(suffix);
}

// The FB2 file inside a zipped FB2: the one entry whose name ends in ".fb2".
std::optional<std::string> Fb2Entry(const ZipArchive& archive) {
    std::optional<std::string> found;
    for (const std::string& name : archive.Names()) {
        if (!EndsWith(name, ".fb2")) continue;
        if (found) return std::nullopt;
        found = name;
    }
    return found;
}

std::optional<BookFormat> ZipFormat(ZipArchive& archive) {
    std::string mimetype;
    if (archive.Has("mimetype")) mimetype = archive.Read("mimetype");
    while (!mimetype.empty() && std::isspace(static_cast<unsigned char>(mimetype.back())))
        mimetype.pop_back();
    if (mimetype == "application/epub+zip" || archive.Has("META-INF/container.xml"))
        return BookFormat::Epub;
    if (mimetype.starts_with("application/vnd.oasis.opendocument.text")) return BookFormat::Odt;
    if (archive.Has("word/document.xml")) return BookFormat::Docx;
    if (Fb2Entry(archive)) return BookFormat::Fb2Zip;
    return std::nullopt;
}

// Markup by its first bytes: a FictionBook root element, or an HTML page.
std::optional<BookFormat> MarkupFormat(const std::string& bytes) {
    const std::string head = Lowered(std::string_view(bytes).substr(0, 4096));
    const size_t first = head.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    if (first == std::string::npos || head[first] != '<') return std::nullopt;
    if (head.find("<fictionbook") != std::string::npos) return BookFormat::Fb2;
    if (head.find("<html") != std::string::npos || head.find("<!doctype html") != std::string::npos)
        return BookFormat::Html;
    return std::nullopt;
}

constexpr std::string_view kOleSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

}  // namespace

std::optional<BookFormat> DetectBookFormat(const std::string& bytes) {
    if (StartsWith(bytes, "%PDF-")) return BookFormat::Pdf;
    if (LooksLikeZip(bytes)) {
        ZipArchive archive(bytes);
        const auto format = ZipFormat(archive);
        if (!format) throw BookError("в архиве нет книги FB2, EPUB, DOCX или ODT");
        return format;
    }
    // Password-protected Word and OpenDocument files are stored in an OLE container.
    if (StartsWith(bytes, kOleSignature))
        throw BookError(
            "файл зашифрован или сохранен в старом формате Word (.doc), который не читается");
    return MarkupFormat(bytes);
}

bool LooksLikeBook(const std::string& head) {
    return StartsWith(head, "%PDF-") || LooksLikeZip(head) || StartsWith(head, kOleSignature) ||
           MarkupFormat(head).has_value();
}

std::optional<Book> ConvertBook(const std::string& bytes, const ZipLimits& limits) {
    const std::optional<BookFormat> format = DetectBookFormat(bytes);
    if (!format) return std::nullopt;
    switch (*format) {
        case BookFormat::Fb2:
            return ConvertFb2(bytes);
        case BookFormat::Html:
            return ConvertHtml(bytes);
        case BookFormat::Pdf:
            return ConvertPdf(bytes);
        default:
            break;
    }
    ZipArchive archive(bytes, limits);
    switch (*format) {
        case BookFormat::Epub:
            return ConvertEpub(archive);
        case BookFormat::Docx:
            return ConvertDocx(archive);
        case BookFormat::Odt:
            return ConvertOdt(archive);
        default:
            return ConvertFb2(archive.Read(*Fb2Entry(archive)));
    }
}

}  // namespace tovrin
