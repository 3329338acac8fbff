// Books of every format become the player's text: one indented line per paragraph, headings at
// the margin, chapters that the section finder reaches one by one, title and author kept.
#include "books/BookConverter.h"
#include "books/DocumentLoader.h"
#include "tests/books/BookFiles.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"
#include "text/PlayerOptions.h"

#include <QGuiApplication>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace tovrin::test {
namespace {

using ::testing::ElementsAre;

const std::vector<std::string> kSampleChapters = {"Глава первая. Остров", "Глава вторая. Письмо",
                                                  "Глава третья. Ответ"};

std::vector<std::string> ChapterTitles(const Book& book) {
    std::vector<std::string> titles;
    for (const BookChapter& chapter : book.Chapters)
        titles.push_back(chapter.Title);
    return titles;
}

std::vector<size_t> LaterChapterOffsets(const Book& book) {
    std::vector<size_t> offsets;
    for (size_t i = 1; i < book.Chapters.size(); ++i)
        offsets.push_back(book.Chapters[i].Offset);
    return offsets;
}

bool Contains(const std::string& text, const std::string& utf8) {
    return text.find(Utf8ToWindows1251(utf8)) != std::string::npos;
}

// The layout rules every converted book keeps, checked line by line, and the chapters found by
// the section finder both with the default options and with what the full analysis chooses.
void ExpectPlayerLayout(const Book& book) {
    ASSERT_FALSE(book.Chapters.empty());
    for (const BookChapter& chapter : book.Chapters) {
        ASSERT_LE(chapter.Offset, book.Text.size());
        EXPECT_TRUE(chapter.Offset == 0 ||
                    book.Text.compare(chapter.Offset - 6, 6, "\r\n\r\n\r\n") == 0)
            << "chapter " << chapter.Title << " does not follow two empty lines";
        EXPECT_TRUE(chapter.Offset == 0 || book.Text[chapter.Offset] != ' ')
            << "a later chapter opens with its heading";
    }
    EXPECT_EQ(book.Text.find("\r\n\r\n\r\n\r\n"), std::string::npos)
        << "no gap is wider than the chapter gap";
    size_t gaps = 0;
    for (size_t at = book.Text.find("\r\n\r\n"); at != std::string::npos;
         at = book.Text.find("\r\n\r\n", at + 6))
        ++gaps;
    EXPECT_EQ(gaps, book.Chapters.size() - 1) << "empty lines stand only between chapters";
    EXPECT_TRUE(book.Text.ends_with("\r\n"));
    EXPECT_EQ(SectionStops(book.Text, 0, 1), LaterChapterOffsets(book)) << "default options";
    PlayerOptions options;
    DefaultPlayerOptions(options);
    AnalyseText(options, true, book.Text.c_str());
    EXPECT_EQ(SectionStops(book.Text, options.AbzType, options.RazdEmpt), LaterChapterOffsets(book))
        << "after the analysis: AbzType " << options.AbzType << ", RazdEmpt " << options.RazdEmpt;
}

TEST(BookConverterTest, SampleFb2InWindows1251KeepsChaptersTitleAuthorAndLeavesOutNotes) {
    const std::optional<Book> book = ConvertBook(SampleBytes("lighthouse.fb2"));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->Title, "Фонарщик с Сухого острова");
    EXPECT_EQ(book->Author, "Тимофей Вересков");
    // The body's own title stands above the first chapter without naming it.
    EXPECT_EQ(ChapterTitles(*book), kSampleChapters);
    EXPECT_EQ(book->Chapters[0].Offset, 0u);
    const std::vector<std::string> lines = Lines(book->Text);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Фонарщик с Сухого острова");
    EXPECT_EQ(lines[1], "Глава первая. Остров");
    EXPECT_EQ(lines[2],
              "   На Сухом острове не было ни одного дерева, зато был маяк, и при маяке жил "
              "фонарщик Аким Сергеевич.");
    EXPECT_FALSE(Contains(book->Text, "смотритель маяка")) << "the footnote is not read inline";
    EXPECT_FALSE(Contains(book->Text, "[1]"));
    EXPECT_TRUE(Contains(book->Text, "«Дорогой фонарщик, — писала"));
    ExpectPlayerLayout(*book);
}

TEST(BookConverterTest, SampleEpubReadsTheSpineInOrder) {
    const std::optional<Book> book = ConvertBook(SampleBytes("lighthouse.epub"));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->Title, "Фонарщик с Сухого острова");
    EXPECT_EQ(book->Author, "Тимофей Вересков");
    EXPECT_EQ(ChapterTitles(*book), kSampleChapters);
    EXPECT_FALSE(Contains(book->Text, "Оглавление")) << "the navigation page is not in the spine";
    ExpectPlayerLayout(*book);
}

std::string Fb2Text(const std::string& encoding) {
    return "<?xml version=\"1.0\" encoding=\"" + encoding +
           "\"?>\n<FictionBook><description><title-info><book-title>Ёлка</book-title>"
           "<author><first-name>Анна</first-name><middle-name>Петровна</middle-name>"
           "<last-name>Ключ</last-name></author></title-info></description><body>"
           "<section><title><p>Часть 1</p></title><section><title><p>Утро</p></title>"
           "<p>Ёжик <emphasis>шёл</emphasis> домой.</p><empty-line/><poem><stanza><v>Раз</v>"
           "<v>Два</v></stanza></poem></section><section><p>Без заголовка.</p></section>"
           "</section></body></FictionBook>\n";
}

TEST(BookConverterTest, Fb2InEachDeclaredEncodingAndZippedGivesTheSameBook) {
    const std::string utf8 = Fb2Text("UTF-8");
    std::string windows = Utf8ToWindows1251(Fb2Text("windows-1251"));
    std::string koi = Utf8ToWindows1251(Fb2Text("KOI8-R"));
    RecodeText(kCodePageWindows, kCodePageKoi, koi.data(), koi.size());
    const std::string zipped = MakeZip({{"book.fb2", utf8}});
    std::optional<Book> first;
    for (const std::string& bytes : {utf8, windows, koi, zipped}) {
        const std::optional<Book> book = ConvertBook(bytes);
        ASSERT_TRUE(book);
        EXPECT_EQ(book->Title, "Ёлка");
        EXPECT_EQ(book->Author, "Анна Петровна Ключ");
        if (!first) {
            first = book;
            continue;
        }
        EXPECT_EQ(book->Text, first->Text);
    }
    // A part's title and its first chapter's make one chapter; a chapter without a title gets
    // a heading line of its own, so the section finder still sees it.
    EXPECT_THAT(ChapterTitles(*first), ElementsAre("Часть 1. Утро", "Глава 2"));
    EXPECT_THAT(Lines(first->Text), ElementsAre("Часть 1", "Утро", "   Ёжик шёл домой.", "   Раз",
                                                "   Два", "", "", "Глава 2", "   Без заголовка."));
    ExpectPlayerLayout(*first);
}

// The table of contents names the second file, which brings no heading of its own.
const std::string kNcx =
    "<ncx><navMap><navPoint><navLabel><text>Весна</text></navLabel><content src=\"../a.xhtml\"/>"
    "</navPoint><navPoint><navLabel><text>Летом</text></navLabel>"
    "<content src=\"Text/two%20words.xhtml#start\"/></navPoint></navMap></ncx>";

TEST(BookConverterTest, EpubResolvesPathsSkipsNonLinearItemsAndFootnotes) {
    const std::string opf =
        "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"2.0\">"
        "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>Сад</dc:title>"
        "<dc:creator>Один</dc:creator><dc:creator>Другой</dc:creator></metadata><manifest>"
        "<item id=\"b\" href=\"Text/two%20words.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"a\" href=\"../a.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"n\" href=\"Text/notes.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"toc\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>"
        "</manifest><spine toc=\"toc\"><itemref idref=\"a\"/><itemref idref=\"n\" linear=\"no\"/>"
        "<itemref idref=\"b\"/></spine></package>";
    const std::string a =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML "
        "1.1//EN\" \"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\"><html "
        "xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\">"
        "<head><title>x</title><style>p{}</style></head><body><h2>Весна</h2>"
        "<p>Цвели&nbsp;яблони<a epub:type=\"noteref\" href=\"#n\">1</a> &mdash; все.</p>"
        "<aside epub:type=\"footnote\" id=\"n\"><p>Сноска.</p></aside>"
        "<h3>Подглавка</h3><p>Строка<br/>вторая</p><script>var x;</script></body></html>";
    const std::string b =
        "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>Лето.</p>"
        "<h1>Осень</h1><div><p>Листья.</p></div></body></html>";
    const std::optional<Book> book = ConvertBook(
        MakeEpub(opf, {{"a.xhtml", a},
                       {"OPS/Text/two words.xhtml", b},
                       {"OPS/toc.ncx", kNcx},
                       {"OPS/Text/notes.xhtml", "<html><body><p>Не читать</p></body></html>"}}));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->Title, "Сад");
    EXPECT_EQ(book->Author, "Один, Другой");
    EXPECT_THAT(ChapterTitles(*book), ElementsAre("Весна", "Летом", "Осень"));
    EXPECT_THAT(Lines(book->Text), ElementsAre("Весна", "   Цвели яблони — все.", "Подглавка",
                                               "   Строка", "   вторая", "", "", "Летом",
                                               "   Лето.", "", "", "Осень", "   Листья."));
    ExpectPlayerLayout(*book);
}

TEST(BookConverterTest, DocxHeadingStylesOpenChapters) {
    const std::string styles =
        "<w:styles xmlns:w=\"w\"><w:style w:styleId=\"1\"><w:name w:val=\"heading 1\"/></w:style>"
        "<w:style w:styleId=\"Quote\"><w:name w:val=\"Quote\"/></w:style></w:styles>";
    const auto p = [](const std::string& style, const std::string& runs) {
        return "<w:p>" +
               (style.empty() ? "" : "<w:pPr><w:pStyle w:val=\"" + style + "\"/></w:pPr>") + runs +
               "</w:p>";
    };
    const std::string document =
        "<w:document xmlns:w=\"w\"><w:body>" + p("1", "<w:r><w:t>Начало</w:t></w:r>") +
        p("",
          "<w:r><w:t xml:space=\"preserve\">Первый </w:t></w:r><w:r><w:t>абзац</w:t>"
          "<w:footnoteReference w:id=\"1\"/></w:r><w:del><w:r><w:delText>нет</w:delText>"
          "</w:r></w:del>") +
        p("Quote", "<w:r><w:t>Цитата</w:t><w:tab/><w:t>с табуляцией</w:t></w:r>") +
        p("1", "<w:r><w:t>Конец</w:t></w:r>") + p("", "<w:r><w:t>Последний.</w:t></w:r>") +
        "</w:body></w:document>";
    const std::optional<Book> book = ConvertBook(MakeDocx(document, styles));
    ASSERT_TRUE(book);
    EXPECT_THAT(ChapterTitles(*book), ElementsAre("Начало", "Конец"));
    EXPECT_THAT(Lines(book->Text),
                ElementsAre("Начало", "   Первый абзац", "   Цитата с табуляцией", "", "", "Конец",
                            "   Последний."));
    ExpectPlayerLayout(*book);
}

TEST(BookConverterTest, OdtHeadingsListsAndNotes) {
    const std::string content =
        "<office:document-content xmlns:office=\"o\" xmlns:text=\"t\"><office:body><office:text>"
        "<text:sequence-decls><text:sequence-decl text:name=\"x\"/></text:sequence-decls>"
        "<text:h text:outline-level=\"1\">Первая</text:h><text:p>Раз<text:s text:c=\"3\"/>два"
        "<text:note><text:note-citation>1</text:note-citation><text:note-body><text:p>Сноска"
        "</text:p></text:note-body></text:note>.</text:p><text:list><text:list-item><text:p>Пункт"
        "</text:p></text:list-item></text:list><text:h text:outline-level=\"2\">Вторая</text:h>"
        "<text:p>Конец.</text:p></office:text></office:body></office:document-content>";
    const std::optional<Book> book = ConvertBook(MakeOdt(content));
    ASSERT_TRUE(book);
    EXPECT_THAT(ChapterTitles(*book), ElementsAre("Первая", "Вторая"));
    EXPECT_THAT(Lines(book->Text),
                ElementsAre("Первая", "   Раз два.", "   Пункт", "", "", "Вторая", "   Конец."));
    ExpectPlayerLayout(*book);
}

TEST(BookConverterTest, HtmlPagesWithAndWithoutWellFormedMarkup) {
    const std::string soup =
        "<!DOCTYPE html><html><head><meta charset=\"windows-1251\"><title>Страница</title>"
        "</head><body><h1>Один</h1><p>Первый<p>Второй<br>третий<h2>Два</h2><ul><li>Пункт</ul>"
        "<script>alert(1)</script></body></html>";
    const std::optional<Book> book = ConvertBook(Utf8ToWindows1251(soup));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->Title, "Страница");
    EXPECT_THAT(ChapterTitles(*book), ElementsAre("Один", "Два"));
    EXPECT_THAT(Lines(book->Text), ElementsAre("Один", "   Первый", "   Второй", "   третий", "",
                                               "", "Два", "   Пункт"));
    ExpectPlayerLayout(*book);
}

TEST(BookConverterTest, PdfTextLayerJoinsWrappedLinesIntoParagraphs) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QGuiApplication app(argc, argv);
    const std::optional<Book> book = ConvertBook(
        MakePdf({{"Первая строка длинного абзаца, которая", "переносится на вторую.", "Короткий."},
                 {"Вторая страница."}}));
    ASSERT_TRUE(book);
    const std::vector<std::string> lines = Lines(book->Text);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "   Первая строка длинного абзаца, которая переносится на вторую.");
    EXPECT_TRUE(Contains(book->Text, "   Короткий.\r\n"));
    EXPECT_TRUE(Contains(book->Text, "   Вторая страница.\r\n"));
}

TEST(BookConverterTest, PdfOutlineEntriesOpenChaptersAtTheirPages) {
    const std::optional<Book> book =
        ConvertBook(MakeOutlinedPdf({"Foreword text.", "The first chapter begins.", "It goes on.",
                                     "The second chapter begins."},
                                    {{"One", 1}, {"Two", 3}}));
    ASSERT_TRUE(book);
    EXPECT_THAT(ChapterTitles(*book), ElementsAre("Глава 1", "One", "Two"));
    EXPECT_THAT(Lines(book->Text),
                ElementsAre("   Foreword text.", "", "", "One", "   The first chapter begins.",
                            "   It goes on.", "", "", "Two", "   The second chapter begins."));
    ExpectPlayerLayout(*book);
}

TEST(DocumentLoaderTest, PlainTextStaysWithTheDocumentLoaderWhateverItsName) {
    const std::string folder = MakeTempDir("loader");
    const std::string path = folder + "/looks-like.fb2";
    std::ofstream(path, std::ios::binary) << "Привет\nмир\n";
    const OpenedDocument opened = OpenDocument(path);
    EXPECT_FALSE(opened.IsBook);
    EXPECT_EQ(opened.Document.Text, Utf8ToWindows1251("Привет\r\nмир\r\n"));
    EXPECT_EQ(opened.Document.Form.FileEncoding, DocumentForm::Encoding::Utf8);

    const std::string book = folder + "/book.txt";
    std::ofstream(book, std::ios::binary) << SampleBytes("lighthouse.epub");
    const OpenedDocument epub = OpenDocument(book);
    EXPECT_TRUE(epub.IsBook) << "recognised by content, not by name";
    EXPECT_EQ(epub.Title, "Фонарщик с Сухого острова");
    EXPECT_EQ(epub.Chapters.size(), 3u);
    EXPECT_EQ(epub.Document.CodePage, kCodePageWindows);
    EXPECT_EQ(epub.Document.Form, DocumentForm{}) << "saved as Windows-1251 text with CR LF";
}

}  // namespace
}  // namespace tovrin::test
