// Reading places: kept per document across runs, bounded, shared by several stores, and never
// taken from a damaged file.

#include "player/ReadingPlaces.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>

#include <fstream>

namespace tovrin {
namespace {

using test::MakeTempDir;

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

DocumentKey Key(int n) {
    return {"/books/book" + std::to_string(n) + ".txt", 1000 + n, 77};
}

TEST(ReadingPlacesTest, APlaceIsFoundOnlyForTheSameFileAsItWas) {
    auto folder = MakeTempDir("places");
    auto book = folder + "/book.txt";
    WriteFile(book, "Первая строка\r\nВторая строка\r\n");
    auto key = KeyOfFile(book);
    ASSERT_TRUE(key);

    ReadingPlaces places(folder + "/state");
    ASSERT_TRUE(places.Remember(*key, {17, 5}));
    // A second store over the same folder (another window, or the next run) sees it.
    EXPECT_EQ(ReadingPlaces(folder + "/state").Find(*key), (ReadingPlace{17, 5}));
    // Reached through another spelling of the path, it is the same document.
    EXPECT_EQ(places.Find(*KeyOfFile(folder + "/./book.txt")), (ReadingPlace{17, 5}));

    // Rewritten under the same name, it is a new document.
    WriteFile(book, "Совсем другой текст, длиннее прежнего\r\n");
    EXPECT_FALSE(places.Find(*KeyOfFile(book)));
    EXPECT_FALSE(KeyOfFile(folder));  // a folder is no document
    EXPECT_FALSE(KeyOfFile(folder + "/missing.txt"));
}

TEST(ReadingPlacesTest, TheLeastRecentlyUsedDocumentsAreDroppedAndEachPlaceIsKeptApart) {
    ReadingPlaces places(MakeTempDir("places"));
    for (int n = 0; n < ReadingPlaces::kMaxDocuments; ++n)
        ASSERT_TRUE(places.Remember(Key(n), {n, 0}));
    // Using the oldest again makes it the newest: the next one is dropped instead.
    ASSERT_TRUE(places.Remember(Key(0), {1234, 1200}));
    ASSERT_TRUE(places.Remember(Key(ReadingPlaces::kMaxDocuments), {1, 1}));

    EXPECT_EQ(places.Find(Key(0)), (ReadingPlace{1234, 1200}));
    EXPECT_FALSE(places.Find(Key(1)));
    EXPECT_EQ(places.Find(Key(2)), (ReadingPlace{2, 0}));
    EXPECT_EQ(places.Find(Key(ReadingPlaces::kMaxDocuments)), (ReadingPlace{1, 1}));

    ASSERT_TRUE(places.Forget(Key(2)));
    EXPECT_FALSE(places.Find(Key(2)));
    EXPECT_EQ(places.Find(Key(3)), (ReadingPlace{3, 0}));
}

TEST(ReadingPlacesTest, ADamagedOrForeignFileIsIgnoredAndThenReplaced) {
    const std::string damaged[] = {
        "",
        "{\"format\": \"tovrin-reading-places\", \"version\": 1, \"documents\": [",
        "\x01\x02\xff\xfe not json at all",
        "[1, 2, 3]",
        "{\"format\": \"something-else\", \"version\": 1, \"documents\": []}",
        "{\"format\": \"tovrin-reading-places\", \"version\": 99, \"documents\": []}",
        // Entries of the wrong shape are skipped, not trusted.
        "{\"format\": \"tovrin-reading-places\", \"version\": 1, \"documents\": [7, \"x\", null],"
        " \"window\": 5}",
    };
    for (const auto& bytes : damaged) {
        ReadingPlaces places(MakeTempDir("places"));
        WriteFile(places.FileName(), bytes);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(places.Find(Key(1))) << bytes;
        EXPECT_FALSE(places.WindowState()) << bytes;
        ASSERT_TRUE(places.Remember(Key(1), {9, 3})) << bytes;
        // Each look at the same damaged file is no news.
        const std::string said = testing::internal::GetCapturedStderr();
        size_t lines = 0;
        for (size_t at = said.find("start afresh"); at != std::string::npos;
             at = said.find("start afresh", at + 1))
            ++lines;
        // A file of the right kind with some bad entries is used, not reported.
        const bool ours = bytes.find("\"documents\": [7") != std::string::npos;
        EXPECT_EQ(lines, ours ? 0u : 1u) << bytes << said;
        EXPECT_EQ(places.Find(Key(1)), (ReadingPlace{9, 3})) << bytes;
    }
}

TEST(ReadingPlacesTest, TemporariesAKilledWriterLeftLongAgoAreCleared) {
    ReadingPlaces places(MakeTempDir("places"));
    const std::string old = places.FileName() + ".tovrin-tmp.Ab12Cd";
    const std::string fresh = places.FileName() + ".tovrin-tmp.Ef34Gh";
    WriteFile(old, "{");
    WriteFile(fresh, "{");
    // An hour untouched: its writer is long gone. The fresh one may be a writer's at work.
    const timespec hourAgo{time(nullptr) - 3600, 0};
    const timespec times[2] = {hourAgo, hourAgo};
    ASSERT_EQ(utimensat(AT_FDCWD, old.c_str(), times, 0), 0);
    ASSERT_TRUE(places.Remember(Key(1), {5, 0}));
    EXPECT_FALSE(std::filesystem::exists(old));
    EXPECT_TRUE(std::filesystem::exists(fresh));
    EXPECT_EQ(places.Find(Key(1)), (ReadingPlace{5, 0}));
}

TEST(ReadingPlacesTest, TheWindowStateTravelsBesideThePlaces) {
    ReadingPlaces places(MakeTempDir("places"));
    EXPECT_FALSE(places.WindowState());
    PlayerWindowState state{false, true, false, 40, 60, 800, 500};
    ASSERT_TRUE(places.Remember(Key(1), {2, 1}));
    ASSERT_TRUE(places.RememberWindowState(state));
    ASSERT_TRUE(places.Remember(Key(2), {4, 3}));
    EXPECT_EQ(places.WindowState(), state);
    EXPECT_EQ(places.Find(Key(1)), (ReadingPlace{2, 1}));

    // Without a folder nothing is kept and nothing fails loudly.
    ReadingPlaces nowhere("");
    EXPECT_FALSE(nowhere.Remember(Key(1), {1, 1}));
    EXPECT_FALSE(nowhere.Find(Key(1)));
}

TEST(ReadingPlacesTest, TheDefaultFolderFollowsTheStateHome) {
    const std::string saved = getenv("XDG_STATE_HOME") ? getenv("XDG_STATE_HOME") : "";
    const std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("XDG_STATE_HOME", "/somewhere/state", 1);
    EXPECT_EQ(ReadingPlaces::DefaultFolder(), "/somewhere/state/tovrin");
    setenv("XDG_STATE_HOME", "relative/state", 1);  // not valid: the home's default instead
    setenv("HOME", "/home/reader", 1);
    EXPECT_EQ(ReadingPlaces::DefaultFolder(), "/home/reader/.local/state/tovrin");
    setenv("XDG_STATE_HOME", saved.c_str(), 1);
    setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace tovrin
