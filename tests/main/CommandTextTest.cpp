#include "main/CommandText.h"
#include "main/StartFile.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace tovrin {
namespace {

using Lines = std::vector<std::string>;

TEST(CommandTextTest, LinesBreakAtEveryLineEndAndStopAtAZeroByte) {
    EXPECT_EQ(SplitCommandLines(std::string("a\r\nb\rc\nd\r\n\r\ne\0f\r\ng", 18)),
              (Lines{"a", "b", "c", "d", "", "e"}));
    EXPECT_EQ(SplitCommandLines(""), Lines{});
}

TEST(CommandTextTest, OnlyTheExactSpeakFileMacroNamesAFile) {
    EXPECT_EQ(SpeakFileRequest(SpeakFileMacro("/t/a b.txt ")), "/t/a b.txt ");
    EXPECT_EQ(SpeakFileRequest("{TALKSERVCMD}\n{SpeakFile}\nx\nmore"), "x");
    EXPECT_FALSE(SpeakFileRequest("{TALKSERVCMD}\r\n{speakfile}\r\nx"));
    EXPECT_FALSE(SpeakFileRequest("{TALKSERVCMD}\r\n{SpeakFile}\r\n"));
    EXPECT_FALSE(SpeakFileRequest(" {TALKSERVCMD}\r\n{SpeakFile}\r\nx"));
}

TEST(CommandTextTest, OnlyAMarkedDictionaryRequestGoesToTheWorker) {
    const SpeakRoute dictionary = RouteSpeakRequest("{TALKSERVCMD}\r\n{IntelDictionary}\r\nw\r\n");
    EXPECT_TRUE(dictionary.Dictionary);
    // Fields left blank at the end are still there: blank means the default.
    EXPECT_EQ(dictionary.Lines,
              (Lines{"{TALKSERVCMD}", "{IntelDictionary}", "w", "", "", "", "", ""}));
    EXPECT_FALSE(RouteSpeakRequest("{TALKSERVCMD}\n{IntelDictionary}\r\nw").Dictionary);
    EXPECT_FALSE(RouteSpeakRequest("{TALKSERVCMD}\r\n{SpeakFile}\r\nw").Dictionary);
    EXPECT_FALSE(RouteSpeakRequest("{TALKSERVCMD}").Dictionary);
}

TEST(StartFileTest, NamesAndFiles) {
    EXPECT_FALSE(IsWrongName("/opt/x/tovrin"));
    EXPECT_TRUE(IsWrongName("/opt/x/Tovrin"));
    EXPECT_TRUE(IsWrongName("/opt/x/TOVRIN"));
    EXPECT_TRUE(IsWrongName("/opt/x/tovrin.exe"));
    EXPECT_EQ(DdeServiceName("/opt/x.y/tovrin.bin.old"), "tovrin");

    // A start file is made absolute, so a copy running in another folder finds it.
    const std::string folder = test::MakeTempDir("start");
    std::ofstream(folder + "/текст.txt") << "x";
    ASSERT_EQ(chdir(folder.c_str()), 0);
    EXPECT_EQ(GetStartFile({"текст.txt", "ignored"}), folder + "/текст.txt");
    EXPECT_EQ(GetStartFile({"missing.txt"}), "");
    EXPECT_EQ(GetStartFile({}), "");

    // A name sent in Windows-1251 still finds the file of the same letters.
    EXPECT_EQ(ExistingFileFor("\xF2\xE5\xEA\xF1\xF2.txt"), "текст.txt");
    EXPECT_EQ(ExistingFileFor("текст.txt"), "текст.txt");
    EXPECT_EQ(ExistingFileFor("текст.txt "), "");

    // A folder, a pipe or a device is no document: refused like a missing file.
    std::filesystem::create_directory(folder + "/папка");
    ASSERT_EQ(mkfifo((folder + "/pipe").c_str(), 0600), 0);
    for (const std::string& name :
         {folder + "/папка", folder + "/pipe", std::string("/dev/zero")}) {
        EXPECT_EQ(GetStartFile({name}), "") << name;
        EXPECT_EQ(ExistingFileFor(name), "") << name;
    }
    // A link to a regular file is that file.
    std::filesystem::create_symlink(folder + "/текст.txt", folder + "/link.txt");
    EXPECT_EQ(GetStartFile({"link.txt"}), folder + "/link.txt");
}

}  // namespace
}  // namespace tovrin
