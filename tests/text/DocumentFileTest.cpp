#include "text/DocumentFile.h"

#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tovrin {
namespace {

using Encoding = DocumentForm::Encoding;
using Breaks = DocumentForm::LineBreaks;

std::string W(const std::string& utf8) {
    return Utf8ToWindows1251(utf8);
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = test::MakeTempDir("doc") + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

struct FormCase {
    const char* What;
    std::string File;
    std::string Text;  // the library's form
    DocumentForm Form;
    int32_t CodePage;
};

TEST(DocumentFile, EveryFormLoadsToCrLfWindowsTextAndSavesBackByteForByte) {
    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        if (c != '\n' && c != '\r') everyByte += static_cast<char>(c);
    const std::vector<FormCase> cases = {
        {"1251, CR LF", W("Привет\r\n\r\nмир"), W("Привет\r\n\r\nмир"), {}, -1},
        {"866, LF, zero byte kept",
         std::string("\x8F\xE0\xA8\n\0x\n", 7),
         std::string("\x8F\xE0\xA8\r\n\0x\r\n", 9),
         {Encoding::SingleByte, false, Breaks::Lf},
         -1},
        {"lone CRs", "a\r\rb\r", "a\r\n\r\nb\r\n", {Encoding::SingleByte, false, Breaks::Cr}, -1},
        {"UTF-8, CR", "Ёж\rёлка", W("Ёж\r\nёлка"), {Encoding::Utf8, false, Breaks::Cr}, 1},
        {"UTF-8, LF",
         "Ёж\nшёл — 5€\n",
         W("Ёж\r\nшёл — 5€\r\n"),
         {Encoding::Utf8, false, Breaks::Lf},
         1},
        {"UTF-8 with mark, CR LF, U+0098 and a zero byte",
         std::string("\xEF\xBB\xBFЯ\r\n\xC2\x98\0", 10),
         std::string("\xDF\r\n\x98\0", 5),
         {Encoding::Utf8, true, Breaks::CrLf},
         1},
        {"mark and ASCII only", "\xEF\xBB\xBFok", "ok", {Encoding::Utf8, true, Breaks::CrLf}, 1},
        {"every 1251 byte as UTF-8",
         Windows1251DocumentToUtf8(everyByte),
         everyByte,
         {Encoding::Utf8, false, Breaks::CrLf},
         1},
        {"invalid UTF-8 is single-byte",
         "\xD0\xE0\n\xD0",
         "\xD0\xE0\r\n\xD0",
         {Encoding::SingleByte, false, Breaks::Lf},
         -1},
        {"ASCII is single-byte",
         "plain\n",
         "plain\r\n",
         {Encoding::SingleByte, false, Breaks::Lf},
         -1},
    };
    for (const FormCase& c : cases) {
        SCOPED_TRACE(c.What);
        const LoadedDocument loaded = LoadDocument(WriteFile("in.txt", c.File));
        EXPECT_EQ(loaded.Text, c.Text);
        EXPECT_EQ(loaded.Form, c.Form);
        EXPECT_EQ(loaded.CodePage, c.CodePage);
        EXPECT_EQ(loaded.UnmappedCharacters, 0u);
        EXPECT_FALSE(loaded.MixedLineBreaks);
        const std::string saved = test::MakeTempDir("save") + "/out.txt";
        SaveDocument(saved, loaded.Text, loaded.Form);
        EXPECT_EQ(test::ReadWholeFile(saved), c.File);
    }
}

TEST(DocumentFile, MixedLineBreaksAreAllBreaksAndSaveInTheMostFrequentForm) {
    struct MixedCase {
        const char* What;
        std::string File;
        std::string Text;
        Breaks Form;
        std::string Saved;
    };
    const std::vector<MixedCase> cases = {
        {"LF file with one CR LF", "a\nb\r\nc\nd\n", "a\r\nb\r\nc\r\nd\r\n", Breaks::Lf,
         "a\nb\nc\nd\n"},
        {"a tie of CR LF and LF keeps CR LF", "a\r\nb\nc", "a\r\nb\r\nc", Breaks::CrLf,
         "a\r\nb\r\nc"},
        {"a tie of LF and CR keeps LF", "a\rb\nc", "a\r\nb\r\nc", Breaks::Lf, "a\nb\nc"},
        {"CR CR LF is two breaks", "a\r\r\nb\rc\r", "a\r\n\r\nb\r\nc\r\n", Breaks::Cr,
         "a\r\rb\rc\r"},
        {"LF CR is two breaks", "a\n\rb\n", "a\r\n\r\nb\r\n", Breaks::Lf, "a\n\nb\n"},
    };
    for (const MixedCase& c : cases) {
        SCOPED_TRACE(c.What);
        const LoadedDocument loaded = DocumentFromBytes(c.File);
        EXPECT_EQ(loaded.Text, c.Text);
        EXPECT_EQ(loaded.Form.FileLineBreaks, c.Form);
        EXPECT_TRUE(loaded.MixedLineBreaks);
        EXPECT_EQ(DocumentToBytes(loaded.Text, loaded.Form), c.Saved);
        // What is saved is of one form and loads back to the same text.
        EXPECT_FALSE(DocumentFromBytes(c.Saved).MixedLineBreaks);
        EXPECT_EQ(DocumentFromBytes(c.Saved).Text, c.Text);
    }
    // A UTF-8 file is converted before its breaks are counted.
    const LoadedDocument utf8 = DocumentFromBytes("Ёж\nёлка\r\nи\n");
    EXPECT_EQ(utf8.Text, W("Ёж\r\nёлка\r\nи\r\n"));
    EXPECT_EQ(DocumentToBytes(utf8.Text, utf8.Form), "Ёж\nёлка\nи\n");
}

TEST(DocumentFile, ACallersLimitRefusesLargerDocumentsBeforeAndAfterConversion) {
    const std::string path = WriteFile("limit.txt", std::string(2 << 20, 'x'));
    try {
        LoadDocument(path, 1 << 20);
        ADD_FAILURE() << "loaded";
    } catch (const DocumentTooLarge& e) {
        EXPECT_EQ(e.Limit(), size_t{1} << 20);
        EXPECT_NE(std::string(e.what()).find("больше 1 МБ"), std::string::npos) << e.what();
    }
    EXPECT_EQ(LoadDocument(path, 2 << 20).Text.size(), size_t{2} << 20);
    // Lone breaks grow into CR LF: the converted text counts.
    const std::string breaks(1 << 20, '\n');
    EXPECT_THROW(DocumentFromBytes(breaks, (1 << 20) + 10), DocumentTooLarge);
    EXPECT_EQ(DocumentFromBytes(breaks, 2 << 20).Text.size(), size_t{2} << 20);
}

TEST(DocumentFile, TheOriginRemembersTheLossyFileWhereverTheDocumentIsSaved) {
    const std::string folder = test::MakeTempDir("origin");
    const std::string source = folder + "/source.txt";
    std::ofstream(source, std::ios::binary) << "Галочка ✓\n";
    const std::string link = folder + "/link.txt";
    ASSERT_EQ(symlink(source.c_str(), link.c_str()), 0);
    DocumentOrigin origin(source, LoadDocument(source));
    EXPECT_EQ(origin.LossesAt(source), 1u);
    EXPECT_EQ(origin.LossesAt(link), 1u) << "another name of the same file";
    EXPECT_EQ(origin.LossesAt(folder + "/elsewhere.txt"), 0u);

    // Saved elsewhere, the source still holds what the document lost.
    std::ofstream(folder + "/elsewhere.txt") << "?";
    EXPECT_FALSE(origin.Saved(folder + "/elsewhere.txt"));
    EXPECT_EQ(origin.LossesAt(folder + "/elsewhere.txt"), 0u);
    EXPECT_EQ(origin.LossesAt(source), 1u);
    // Written over, the source holds the "?" itself.
    origin.Saved(source);
    EXPECT_EQ(origin.LossesAt(source), 0u);

    // A lossless load, or a document of no file, loses nothing anywhere.
    EXPECT_EQ(DocumentOrigin(source, DocumentFromBytes("ok\n")).LossesAt(source), 0u);
    EXPECT_EQ(DocumentOrigin(DocumentForm{}).LossesAt(source), 0u);

    // Unified line breaks are told at the first save only.
    DocumentOrigin mixed(source, DocumentFromBytes("a\nb\r\n"));
    EXPECT_TRUE(mixed.Saved(source));
    EXPECT_FALSE(mixed.Saved(source));
}

TEST(DocumentFile, CharactersWindows1251LacksBecomeQuestionMarksAndAreCounted) {
    const LoadedDocument loaded = DocumentFromBytes("日本 Русь 😀\n");
    EXPECT_EQ(loaded.Text, W("?? Русь ?\r\n"));
    EXPECT_EQ(loaded.UnmappedCharacters, 3u);
    EXPECT_EQ(DocumentToBytes(loaded.Text, loaded.Form), "?? Русь ?\n");
}

TEST(DocumentFile, OnlyRegularFilesWithinTheLimitAreLoaded) {
    const std::string dir = test::MakeTempDir("odd");
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = WriteFile("huge", "");
    ASSERT_EQ(truncate(huge.c_str(), static_cast<off_t>(kMaxDocumentBytes + 1)), 0);  // sparse

    const std::vector<std::pair<std::string, std::string>> refused = {
        {fifo, "Это не обычный файл"},        {dir, "Это не обычный файл"},
        {"/dev/zero", "Это не обычный файл"}, {dir + "/missing", "Нет такого файла"},
        {huge, "Он больше 1024 МБ"},
    };
    for (const auto& [path, reason] : refused) {
        SCOPED_TRACE(path);
        try {
            LoadDocument(path);
            ADD_FAILURE() << "loaded";
        } catch (const DocumentError& e) {
            EXPECT_NE(std::string(e.what()).find("«" + path + "»"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    }
}

TEST(DocumentFile, AFailedSaveLeavesTheOldFile) {
    const std::string path = WriteFile("keep.txt", "old\n");
    // A file size limit makes the write fail part way, as a full disk would.
    struct rlimit previous;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = previous;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(SaveDocument(path, std::string(1000, 'x'), {}), DocumentError);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(test::ReadWholeFile(path), "old\n");
    const auto folder = std::filesystem::path(path).parent_path();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1)
        << "the temporary file is left behind";
}

}  // namespace
}  // namespace tovrin
