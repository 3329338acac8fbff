// Bad input ends in a Russian message naming the file, and nothing is unpacked or expanded
// beyond the limits on the way.
#include "books/BookConverter.h"
#include "books/DocumentLoader.h"
#include "tests/books/BookFiles.h"
#include "tests/support/TestEnvironment.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace tovrin::test {
namespace {

// The message the loader gives for these bytes (empty when they open).
std::string Refusal(const std::string& bytes, const ZipLimits& limits = {}) {
    try {
        OpenDocumentBytes(bytes, "книга", limits);
    } catch (const BookError& error) {
        return error.what();
    }
    return {};
}

void ExpectRefusal(const std::string& bytes, const std::string& reason,
                   const ZipLimits& limits = {}) {
    const std::string message = Refusal(bytes, limits);
    EXPECT_TRUE(message.starts_with("Не удается открыть \"книга\": ")) << message;
    EXPECT_NE(message.find(reason), std::string::npos) << message;
}

std::string Fb2WithBody(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><FictionBook><body><section>" + body +
           "</section></body></FictionBook>";
}

TEST(BadBookTest, DamagedArchivesAreRefused) {
    const std::string epub = SampleBytes("lighthouse.epub");
    ExpectRefusal(epub.substr(0, epub.size() / 2), "архив поврежден");
    std::string flipped = epub;
    // Damage the compressed data of the last chapter (its CRC no longer matches).
    const size_t chapter = flipped.find("chapter3.xhtml");
    ASSERT_LT(chapter + 80, flipped.size());
    for (size_t i = chapter + 30; i < chapter + 80; ++i)
        flipped[i] = static_cast<char>(~flipped[i]);
    EXPECT_FALSE(Refusal(flipped).empty());
    ExpectRefusal(MakeZip({{"readme.txt", "не книга"}}), "в архиве нет книги");
    ExpectRefusal(MakeZip({{"mimetype", "application/epub+zip", true}}), "META-INF/container.xml");
}

TEST(BadBookTest, ZipBombsAreStoppedBeforeUnpacking) {
    // 32 MB of one letter packs to a few dozen kilobytes: far beyond any real book's ratio.
    ExpectRefusal(MakeZip({{"book.fb2", std::string(32 << 20, ' ')}}), "архив-бомба");
    // The total is capped as well: each entry is modest, together they are too much.
    ZipLimits small;
    small.MaxTotalBytes = 1 << 20;
    small.MaxEntryBytes = 1 << 20;
    std::string chapter = "<html><body>";
    for (int i = 0; i < 15000; ++i)
        chapter += "<p>Строка " + std::to_string(i * 7919) + "</p>";
    chapter += "</body></html>";
    const std::string opf =
        "<package><manifest><item id=\"a\" href=\"a.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"b\" href=\"b.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"c\" href=\"c.xhtml\" media-type=\"application/xhtml+xml\"/></manifest>"
        "<spine><itemref idref=\"a\"/><itemref idref=\"b\"/><itemref "
        "idref=\"c\"/></spine></package>";
    const std::string three = MakeEpub(
        opf, {{"OPS/a.xhtml", chapter}, {"OPS/b.xhtml", chapter}, {"OPS/c.xhtml", chapter}});
    EXPECT_TRUE(Refusal(three).empty()) << "within the default limits";
    ExpectRefusal(three, "больше чем в 1 МБ", small);
}

TEST(BadBookTest, EntityDeclarationsAreRefusedNotExpanded) {
    // Nine levels of ten-fold references: a billion letters if they were ever expanded.
    std::string declarations = "<!ENTITY e0 \"ха\">";
    for (int i = 1; i <= 9; ++i) {
        declarations += "<!ENTITY e" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j)
            declarations += "&e" + std::to_string(i - 1) + ";";
        declarations += "\">";
    }
    const std::string fb2 =
        "<?xml version=\"1.0\"?><!DOCTYPE FictionBook [" + declarations +
        "]><FictionBook><body><section><p>&e9;</p></section></body></FictionBook>";
    ExpectRefusal(fb2, "<!ENTITY>");
    ExpectRefusal("<!DOCTYPE html [<!ENTITY x \"y\">]><html><body><p>&x;</p></body></html>",
                  "<!ENTITY>");
    const std::string opf =
        "<!DOCTYPE package [<!ENTITY t \"Заголовок\">]><package><metadata><title>&t;</title>"
        "</metadata></package>";
    ExpectRefusal(MakeEpub(opf, {}), "<!ENTITY>");
    ExpectRefusal(Fb2WithBody("<p>оборвано"), "ошибка XML");
}

TEST(BadBookTest, EncryptedFilesAreRefused) {
    ExpectRefusal(MakeZip({{"book.fb2", Fb2WithBody("<p>Тайна</p>")}}, "пароль"), "зашифрован");
    const std::string manifest =
        "<manifest:manifest xmlns:manifest=\"m\"><manifest:file-entry manifest:full-path="
        "\"content.xml\"><manifest:encryption-data/></manifest:file-entry></manifest:manifest>";
    ExpectRefusal(MakeOdt("<x/>", manifest), "зашифрован");
    ExpectRefusal(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'),
                  "зашифрован");
    const std::string opf =
        "<package><manifest><item id=\"a\" href=\"a.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "</manifest><spine><itemref idref=\"a\"/></spine></package>";
    const std::string encryption =
        "<encryption><EncryptedData><CipherData><CipherReference URI=\"OPS/a.xhtml\"/>"
        "</CipherData></EncryptedData></encryption>";
    ExpectRefusal(
        MakeEpub(opf, {{"OPS/a.xhtml", "\x01\x02"}, {"META-INF/encryption.xml", encryption}}),
        "зашифрована");
}

TEST(BadBookTest, PdfWithoutTextLayerAndDamagedPdf) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QGuiApplication app(argc, argv);
    ExpectRefusal(MakePdf({{"скан"}, {"скан"}}, true), "в PDF нет текстового слоя");
    ExpectRefusal("%PDF-1.4\nне документ", "PDF");

    // A PDF that opens only with a password, locked by qpdf (installed by the set-up script).
    const std::string folder = MakeTempDir("locked-pdf");
    const std::string open = folder + "/open.pdf", locked = folder + "/locked.pdf";
    std::ofstream(open, std::ios::binary) << MakePdf({{"тайна"}});
    const std::string lock = "qpdf --encrypt secret owner 256 -- '" + open + "' '" + locked + "'";
    ASSERT_EQ(std::system(lock.c_str()), 0) << lock;
    std::ifstream file(locked, std::ios::binary);
    ExpectRefusal(std::string(std::istreambuf_iterator<char>(file), {}), "файл зашифрован");
}

TEST(BadBookTest, AnHtmlPageReadsNothingButItself) {
    // An endless "style sheet" would never finish loading if it were read.
    const std::optional<Book> book = ConvertBook(
        "<html><head><link rel=\"stylesheet\" href=\"/dev/zero\"><style>@import "
        "url(/dev/zero);</style></head><body><p>Текст<img src=\"/dev/urandom\"></p></body></html>");
    ASSERT_TRUE(book);
    EXPECT_EQ(Lines(book->Text), std::vector<std::string>{"   Текст"});
}

// Whatever damage a file has suffered, opening it either gives a document or a message.
TEST(BadBookTest, RandomDamageEndsInADocumentOrAMessage) {
    std::mt19937 random(19);
    for (const std::string name : {"lighthouse.epub", "lighthouse.fb2"}) {
        const std::string sample = SampleBytes(name);
        for (int round = 0; round < 300; ++round) {
            std::string bytes = sample;
            if (round % 3 == 0) bytes.resize(random() % bytes.size());
            for (unsigned flips = 1 + random() % 8; flips > 0 && !bytes.empty(); --flips)
                bytes[random() % bytes.size()] = static_cast<char>(random());
            try {
                OpenDocumentBytes(bytes, name);
            } catch (const DocumentError&) {
            }
        }
    }
}

TEST(BadBookTest, EmptyBooksAndUnknownEncodingsSayWhy) {
    ExpectRefusal(Fb2WithBody("<p>  </p><empty-line/>"), "в книге нет текста");
    ExpectRefusal("<?xml version=\"1.0\" encoding=\"x-no-such\"?><FictionBook/>",
                  "неизвестная кодировка");
}

TEST(BadBookTest, NothingIsWrittenFromEntryNames) {
    const std::string folder = MakeTempDir("names");
    const std::string opf =
        "<package><manifest><item id=\"a\" href=\"../../../../evil.xhtml\" "
        "media-type=\"application/xhtml+xml\"/></manifest><spine><itemref idref=\"a\"/></spine>"
        "</package>";
    const std::string bytes =
        MakeEpub(opf, {{"evil.xhtml", "<html><body><p>Текст</p></body></html>"},
                       {"../../escape.txt", "x"},
                       {"/tmp/absolute.txt", "y"}});
    const std::string path = folder + "/book.epub";
    std::ofstream(path, std::ios::binary) << bytes;
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    const OpenedDocument opened = OpenDocument(path);
    std::filesystem::current_path(before);
    EXPECT_TRUE(opened.IsBook);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        ++files;
    EXPECT_EQ(files, 1u);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(folder) / "../../escape.txt"));
}

}  // namespace
}  // namespace tovrin::test
