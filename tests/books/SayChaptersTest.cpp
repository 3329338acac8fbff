// Books read by chapter into sound files: names, tags, the playlist, plain texts cut at their
// sections, and an interruption that leaves only finished chapters behind.
#include "synth/ChapterExport.h"
#include "tests/books/BookFiles.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <fcntl.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace tovrin::test {
namespace {

using ::testing::ElementsAre;

// tovrin-say run with its standard error going into a file the test reads.
class SayRun {
  public:
    explicit SayRun(const std::vector<std::string>& args)
        : log_(MakeTempDir("say-log") + "/stderr") {
        const std::string program = BinaryDir() + "/tovrin-say";
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SayRun() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }

    // Waits (up to a minute) until the standard error holds `text`.
    bool AwaitOutput(const std::string& text) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (Output().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    void Interrupt() const { kill(pid_, SIGINT); }
    int Wait() {
        int status = 0;
        if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string Output() const { return ReadWholeFile(log_); }

  private:
    std::string log_;
    pid_t pid_ = -1;
};

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct Tags {
    std::string Title, Album, Artist, Track;
    bool operator==(const Tags&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Tags& tags) {
    return out << tags.Title << " | " << tags.Album << " | " << tags.Artist << " | " << tags.Track;
}

Tags ReadTags(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {"(unreadable)", {}, {}, {}};
    const auto get = [&](int kind) {
        const char* value = sf_get_string(file, kind);
        return std::string(value ? value : "");
    };
    Tags tags{get(SF_STR_TITLE), get(SF_STR_ALBUM), get(SF_STR_ARTIST), get(SF_STR_TRACKNUMBER)};
    sf_close(file);
    return tags;
}

TEST(SayChaptersTest, FileNamesAreMadeSafe) {
    EXPECT_EQ(SafeFileName("Глава 1: Начало/конец?", "x"), "Глава 1 Начало конец");
    EXPECT_EQ(SafeFileName("../../etc/passwd", "x"), "etc passwd");
    EXPECT_EQ(SafeFileName(" \t\r\n ... ", "запас"), "запас");
    EXPECT_EQ(SafeFileName("Конец.", "x"), "Конец");
    std::string longTitle;
    for (int i = 0; i < 80; ++i)
        longTitle += "ж";
    const std::string cut = SafeFileName(longTitle, "x");
    EXPECT_LE(cut.size(), 100u);
    EXPECT_TRUE(IsValidUtf8(cut)) << "no character is split";
    EXPECT_EQ(cut.size() % 2, 0u);
}

TEST(SayChaptersTest, PlainTextChaptersAreItsSectionsAndBookChaptersTheirOffsets) {
    const std::string text = Utf8ToWindows1251(
        "  Первая часть\r\nстрока\r\n\r\n  Вторая часть\r\nещё\r\n\r\n"
        "\r\n  Третья\r\n");
    PlayerOptions options;
    DefaultPlayerOptions(options);  // every empty line separates sections
    const std::vector<DocumentChapter> sections = DocumentChapters(text, {}, options);
    ASSERT_EQ(sections.size(), 3u);
    EXPECT_EQ(sections[0].Title, "Первая часть");
    EXPECT_EQ(sections[1].Title, "Вторая часть");
    EXPECT_EQ(sections[2].Title, "Третья");
    EXPECT_EQ(sections[0].Begin, 0u);
    EXPECT_EQ(text.substr(sections[1].Begin, 4), Utf8ToWindows1251("  Вт"));
    EXPECT_LE(sections[1].End, sections[2].Begin);

    const std::vector<DocumentChapter> chapters =
        DocumentChapters(text, {{"А", 0}, {"Б", 10}}, options);
    ASSERT_EQ(chapters.size(), 2u);
    EXPECT_EQ(chapters[0].End, 10u);
    EXPECT_EQ(chapters[1].Begin, 10u);
    EXPECT_EQ(chapters[1].End, text.size());
}

TEST(SayChaptersTest, ABookBecomesTaggedFilesPerChapterAndAPlaylist) {
    const std::string folder = MakeTempDir("chapters") + "/out";
    SayRun say({"--file", std::string(TOVRIN_SAMPLES_DIR) + "/lighthouse.epub", "--output-dir",
                folder, "--format", "flac"});
    ASSERT_EQ(say.Wait(), 0) << say.Output();
    EXPECT_THAT(Entries(folder),
                ElementsAre("01 - Глава первая. Остров.flac", "02 - Глава вторая. Письмо.flac",
                            "03 - Глава третья. Ответ.flac", "Фонарщик с Сухого острова.m3u8"));
    EXPECT_EQ(
        ReadTags(folder + "/02 - Глава вторая. Письмо.flac"),
        (Tags{"Глава вторая. Письмо", "Фонарщик с Сухого острова", "Тимофей Вересков", "2/3"}));
    const std::string playlist = ReadWholeFile(folder + "/Фонарщик с Сухого острова.m3u8");
    EXPECT_TRUE(playlist.starts_with("#EXTM3U\n#EXTINF:")) << playlist;
    EXPECT_NE(playlist.find(",Тимофей Вересков - Глава третья. Ответ\n03 - Глава третья. "
                            "Ответ.flac\n"),
              std::string::npos)
        << playlist;
    EXPECT_NE(say.Output().find("tovrin-say: chapter 3 of 3: 03 - Глава третья. Ответ.flac"),
              std::string::npos)
        << say.Output();
}

// The sound's length in seconds as libsndfile decodes it; 0 when it cannot.
double Seconds(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return 0;
    sf_close(file);
    return info.samplerate > 0 ? static_cast<double>(info.frames) / info.samplerate : 0;
}

TEST(SayChaptersTest, Mp3TagsAreUtf8AndTheSoundStillDecodes) {
    const std::string folder = MakeTempDir("mp3") + "/out";
    SayRun say({"--file", std::string(TOVRIN_SAMPLES_DIR) + "/lighthouse.fb2", "--output-dir",
                folder, "--format", "mp3"});
    ASSERT_EQ(say.Wait(), 0) << say.Output();
    const std::string path = folder + "/03 - Глава третья. Ответ.mp3";
    const std::string bytes = ReadWholeFile(path);
    EXPECT_TRUE(bytes.starts_with(std::string("ID3\x04\x00", 5)));
    // Text frames: the id, four size bytes, two flag bytes, then encoding 3 (UTF-8).
    for (const std::string frame : {"TIT2", "TALB", "TPE1", "TRCK"}) {
        const size_t at = bytes.find(frame);
        ASSERT_LT(at, 200u) << frame;
        EXPECT_EQ(bytes[at + 10], '\x03') << frame;
    }
    EXPECT_NE(bytes.find("\x03Глава третья. Ответ"), std::string::npos);
    EXPECT_NE(bytes.find("\x03Тимофей Вересков"), std::string::npos);
    EXPECT_NE(bytes.find("\x03"
                         "3/3"),
              std::string::npos);
    EXPECT_EQ(bytes.find("ID3", 3), std::string::npos) << "one tag only";
    const std::string playlist = ReadWholeFile(folder + "/Фонарщик с Сухого острова.m3u8");
    const size_t seconds = playlist.find("#EXTINF:", playlist.find("02 - "));
    ASSERT_NE(seconds, std::string::npos);
    EXPECT_NEAR(Seconds(path), std::stod(playlist.substr(seconds + 8)), 1.0)
        << "the whole chapter decodes after the tag";
}

TEST(SayChaptersTest, AnInterruptionKeepsTheFinishedChaptersAndTheirPlaylist) {
    // A short first chapter, then one long enough to be interrupted while it is written.
    std::string fb2 =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><FictionBook><description>"
        "<title-info><book-title>Долгая</book-title></title-info></description>"
        "<body><section><title><p>Коротко</p></title><p>Раз.</p></section>"
        "<section><title><p>Длинно</p></title>";
    for (int i = 0; i < 3000; ++i)
        fb2 += "<p>Мама мыла раму, а папа читал газету.</p>";
    fb2 += "</section></body></FictionBook>";
    const std::string folder = MakeTempDir("interrupted");
    std::ofstream(folder + "/book.fb2", std::ios::binary) << fb2;
    const std::string out = folder + "/out";
    SayRun say({"--file", folder + "/book.fb2", "--output-dir", out, "--format", "ogg"});
    ASSERT_TRUE(say.AwaitOutput("chapter 2 of 2")) << say.Output();
    say.Interrupt();
    EXPECT_EQ(say.Wait(), 130) << say.Output();
    EXPECT_THAT(Entries(out), ElementsAre("01 - Коротко.ogg", "Долгая.m3u8"));
    const std::string playlist = ReadWholeFile(out + "/Долгая.m3u8");
    EXPECT_NE(playlist.find("01 - Коротко.ogg\n"), std::string::npos) << playlist;
    EXPECT_EQ(playlist.find("Длинно"), std::string::npos) << playlist;
}

TEST(SayChaptersTest, WrongCombinationsAndBadBooksEndWithAMessage) {
    SayRun noFile({"Текст", "--output-dir", MakeTempDir("x")});
    EXPECT_EQ(noFile.Wait(), 2);
    const std::string sample = std::string(TOVRIN_SAMPLES_DIR) + "/lighthouse.fb2";
    SayRun badFormat({"--file", sample, "--output-dir", MakeTempDir("x"), "--format", "aac"});
    EXPECT_EQ(badFormat.Wait(), 2);
    EXPECT_NE(badFormat.Output().find("--format"), std::string::npos);
    SayRun formatAlone({"--file", sample, "--format", "ogg"});
    EXPECT_EQ(formatAlone.Wait(), 2) << "a format without a folder is refused, not ignored";

    const std::string folder = MakeTempDir("bad");
    std::ofstream(folder + "/broken.epub", std::ios::binary)
        << SampleBytes("lighthouse.epub").substr(0, 1000);
    SayRun broken({"--file", folder + "/broken.epub", "--output-dir", folder + "/out"});
    EXPECT_EQ(broken.Wait(), 1);
    EXPECT_EQ(broken.Output(),
              "tovrin-say: Не удается открыть \"" + folder + "/broken.epub\": архив поврежден.\n");
    EXPECT_FALSE(std::filesystem::exists(folder + "/out"));
}

}  // namespace
}  // namespace tovrin::test
