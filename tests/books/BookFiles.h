#pragma once

#include "books/Book.h"

#include <string>
#include <utility>
#include <vector>

namespace tovrin::test {

// Entries of a zip archive made by a test: name, content and whether it is stored unpacked.
struct ZipEntry {
    std::string Name;
    std::string Content;
    bool Stored = false;
};

// A zip archive's bytes, made with libzip. `password` encrypts every entry (AES-256).
std::string MakeZip(const std::vector<ZipEntry>& entries, const std::string& password = {});

// Minimal containers of each format around the given inner documents.
std::string MakeEpub(const std::string& opf, const std::vector<ZipEntry>& content);
std::string MakeDocx(const std::string& documentXml, const std::string& stylesXml = {});
std::string MakeOdt(const std::string& contentXml, const std::string& manifestXml = {});

// A PDF drawn with Qt: each page's lines as text, or, with `asPicture`, as a picture only (no
// text layer). Needs a QGuiApplication.
std::string MakePdf(const std::vector<std::vector<std::string>>& pages, bool asPicture = false);

// A PDF written out by hand: one page per text (Latin letters, a line each), and an outline
// whose entries name the pages given.
std::string MakeOutlinedPdf(const std::vector<std::string>& pages,
                            const std::vector<std::pair<std::string, int>>& outline);

// The sample books of samples/.
std::string SampleBytes(const std::string& name);

// The text's lines (Windows-1251 bytes converted to UTF-8), without their line breaks.
std::vector<std::string> Lines(const std::string& text);

// Offsets where the player's "next section" command stops when walked from the start with the
// given layout (a paragraph form and section count).
std::vector<size_t> SectionStops(const std::string& text, int abzType, int razdEmpt);

}  // namespace tovrin::test
