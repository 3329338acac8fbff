// What memory tovrin-say needs for a large document: a Russian document of 1000 MB (or the
// number of megabytes given as the first argument) is saved as sound; once the sound file has
// begun, the export is interrupted and the program's peak resident memory printed.
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "bench/BenchSupport.h"
#include "bench/RussianWords.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// True once the export has written into its hidden temporary file in `folder`.
bool ExportUnderWay(const std::string& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        std::error_code error;
        if (name.rfind(".book.wav", 0) == 0 && fs::file_size(entry.path(), error) > 0) return true;
    }
    return false;
}

void WriteDocument(const std::string& path, size_t megabytes) {
    const std::string block = tovrin::bench::MakeRussianDocument(size_t{1} << 20, 7);
    std::ofstream out(path, std::ios::binary);
    for (size_t i = 0; i < megabytes; ++i)
        out << block;
}

}  // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
    const std::string folder = tovrin::bench::MakeTempDir("tovrin-say-memory");
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    setenv("TOVRIN_AUDIO", "none", 1);
    const std::string document = folder + "/book.txt";
    WriteDocument(document, megabytes);

    std::string program = fs::read_symlink("/proc/self/exe").parent_path() / "tovrin-say";
    std::string fileOption = "--file", outputOption = "--output", output = folder + "/book.wav";
    std::string documentArg = document;
    char* args[] = {program.data(),      fileOption.data(), documentArg.data(),
                    outputOption.data(), output.data(),     nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, args, environ) != 0) return 1;
    while (!ExportUnderWay(folder) && waitpid(pid, nullptr, WNOHANG) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    kill(pid, SIGINT);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    std::printf("document %zu MB: first sound after %.1f s, peak memory %.1f MB\n", megabytes,
                seconds, usage.ru_maxrss / 1024.0);
    fs::remove_all(folder);
    return 0;
}
