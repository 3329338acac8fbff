#include "tests/books/BookFiles.h"

#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"
#include "text/TextFinder.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>

#include <zip.h>

#include <cstdio>
#include <stdexcept>

namespace tovrin::test {

std::string MakeZip(const std::vector<ZipEntry>& entries, const std::string& password) {
    const std::string path = MakeTempDir("zip") + "/archive.zip";
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) throw std::runtime_error("zip_open failed");
    for (const ZipEntry& entry : entries) {
        zip_source_t* source =
            zip_source_buffer(archive, entry.Content.data(), entry.Content.size(), 0);
        const zip_int64_t index = zip_file_add(archive, entry.Name.c_str(), source, 0);
        if (index < 0) throw std::runtime_error("zip_file_add failed");
        const auto i = static_cast<zip_uint64_t>(index);
        zip_set_file_compression(archive, i, entry.Stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
        if (!password.empty() &&
            zip_file_set_encryption(archive, i, ZIP_EM_AES_256, password.c_str()) != 0)
            throw std::runtime_error("zip_file_set_encryption failed");
    }
    if (zip_close(archive) != 0) throw std::runtime_error("zip_close failed");
    return ReadWholeFile(path);
}

std::string MakeEpub(const std::string& opf, const std::vector<ZipEntry>& content) {
    std::vector<ZipEntry> entries = {
        {"mimetype", "application/epub+zip", true},
        {"META-INF/container.xml",
         "<?xml version=\"1.0\"?><container version=\"1.0\" "
         "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
         "<rootfile full-path=\"OPS/book.opf\" media-type=\"application/oebps-package+xml\"/>"
         "</rootfiles></container>"},
        {"OPS/book.opf", opf}};
    entries.insert(entries.end(), content.begin(), content.end());
    return MakeZip(entries);
}

std::string MakeDocx(const std::string& documentXml, const std::string& stylesXml) {
    std::vector<ZipEntry> entries = {
        {"[Content_Types].xml",
         "<?xml version=\"1.0\"?><Types "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
        {"word/document.xml", documentXml}};
    if (!stylesXml.empty()) entries.push_back({"word/styles.xml", stylesXml});
    return MakeZip(entries);
}

std::string MakeOdt(const std::string& contentXml, const std::string& manifestXml) {
    std::vector<ZipEntry> entries = {{"mimetype", "application/vnd.oasis.opendocument.text", true},
                                     {"content.xml", contentXml}};
    if (!manifestXml.empty()) entries.push_back({"META-INF/manifest.xml", manifestXml});
    return MakeZip(entries);
}

std::string MakePdf(const std::vector<std::vector<std::string>>& pages, bool asPicture) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        QPainter painter(&writer);
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 12));
        for (size_t page = 0; page < pages.size(); ++page) {
            if (page > 0) writer.newPage();
            int y = 40;
            for (const std::string& line : pages[page]) {
                if (asPicture)
                    painter.fillRect(40, y - 10, 300, 8, Qt::black);
                else
                    painter.drawText(40, y, QString::fromStdString(line));
                y += 20;
            }
        }
    }
    return buffer.data().toStdString();
}

std::string MakeOutlinedPdf(const std::vector<std::string>& pages,
                            const std::vector<std::pair<std::string, int>>& outline) {
    // Objects: 1 catalog, 2 page tree, 3 font, 4 outline root, then per page its page and
    // content, then the outline entries.
    std::vector<std::string> objects(4);
    const int firstPage = 5;
    const int firstItem = firstPage + 2 * static_cast<int>(pages.size());
    const auto ref = [](int number) { return std::to_string(number) + " 0 R"; };
    std::string kids;
    for (size_t i = 0; i < pages.size(); ++i) {
        const int page = firstPage + 2 * static_cast<int>(i);
        kids += ref(page) + " ";
        const std::string stream = "BT /F1 12 Tf 72 720 Td (" + pages[i] + ") Tj ET";
        objects.push_back(
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << "
            "/Font << /F1 3 0 R >> >> /Contents " +
            ref(page + 1) + " >>");
        objects.push_back("<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream +
                          "\nendstream");
    }
    for (size_t i = 0; i < outline.size(); ++i) {
        const int item = firstItem + static_cast<int>(i);
        std::string entry = "<< /Title (" + outline[i].first + ") /Parent 4 0 R /Dest [" +
                            ref(firstPage + 2 * outline[i].second) + " /Fit]";
        if (i > 0) entry += " /Prev " + ref(item - 1);
        if (i + 1 < outline.size()) entry += " /Next " + ref(item + 1);
        objects.push_back(entry + " >>");
    }
    objects[0] = "<< /Type /Catalog /Pages 2 0 R /Outlines 4 0 R >>";
    objects[1] =
        "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>";
    objects[2] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    objects[3] = "<< /Type /Outlines /First " + ref(firstItem) + " /Last " +
                 ref(firstItem + static_cast<int>(outline.size()) - 1) + " /Count " +
                 std::to_string(outline.size()) + " >>";
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::string SampleBytes(const std::string& name) {
    return ReadWholeFile(std::string(TOVRIN_SAMPLES_DIR) + "/" + name);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(Windows1251ToUtf8(text.substr(start, end - start)));
        start = end + 2;
    }
    return lines;
}

std::vector<size_t> SectionStops(const std::string& text, int abzType, int razdEmpt) {
    LayoutParams layout;
    layout.AbzType = abzType;
    layout.RazdEmpt = razdEmpt;
    const char* const first = text.c_str();
    const char* const end = first + text.size();
    std::vector<size_t> stops;
    const char* cursor = first;
    for (;;) {
        SetTextBounds(first, end);
        const char* next = FindNextSection(layout, cursor).Start;
        if (next == cursor)
            next = FindNextSection(layout, FindNextSection(layout, cursor).End).Start;
        if (next <= cursor || next >= end) break;
        stops.push_back(static_cast<size_t>(next - first));
        cursor = next;
    }
    return stops;
}

}  // namespace tovrin::test
