// tovrin-say reads a document in pieces so that its memory stays bounded: the portions, and
// what they say, must be those of the whole document read at once.

#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"
#include "text/DocumentFile.h"
#include "tools/SayBook.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace tovrin {
namespace {

struct Heard {
    std::vector<std::string> Portions;
    std::vector<double> Shares;  // before and after each portion
};

PortionHandler Recorder(Heard& heard) {
    return [&heard](const std::string& text, double from, double to) {
        heard.Portions.push_back(text);
        heard.Shares.push_back(from);
        heard.Shares.push_back(to);
        return true;
    };
}

PlayerOptions Options() {
    PlayerOptions options;
    DefaultPlayerOptions(options);
    return options;
}

// Paragraphs of growing length, one of them far longer than a piece, so that pieces end both
// after line breaks and inside a line, between the bytes of one character.
std::string Book(const std::string& lineBreak) {
    std::string book;
    for (int i = 0; i < 120; ++i) {
        book += "Глава " + std::to_string(i) + "." + lineBreak;
        for (int j = 0; j <= i % 7; ++j)
            book += "Мама мыла раму, а папа читал книгу у окна. ";
        book += lineBreak + lineBreak;
    }
    for (int i = 0; i < 300; ++i)
        book += "Длинная строка без конца и края, слово за словом; ";
    return book + lineBreak + "Последний абзац." + lineBreak;
}

std::string Write(const std::string& bytes) {
    const std::string path = test::MakeTempDir("saybook") + "/book.txt";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

Heard ReadInPieces(BookReader& reader) {
    std::string first;
    reader.ReadPiece(first);
    Heard heard;
    EXPECT_TRUE(ForEachBookPortion(reader, first, Options(), Recorder(heard)).Finished);
    return heard;
}

Heard ReadInPieces(const std::string& path, const BookWindow& window) {
    BookReader reader(path, window);
    return ReadInPieces(reader);
}

TEST(SayBook, PortionsReadInPiecesAreThoseOfTheWholeDocument) {
    const BookWindow small{.PieceBytes = 4096, .LookAhead = 1024, .History = 2048};
    for (const std::string& bytes :
         {Book("\n"), Utf8ToWindows1251(Book("\r\n")), "\xEF\xBB\xBF" + Book("\n")}) {
        const std::string path = Write(bytes);
        const std::string whole = LoadDocument(path).Text;
        Heard expected;
        ForEachPortion(whole.data(), whole.data() + whole.size(), whole.data(), Options(),
                       Recorder(expected));
        ASSERT_GT(expected.Portions.size(), 100u);

        const Heard pieces = ReadInPieces(path, small);
        EXPECT_EQ(pieces.Portions, expected.Portions);
        EXPECT_TRUE(std::is_sorted(pieces.Shares.begin(), pieces.Shares.end()));
        EXPECT_GE(pieces.Shares.front(), 0.0);
        EXPECT_EQ(pieces.Shares.back(), 1.0);
        EXPECT_EQ(ReadInPieces(path, BookWindow{}).Portions, expected.Portions);
    }
}

TEST(SayBook, TheTextEndsAtItsFirstZeroByteAndLossesAreCounted) {
    const std::string path = Write("Первый абзац «ёлки».\n\nВторой абзац ☃ тут.\n\n" +
                                   std::string(1, '\0') + "Это не читается.\n");
    BookReader reader(path, {.PieceBytes = 16, .LookAhead = 8, .History = 8});
    const Heard heard = ReadInPieces(reader);
    ASSERT_FALSE(heard.Portions.empty());
    std::string all;
    for (const auto& portion : heard.Portions)
        all += portion;
    EXPECT_EQ(all.find(Utf8ToWindows1251("не читается")), std::string::npos);
    EXPECT_NE(all.find(Utf8ToWindows1251("Второй")), std::string::npos);
    EXPECT_GE(reader.BytesLeftOut(), Utf8ToWindows1251("Это не читается.\r\n").size());
    EXPECT_EQ(reader.UnmappedCharacters(), 1u);
    EXPECT_EQ(reader.CodePage(), kCodePageWindows);
}

}  // namespace
}  // namespace tovrin
