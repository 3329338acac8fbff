#include "player/SpeechFolders.h"

#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tovrin {
namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A dictionary folder with S1WORDS.DIC, a sound folder spelt "Slovar1" beside it, a program
// folder elsewhere, and two more sound folders that wavepath.ini files may name.
struct Layout {
    std::string program = test::MakeTempDir("program") + "/";
    std::string words = test::MakeTempDir("words") + "/";
    std::string dictionary = words + "S1WORDS.DIC";
    Layout() {
        WriteFile(dictionary, "");
        fs::create_directories(words + "Slovar1");
        fs::create_directories(words + "sounds/own");
        fs::create_directories(program + "sounds");
    }
};

TEST(SpeechFolders, WavePathFilesComeFirstThenTheNamePrefix) {
    Layout at;
    EXPECT_EQ(FindSpeechFolder(at.dictionary, at.program), at.words + "Slovar1/");
    const std::string lower = at.words + "s1words.rch";
    WriteFile(lower, "");
    EXPECT_EQ(FindSpeechFolder(lower, at.program), at.words + "Slovar1/");
    const std::string text = at.words + "S1WORDS.TXT";
    WriteFile(text, "");
    EXPECT_EQ(FindSpeechFolder(text, at.program), "");
    EXPECT_EQ(FindSpeechFolder(at.words + "S2WORDS.DIC", at.program), "");  // no SLOVAR2

    // The dictionary's own wavepath.ini: a relative PATH with "\" from the dictionary's folder.
    WriteFile(at.words + "wavepath.ini", "[s1words.dic]\r\nPATH=sounds\\own\r\n");
    EXPECT_EQ(FindSpeechFolder(at.dictionary, at.program), at.words + "sounds/own/");

    // The program's wavepath.ini wins; its relative PATH is still the dictionary's business.
    WriteFile(at.program + "wavepath.ini", "[S1WORDS.DIC]\nPATH=sounds\n");
    EXPECT_EQ(FindSpeechFolder(at.dictionary, at.program), at.words + "sounds/");
    WriteFile(at.program + "wavepath.ini", "[S1WORDS.DIC]\nPATH=" + at.program + "sounds\\\n");
    EXPECT_EQ(FindSpeechFolder(at.dictionary, at.program), at.program + "sounds/");

    // A missing folder, an empty PATH or a section without keys moves on to the next place.
    WriteFile(at.program + "wavepath.ini", "[S1WORDS.DIC]\nPATH=nowhere\n");
    EXPECT_EQ(FindSpeechFolder(at.dictionary, at.program), at.words + "sounds/own/");
    WriteFile(at.words + "wavepath.ini", "[S1WORDS.DIC]\nOTHER=1\n[X.DIC]\nPATH=sounds\n");
    EXPECT_EQ(FindSpeechFolder(at.dictionary, at.program), at.words + "Slovar1/");
    WriteFile(at.words + "wavepath.ini", "[S1WORDS.DIC]\n");
    EXPECT_EQ(ReadWavePath(at.words + "wavepath.ini", at.dictionary), "");
    fs::remove_all(at.words + "Slovar1");
    EXPECT_EQ(FindSpeechFolder(at.dictionary, at.program), "");
}

TEST(SpeechFolders, RequestOfALine) {
    const std::string line = Utf8ToWindows1251("кот - cat (noun) - кот.wav 100 300 rest");
    const auto request = MakeDictionaryRequest(line, "e2T", "/sounds/");
    ASSERT_TRUE(request);
    EXPECT_EQ(*request, "{TALKSERVCMD}\r\n{IntelDictionary}\r\ne2T\r\n" +
                            Utf8ToWindows1251("кот\r\n \r\n/sounds/кот.WAV\r\n") +
                            "100\r\n300\r\n");
    EXPECT_FALSE(MakeDictionaryRequest(Utf8ToWindows1251("Глава первая"), "E1R1", "/s/"));
    EXPECT_FALSE(MakeDictionaryRequest("a - b - c.wav x 3", "E1R1", "/s/"));

    // A sound file name that would leave the speech folder names no file.
    auto soundLine = [](const std::string& entry) {
        const auto made = MakeDictionaryRequest(entry, "E1R1", "/s/");
        EXPECT_TRUE(made) << entry;
        std::string text = made.value_or("");
        for (int line = 0; line < 5 && text.find("\r\n") != std::string::npos; ++line)
            text.erase(0, text.find("\r\n") + 2);
        return text.substr(0, text.find("\r\n"));
    };
    for (const char* name :
         {"../../home/u/.ssh/id.wav", "..", ".", "sub/a.wav", "..\\x.wav", "/etc/passwd"})
        EXPECT_EQ(soundLine(std::string("a - b - ") + name + " 1 2"), "") << name;
    EXPECT_EQ(soundLine("a - b - ..a.wav 1 2"), "/s/..A.WAV");

    EXPECT_TRUE(HoldsDictionaryEntry("Title\r\n\r\na - b - c.wav 1 2"));
    EXPECT_TRUE(HoldsDictionaryEntry("a - b - c.wav 1 2\nx"));
    EXPECT_FALSE(HoldsDictionaryEntry("Title\r\na - b\r\n\r\n"));
    EXPECT_FALSE(HoldsDictionaryEntry(""));
}

}  // namespace
}  // namespace tovrin
