#include "tests/support/TestEnvironment.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace tovrin::test {

namespace {

std::string& Root() {
    static std::string root;
    return root;
}

void RemoveRootAtExit() {
    std::error_code ignored;
    if (!Root().empty()) std::filesystem::remove_all(Root(), ignored);
}

std::string MakeDirFrom(std::string pattern) {
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    return buffer.data();
}

}  // namespace

const std::string& TestRoot() {
    if (Root().empty()) {
        Root() = MakeDirFrom("/tmp/tovrin-test-XXXXXX");
        std::atexit(RemoveRootAtExit);
    }
    return Root();
}

std::string MakeTempDir(const std::string& prefix) {
    return MakeDirFrom(TestRoot() + "/" + prefix + "-XXXXXX");
}

void IsolateFromUserSession() {
    setenv("XDG_RUNTIME_DIR", MakeTempDir("runtime").c_str(), 1);
    setenv("XDG_CONFIG_HOME", MakeTempDir("config").c_str(), 1);
    setenv("XDG_STATE_HOME", MakeTempDir("state").c_str(), 1);
    // A test may ask for a recording device itself; anything else stays silent.
    const char* audio = getenv("TOVRIN_AUDIO");
    if (!audio || std::string(audio).rfind("wav:", 0) != 0) setenv("TOVRIN_AUDIO", "null", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // No notice or bus call reaches the user's desktop: bus tests name a private bus.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string BinaryDir() {
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "bin";
    // Test executables live in bin/ beside the programs.
    return self.parent_path().string();
}

}  // namespace tovrin::test
