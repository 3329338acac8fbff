// tovrin-say --output as a user runs it on a book: a Russian document of 1 MB (or the number
// of kilobytes given as the first argument) saved as Ogg Vorbis and as WAV. Prints the seconds
// of work per second of speech for each, and what the speech lasts.
#include <fcntl.h>
#include <sndfile.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/BenchSupport.h"
#include "bench/RussianWords.h"

extern char** environ;

namespace {

using tovrin::bench::MakeTempDir;

using Clock = std::chrono::steady_clock;

// Runs tovrin-say beside this program; true when it succeeded.
bool RunSay(const std::string& document, const std::string& output) {
    std::string program =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tovrin-say";
    std::string fileOption = "--file", outputOption = "--output";
    std::string documentArg = document, outputArg = output;
    char* argv[] = {program.data(),      fileOption.data(), documentArg.data(),
                    outputOption.data(), outputArg.data(),  nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double SpeechSeconds(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return 0;
    sf_close(file);
    return info.samplerate > 0 ? static_cast<double>(info.frames) / info.samplerate : 0;
}

// Seconds of work per second of speech; negative when the export failed.
double ExportRealTimeFactor(const std::string& document, const std::string& output,
                            double& speechSeconds) {
    const auto start = Clock::now();
    if (!RunSay(document, output)) return -1;
    const double work = std::chrono::duration<double>(Clock::now() - start).count();
    speechSeconds = SpeechSeconds(output);
    std::filesystem::remove(output);
    return speechSeconds > 0 ? work / speechSeconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const size_t kilobytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
    const std::string folder = MakeTempDir("tovrin-export-bench");
    // A private desktop and config: the bench never meets the user's.
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    setenv("TOVRIN_AUDIO", "none", 1);
    const std::string document = folder + "/book.txt";
    std::ofstream(document, std::ios::binary)
        << tovrin::bench::MakeRussianDocument(kilobytes * 1024, 1);

    double oggSeconds = 0, wavSeconds = 0;
    const double ogg = ExportRealTimeFactor(document, folder + "/book.ogg", oggSeconds);
    const double wav = ExportRealTimeFactor(document, folder + "/book.wav", wavSeconds);
    std::filesystem::remove_all(folder);
    std::printf("export_speech_hours %.2f h\n", wavSeconds / 3600);
    std::printf("export_rtf_ogg %.5f ratio\n", ogg);
    std::printf("export_rtf_wav %.5f ratio\n", wav);
    return ogg > 0 && wav > 0 ? 0 : 1;
}
