// The program tovrin as a user meets it: how soon speech is heard after starting it with a
// document (the engine program started on the way) and after the shell hands the running
// program a large document, how long the speech stops between a window's portions, what the
// running program costs while nothing is read and how much memory a very large document
// takes, and how soon a book remembered near its end is heard again from there. Runs a copy of
// the program in a private folder beside a link to the built engine, on a private desktop and
// configuration. Also how soon a 1 MB FB2 book is heard, the program started with it and the
// running program handed it. Prints "name value unit" lines; with the argument "fb2" only the
// book's figures.
#include "bench/BenchSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/RussianWords.h"

extern char** environ;

namespace {

using tovrin::bench::CpuSeconds;
using tovrin::bench::MakeTempDir;
using tovrin::bench::WaitUntil;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kStartRuns = 5;
constexpr int kLoud = 400;
constexpr int kQuiet = 64;
constexpr auto kIdleSpan = std::chrono::seconds(10);
constexpr int kWavHeader = 44;
constexpr int kWavRate = 22050;
constexpr int kGapParagraphs = 12;
// Shorter silences are the speech's own (closures of stops), not a wait between portions.
constexpr double kShortestGapMs = 20.0;
// Both daily events off: a run never pauses the speech or asks for the power to go.
constexpr const char* kSeededSettings = "[TFrmTalk]\nLogOff_Checked=False\nLogOn_Checked=False\n";

pid_t Start(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

std::vector<int16_t> ReadSamples(const std::string& wavPath) {
    std::ifstream file(wavPath, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    std::vector<int16_t> samples;
    for (size_t i = kWavHeader; i + 1 < bytes.size(); i += 2) {
        int16_t sample;
        std::memcpy(&sample, bytes.data() + i, 2);
        samples.push_back(sample);
    }
    return samples;
}

bool HasLoudSample(const std::string& wavPath) {
    const auto samples = ReadSamples(wavPath);
    return std::any_of(samples.begin(), samples.end(),
                       [](int16_t sample) { return std::abs(int{sample}) >= kLoud; });
}

// The silences between loud stretches of a recording, in milliseconds.
std::vector<double> SilencesBetweenSpeech(const std::vector<int16_t>& samples) {
    std::vector<double> silences;
    bool spoken = false;
    long quietSince = -1;
    for (long i = 0; i < long(samples.size()); ++i) {
        const int level = std::abs(int{samples[size_t(i)]});
        if (level < kQuiet) {
            if (quietSince < 0) quietSince = i;
            continue;
        }
        if (spoken && quietSince >= 0) {
            const double ms = 1000.0 * double(i - quietSince) / kWavRate;
            if (ms >= kShortestGapMs) silences.push_back(ms);
        }
        spoken = spoken || level >= kLoud;
        quietSince = -1;
    }
    return silences;
}

// True once the recording has stopped growing for a while after some speech.
bool RecordingSettled(const std::string& wavPath) {
    std::error_code error;
    const auto size = fs::file_size(wavPath, error);
    if (error || !HasLoudSample(wavPath)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    return fs::file_size(wavPath, error) == size && !error;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1.0 : values[values.size() / 2];
}

// Runs a helper program with its output discarded; true when it exits with 0. Paced, since
// callers ask again until it succeeds.
bool Succeeds(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &quiet, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&quiet);
    int status = 0;
    const bool done =
        pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!done) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return done;
}

double ResidentMegabytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    double kilobytes = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> kilobytes;
            break;
        }
    }
    return kilobytes / 1024.0;
}

void WriteSettings(const std::string& program, const std::string& more = {}) {
    std::ofstream(program + ".ini") << kSeededSettings << more;
}

double MillisSince(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// The paths a measurement needs: the program, the engine window finder and a recording.
struct Setup {
    std::string root;
    std::string program;
    std::string winmsg;
    std::string Wav() const { return root + "/run.wav"; }
};

// Starts the program recording into a fresh file.
pid_t StartRecorded(const Setup& setup, const std::vector<std::string>& arguments) {
    fs::remove(setup.Wav());
    setenv("TOVRIN_AUDIO", ("wav:" + setup.Wav()).c_str(), 1);
    return Start(setup.program, arguments);
}

// The shell hands the running program, its engine already speaking-ready, a document.
double OpenInRunningToFirstAudio(const Setup& setup, const std::string& document) {
    WriteSettings(setup.program, "BtnRun_Down=True\n");
    const pid_t pid = StartRecorded(setup, {});
    const auto answers = [&] {
        return Succeeds(setup.winmsg, {"dde", "tovrin", "TovrinProcess", "{TALKSERVCMD}\\r\\n"});
    };
    // "Синтезатор речи": the engine program's window, in UTF-8 as the finder takes it.
    const auto engineUp = [&] {
        return Succeeds(setup.winmsg,
                        {"find", "--caption",
                         "\xd0\xa1\xd0\xb8\xd0\xbd\xd1\x82\xd0\xb5\xd0\xb7\xd0\xb0"
                         "\xd1\x82\xd0\xbe\xd1\x80 \xd1\x80\xd0\xb5\xd1\x87\xd0\xb8"});
    };
    double delay = -1;
    if (pid > 0 && WaitUntil(answers) && WaitUntil(engineUp)) {
        const auto start = Clock::now();
        const std::string macro = "{TALKSERVCMD}\\r\\n{SpeakFile}\\r\\n" + document + "\\r\\n";
        if (Succeeds(setup.winmsg, {"dde", "tovrin", "TovrinProcess", macro}) &&
            WaitUntil([&] { return HasLoudSample(setup.Wav()); }))
            delay = MillisSince(start);
    }
    if (pid > 0) Stop(pid);
    return delay;
}

double OpenLargeToFirstAudio(const Setup& setup) {
    const std::string document = setup.root + "/ten.txt";
    std::ofstream(document, std::ios::binary) << tovrin::bench::MakeRussianDocument(10u << 20, 7);
    const double delay = OpenInRunningToFirstAudio(setup, document);
    fs::remove(document);
    return delay;
}

// An FB2 book of at least `bytes` bytes in ten chapters, in Windows-1251.
std::string WriteFb2(const std::string& path, size_t bytes) {
    tovrin::bench::RussianWords words(5);
    // "Chapter" in Windows-1251.
    std::string fb2 = "<?xml version=\"1.0\" encoding=\"windows-1251\"?><FictionBook><body>";
    for (size_t chapter = 1; chapter <= 10; ++chapter) {
        fb2 +=
            "<section><title><p>\xc3\xeb\xe0\xe2\xe0 " + std::to_string(chapter) + "</p></title>";
        while (fb2.size() < bytes * chapter / 10)
            fb2 += "<p>" + words.Sentence() + " " + words.Sentence() + "</p>\n";
        fb2 += "</section>";
    }
    fb2 += "</body></FictionBook>\n";
    std::ofstream(path, std::ios::binary) << fb2;
    return path;
}

// The program started with a 1 MB FB2 book until its first sound, the median of three runs.
double Fb2StartToFirstAudio(const Setup& setup, const std::string& book) {
    WriteSettings(setup.program);
    std::vector<double> delays;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        const pid_t pid = StartRecorded(setup, {book});
        if (pid > 0 && WaitUntil([&] { return HasLoudSample(setup.Wav()); }))
            delays.push_back(MillisSince(start));
        if (pid > 0) Stop(pid);
    }
    return delays.size() == 3 ? Median(delays) : -1;
}

// The book's figures: started with it, and handed to the running program.
void MeasureFb2(const Setup& setup) {
    const std::string book = WriteFb2(setup.root + "/book.fb2", 1u << 20);
    const double started = Fb2StartToFirstAudio(setup, book);
    std::vector<double> handed;
    for (int run = 0; run < 3; ++run)
        handed.push_back(OpenInRunningToFirstAudio(setup, book));
    fs::remove(book);
    // -1: no speech was heard.
    std::printf("fb2_1mb_to_first_audio_ms %.1f ms\n", started);
    std::printf("fb2_1mb_running_to_first_audio_ms %.1f ms\n",
                std::count(handed.begin(), handed.end(), -1.0) ? -1.0 : Median(handed));
}

// Short paragraphs without a pause of their own, read in the window with the paragraph-end
// pause off: the silences between them are the time the reader takes to hand on a portion.
double WindowPortionGap(const Setup& setup) {
    const std::string document = setup.root + "/gaps.txt";
    {
        std::ofstream out(document, std::ios::binary);
        // "Mama washed the frame", no stops and no punctuation, paragraphs set off by empty
        // lines: the speech is silent only between portions.
        for (int i = 0; i < kGapParagraphs; ++i)
            out << "\xcc\xe0\xec\xe0 \xec\xfb\xeb\xe0 \xf0\xe0\xec\xf3\r\n\r\n";
    }
    WriteSettings(setup.program, "AbzEndP_Checked=False\nAbzBegP_Checked=False\n");
    const pid_t pid = StartRecorded(setup, {document});
    const bool settled = pid > 0 && WaitUntil([&] { return RecordingSettled(setup.Wav()); },
                                              std::chrono::seconds(60));
    if (pid > 0) Stop(pid);
    if (!settled) return -1;
    auto silences = SilencesBetweenSpeech(ReadSamples(setup.Wav()));
    // The longest silences are the ones between paragraphs.
    std::sort(silences.rbegin(), silences.rend());
    if (silences.size() > kGapParagraphs - 1) silences.resize(kGapParagraphs - 1);
    std::fprintf(stderr, "portion gaps measured: %zu\n", silences.size());
    return Median(silences);
}

// The program's memory with a 50 MB document open in a window, once its reading has begun.
double ResidentWithLargeDocument(const Setup& setup) {
    const std::string document = setup.root + "/fifty.txt";
    std::ofstream(document, std::ios::binary) << tovrin::bench::MakeRussianDocument(50u << 20, 11);
    WriteSettings(setup.program);
    const pid_t pid = StartRecorded(setup, {document});
    double resident = -1;
    if (pid > 0 &&
        WaitUntil([&] { return HasLoudSample(setup.Wav()); }, std::chrono::seconds(60))) {
        for (int i = 0; i < 10; ++i) {
            resident = std::max(resident, ResidentMegabytes(pid));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
    if (pid > 0) Stop(pid);
    fs::remove(document);
    return resident;
}

// A 10 MB book that the reading places remember at 90 %: the program started with it opens it
// there and reads on from there.
double ReopenRememberedToFirstAudio(const Setup& setup, const std::string& stateFolder) {
    const std::string document = setup.root + "/remembered.txt";
    const std::string text = tovrin::bench::MakeRussianDocument(10u << 20, 5);
    std::ofstream(document, std::ios::binary) << text;
    // The start of the first line past 90 %, as the window's buffer counts (the text's breaks
    // are CR LF already).
    const size_t caret = text.find("\r\n", text.size() / 10 * 9) + 2;
    struct stat info {};
    const std::string path = fs::canonical(document).string();
    if (stat(path.c_str(), &info) != 0) return -1;
    const long long modified = (long long)info.st_mtim.tv_sec * 1000000000 + info.st_mtim.tv_nsec;
    fs::create_directories(stateFolder);
    std::ofstream(stateFolder + "/places.json")
        << "{\"format\": \"tovrin-reading-places\", \"version\": 1, \"documents\": [{\"path\": \""
        << path << "\", \"size\": " << info.st_size << ", \"modified\": " << modified
        << ", \"caret\": " << caret << ", \"top\": " << caret << "}]}\n";
    WriteSettings(setup.program);
    const auto start = Clock::now();
    const pid_t pid = StartRecorded(setup, {document});
    double delay = -1;
    if (pid > 0 && WaitUntil([&] { return HasLoudSample(setup.Wav()); }, std::chrono::seconds(60)))
        delay = MillisSince(start);
    if (pid > 0) Stop(pid);
    fs::remove(document);
    return delay;
}

}  // namespace

int main(int argc, char** argv) {
    const bool fb2Only = argc > 1 && std::strcmp(argv[1], "fb2") == 0;
    const std::string root = MakeTempDir("tovrin-bench-program");
    const std::string runtime = MakeTempDir("tovrin-bench-run");
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    // The reading places too stay private: each run starts without any.
    const std::string state = root + "/state";
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const fs::path built = fs::read_symlink("/proc/self/exe").parent_path();
    fs::create_directories(root + "/app");
    fs::create_directories(root + "/config");
    fs::copy_file(built / "tovrin", root + "/app/tovrin");
    fs::create_directory_symlink(built / "ZalLib", root + "/app/ZalLib");
    const std::string program = root + "/app/tovrin";
    const Setup setup{root, program, (built / "tovrin-winmsg").string()};
    if (fb2Only) {
        MeasureFb2(setup);
        std::error_code ignored;
        fs::remove_all(root, ignored);
        fs::remove_all(runtime, ignored);
        return 0;
    }
    WriteSettings(program);
    const std::string document = root + "/document.txt";
    // "Good day. The program reads the text aloud." in Windows-1251.
    std::ofstream(document, std::ios::binary)
        << "\xc4\xee\xe1\xf0\xfb\xe9 \xe4\xe5\xed\xfc. \xcf\xf0\xee\xe3\xf0\xe0\xec\xec\xe0 "
           "\xf7\xe8\xf2\xe0\xe5\xf2 \xf2\xe5\xea\xf1\xf2 \xe2\xf1\xeb\xf3\xf5.\r\n";

    std::vector<double> delays;
    for (int run = 0; run < kStartRuns; ++run) {
        const std::string wav = root + "/run.wav";
        fs::remove(wav);
        setenv("TOVRIN_AUDIO", ("wav:" + wav).c_str(), 1);
        const auto start = Clock::now();
        const pid_t pid = Start(program, {document});
        if (pid <= 0 || !WaitUntil([&] { return HasLoudSample(wav); })) {
            std::fprintf(stderr, "no speech was heard from the program\n");
            if (pid > 0) Stop(pid);
            return 1;
        }
        delays.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        Stop(pid);
    }
    std::sort(delays.begin(), delays.end());

    // Idle: the program with its engine switched on (as the last run left it) and nothing read.
    setenv("TOVRIN_AUDIO", "null", 1);
    const pid_t idle = Start(program, {});
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double before = CpuSeconds(idle);
    const auto idleStart = Clock::now();
    std::this_thread::sleep_for(kIdleSpan);
    const double elapsed = std::chrono::duration<double>(Clock::now() - idleStart).count();
    const double idleCpu = 100.0 * (CpuSeconds(idle) - before) / elapsed;
    Stop(idle);

    MeasureFb2(setup);
    const double openLarge = OpenLargeToFirstAudio(setup);
    const double portionGap = WindowPortionGap(setup);
    const double resident = ResidentWithLargeDocument(setup);
    const double reopen = ReopenRememberedToFirstAudio(setup, state + "/tovrin");
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::remove_all(runtime, ignored);

    std::printf("start_to_first_audio_ms %.1f ms\n", delays[delays.size() / 2]);
    std::printf("program_idle_cpu_percent %.2f %%\n", idleCpu);
    // -1: the measurement failed (no speech heard, or the program did not answer).
    std::printf("open_10mb_to_first_audio_ms %.1f ms\n", openLarge);
    std::printf("window_portion_gap_ms_p50 %.1f ms\n", portionGap);
    std::printf("rss_mb_50mb_document %.1f MB\n", resident);
    std::printf("reopen_to_first_audio_ms %.1f ms\n", reopen);
    return 0;
}
