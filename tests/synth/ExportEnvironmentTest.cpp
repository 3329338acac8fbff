// Saving speech into a file from a worker thread, as a player window does, while other
// threads of the program may read the environment: nothing in that path may change it.
// A test program of its own, so that eSpeak starts here and nowhere before.

#include "synth/SpeechExport.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <filesystem>
#include <string_view>
#include <thread>

namespace {

std::atomic<int> soundServerChanges{0};

void CountIfSoundServer(const char* name) {
    if (name && std::string_view(name) == "PULSE_SERVER") ++soundServerChanges;
}

}  // namespace

// Every change of the environment in this program passes here on its way to the C library.
extern "C" int setenv(const char* name, const char* value, int replace) noexcept {
    using Real = int (*)(const char*, const char*, int);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "setenv"));
    CountIfSoundServer(name);
    return real(name, value, replace);
}

extern "C" int unsetenv(const char* name) noexcept {
    using Real = int (*)(const char*);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "unsetenv"));
    CountIfSoundServer(name);
    return real(name);
}

namespace tovrin {
namespace {

TEST(ExportEnvironment, SavingSpeechFromAWorkerLeavesTheEnvironmentAlone) {
    const std::string folder = test::MakeTempDir("export-env");
    ExportSettings settings;
    settings.path = folder + "/speech.wav";
    settings.engineFolder = folder;
    std::atomic<bool> interrupted{false};
    bool spoken = false;
    std::thread worker([&] {
        SpeechExport out(settings, interrupted);
        spoken = out.Speak("\xCF\xF0\xE8\xE2\xE5\xF2", 0, 1);  // "Привет" in Windows-1251
        out.Finish();
    });
    worker.join();
    EXPECT_TRUE(spoken);
    EXPECT_GT(std::filesystem::file_size(settings.path), 10000u);
    EXPECT_EQ(soundServerChanges, 0);
}

}  // namespace
}  // namespace tovrin
