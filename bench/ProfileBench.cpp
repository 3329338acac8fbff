// Profile speed on large files: a win.ini of 100,000 keys (in one section, and in as many
// sections) read, edited and put back as the controller does at every engine start and end,
// and a settings file holding one 8 MB value loaded and saved as the main window does.
// Prints "name value unit" lines.
#include "bench/BenchSupport.h"
#include "engine/WinIniKeeper.h"
#include "platform/AtomicFile.h"
#include "platform/Profile.h"
#ifdef TOVRIN_BENCH_SETTINGS
#include "main/SettingsFile.h"
#endif

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace tovrin {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kKeys = 100'000;

template <typename Work>
void Report(const char* name, Work work) {
    const auto start = Clock::now();
    work();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("%s %.1f ms\n", name, ms);
}

std::string OneBigSection() {
    std::string content = "[User]\n";
    for (int i = 0; i < kKeys; ++i)
        content += "Key" + std::to_string(i) + "=value " + std::to_string(i) + "\n";
    return content + "[ZalSynthes]\nPath=/opt\n";
}

std::string ManySections() {
    std::string content;
    for (int i = 0; i < kKeys; ++i)
        content += "[Section" + std::to_string(i) + "]\nKey=" + std::to_string(i) + "\n";
    return content + "[ZalSynthes]\nPath=/opt\n";
}

std::vector<ProfileChange> EngineChanges() {
    std::vector<ProfileChange> changes;
    for (int i = 0; i < 20; ++i)
        changes.push_back({ProfileChange::Kind::Write, "ZalSynthes", "K" + std::to_string(i), "v"});
    return changes;
}

void WinIniShape(const char* shape, const std::string& content, const std::string& folder) {
    const std::string path = folder + "/win.ini";
    WriteFileAtomically(path, content);
    const std::string prefix = std::string("profile_") + shape + "_";
    Report((prefix + "key_names").c_str(), [&] { ProfileFile(path).KeyNames("User"); });
    Report((prefix + "section_entries").c_str(), [&] { ProfileSectionEntries(content, "User"); });
    Report((prefix + "read_string").c_str(),
           [&] { ProfileFile(path).ReadString("ZalSynthes", "Path"); });
    std::string configured;
    Report((prefix + "apply_engine_changes").c_str(),
           [&] { configured = *ApplyProfileChanges(content, EngineChanges()); });
    Report((prefix + "put_back_sections").c_str(),
           [&] { PutBackSections(configured, content, {"ZalSynthes"}); });
    // The user edited the file meanwhile: the sections are merged back one by one.
    Report((prefix + "put_back_after_an_edit").c_str(),
           [&] { PutBackSections("[Added]\nk=1\n" + configured, content, {"ZalSynthes"}); });
    DiskFileStore store;
    WinIniKeeper keeper(path, {"ZalSynthes"}, store);
    Report((prefix + "engine_start_and_end").c_str(), [&] {
        keeper.WriteConfiguration(EngineChanges());
        keeper.PutBackUserSections();
    });
}

void SettingsWithLargeValue(const std::string& folder) {
    const std::string path = folder + "/tovrin.ini";
    WriteFileAtomically(path, "[TFrmTalk]\nStartUpEdit_Text=" + std::string(8 << 20, 'x') +
                                  "\nDictScript_Text=E1R1\n");
#ifdef TOVRIN_BENCH_SETTINGS
    StoredControls controls;
    Report("settings_8mb_value_load", [&] { LoadSettingsFile(path, {1024, 768, 96}, controls); });
    Report("settings_8mb_value_save", [&] { SaveSettingsFile(path, {}, controls); });
#else
    Report("settings_8mb_value_80_reads", [&] {
        const auto reader = ProfileFile(path).Read();
        for (int i = 0; i < 80; ++i)
            reader->Value("TFrmTalk", "DictScript_Text");
    });
#endif
}

}  // namespace
}  // namespace tovrin

int main() {
    const std::string folder = tovrin::bench::MakeTempDir("tovrin-profile-bench");
    if (folder.empty()) return 1;
    tovrin::WinIniShape("one_section", tovrin::OneBigSection(), folder);
    tovrin::WinIniShape("many_sections", tovrin::ManySections(), folder);
    tovrin::SettingsWithLargeValue(folder);
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return 0;
}
