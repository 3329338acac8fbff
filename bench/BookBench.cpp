// Books: converting a 10 MB EPUB (made here from pseudo-Russian text, its file at least 10 MB)
// into the player's text, best of three runs; and tovrin-say writing a book by chapter as Ogg
// Vorbis (seconds of work per second of speech). The chapter export's book is 200 KB, or the
// number of kilobytes given as the first argument (0: no export).
#include "bench/BenchSupport.h"
#include "bench/RussianWords.h"
#include "books/BookConverter.h"
#include "text/CodePages.h"

#include <fcntl.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using tovrin::bench::RussianWords;

// A chapter of about `bytes` bytes of XHTML.
std::string Chapter(RussianWords& words, int number, size_t bytes) {
    std::string xhtml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><html "
        "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>x</title></head>"
        "<body><h1>Глава " +
        std::to_string(number) + "</h1>\n";
    while (xhtml.size() < bytes) {
        std::string paragraph;
        for (int i = 0; i < 5; ++i)
            paragraph += words.Sentence() + " ";
        xhtml += "<p>" + tovrin::Windows1251ToUtf8(paragraph) + "</p>\n";
    }
    return xhtml + "</body></html>\n";
}

std::string MakeEpub(size_t fileBytes, const std::string& folder) {
    const std::string path = folder + "/book.epub";
    RussianWords words(7);
    std::vector<std::string> chapters;
    for (size_t packed = 0; packed < fileBytes;) {
        std::string chapter = Chapter(words, static_cast<int>(chapters.size()) + 1, 400 * 1024);
        packed += chapter.size() * 7 / 25;  // deflate keeps about 28% of such text
        chapters.push_back(std::move(chapter));
    }
    std::string opf =
        "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\"><metadata "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>Книга</dc:title>"
        "</metadata><manifest>";
    std::string spine = "<spine>";
    for (size_t i = 0; i < chapters.size(); ++i) {
        opf += "<item id=\"c" + std::to_string(i) + "\" href=\"c" + std::to_string(i) +
               ".xhtml\" media-type=\"application/xhtml+xml\"/>";
        spine += "<itemref idref=\"c" + std::to_string(i) + "\"/>";
    }
    opf += "</manifest>" + spine + "</spine></package>";
    const std::string container =
        "<container><rootfiles><rootfile full-path=\"book.opf\"/></rootfiles></container>";
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    const auto add = [&](const std::string& name, const std::string& content) {
        zip_file_add(archive, name.c_str(),
                     zip_source_buffer(archive, content.data(), content.size(), 0), 0);
    };
    add("mimetype", "application/epub+zip");
    add("META-INF/container.xml", container);
    add("book.opf", opf);
    for (size_t i = 0; i < chapters.size(); ++i)
        add("c" + std::to_string(i) + ".xhtml", chapters[i]);
    zip_close(archive);
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Wall-clock and processor milliseconds of the conversion, the best of three runs each; the
// processor time tells what a busy machine's wall clock hides.
struct ConvertTimes {
    double Wall = -1;
    double Cpu = -1;
};

double CpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

ConvertTimes EpubConvertMs(const std::string& folder) {
    const std::string epub = MakeEpub(10u << 20, folder);
    std::fprintf(stderr, "epub of %.1f MB\n", static_cast<double>(epub.size()) / (1 << 20));
    ConvertTimes best{1e30, 1e30};
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        const double cpuStart = CpuMs();
        const auto book = tovrin::ConvertBook(epub);
        const double cpu = CpuMs() - cpuStart;
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (!book || book->Chapters.empty()) return {};
        best = {std::min(best.Wall, ms), std::min(best.Cpu, cpu)};
    }
    return best;
}

// Runs tovrin-say beside this program; true when it succeeded. `cpuSeconds` receives the
// processor time it used.
bool RunSay(std::vector<std::string> args, double& cpuSeconds) {
    std::string program =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tovrin-say";
    std::vector<char*> argv{program.data()};
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double SpeechSeconds(const std::string& folder) {
    double seconds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".ogg") continue;
        SF_INFO info{};
        SNDFILE* file = sf_open(entry.path().c_str(), SFM_READ, &info);
        if (!file) continue;
        sf_close(file);
        if (info.samplerate > 0) seconds += static_cast<double>(info.frames) / info.samplerate;
    }
    return seconds;
}

// An FB2 book of `bytes` bytes in five chapters, in Windows-1251, exported by chapter: seconds
// of work per second of speech, by the wall clock and by processor time.
struct ExportFactors {
    double Wall = -1;
    double Cpu = -1;
};

ExportFactors ChapterExportRealTimeFactor(const std::string& folder, size_t bytes) {
    RussianWords words(11);
    std::string fb2 = "<?xml version=\"1.0\" encoding=\"windows-1251\"?><FictionBook><body>";
    for (int chapter = 1; chapter <= 5; ++chapter) {
        fb2 += "<section><title><p>" + tovrin::Utf8ToWindows1251("Глава ") +
               std::to_string(chapter) + "</p></title>";
        while (fb2.size() < bytes * chapter / 5)
            fb2 += "<p>" + words.Sentence() + "</p>";
        fb2 += "</section>";
    }
    fb2 += "</body></FictionBook>";
    const std::string book = folder + "/book.fb2";
    std::ofstream(book, std::ios::binary) << fb2;
    const auto start = Clock::now();
    double cpu = 0;
    if (!RunSay({"--file", book, "--output-dir", folder + "/out", "--format", "ogg"}, cpu))
        return {};
    const double work = std::chrono::duration<double>(Clock::now() - start).count();
    const double speech = SpeechSeconds(folder + "/out");
    if (speech <= 0) return {};
    return {work / speech, cpu / speech};
}

}  // namespace

int main(int argc, char** argv) {
    const size_t kilobytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    const std::string folder = tovrin::bench::MakeTempDir("tovrin-book-bench");
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    setenv("TOVRIN_AUDIO", "none", 1);
    const ConvertTimes convert = EpubConvertMs(folder);
    std::printf("epub_10mb_convert_ms %.0f ms\n", convert.Wall);
    std::printf("epub_10mb_convert_cpu_ms %.0f ms\n", convert.Cpu);
    std::fflush(stdout);
    // 0 kilobytes: the conversion alone.
    const ExportFactors rtf =
        kilobytes ? ChapterExportRealTimeFactor(folder, kilobytes * 1024) : ExportFactors{1, 1};
    if (kilobytes) {
        std::printf("export_chapters_rtf_ogg %.5f ratio\n", rtf.Wall);
        std::printf("export_chapters_cpu_rtf_ogg %.5f ratio\n", rtf.Cpu);
    }
    if (!getenv("BOOK_BENCH_KEEP")) std::filesystem::remove_all(folder);
    return convert.Wall > 0 && rtf.Wall > 0 ? 0 : 1;
}
