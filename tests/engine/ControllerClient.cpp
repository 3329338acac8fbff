// A controller in a process of its own, for the tests that run several controllers at once or
// end one in the middle of its work.
//   controller_client FOLDER say TEXT      use the engine in FOLDER as tovrin-say does: start it
//                                          or share a running one, speak TEXT, close it if it
//                                          was started here, put win.ini back
//   controller_client FOLDER edit N        write the engine's configuration and put win.ini
//                                          back, killing itself (SIGKILL) just before its N-th
//                                          file change
// Exit status: 0 done, 1 failed (message on standard error), 3 win.ini not put back, 4 the
// text was cut short by another controller.
#include "engine/EngineError.h"
#include "engine/TalkServ.h"

#include <signal.h>

#include <cstdio>
#include <string>
#include <thread>

namespace tovrin {
namespace {

// The disk, with the process ending by SIGKILL before the chosen change, as on power loss.
class KillingStore final : public FileStore {
  public:
    explicit KillingStore(int killAt) : killAt_(killAt) {}
    std::optional<FileContent> Read(const std::string& path) override {
        return DiskFileStore::Instance().Read(path);
    }
    bool Replace(const std::string& path, const std::string& content) override {
        Step();
        return DiskFileStore::Instance().Replace(path, content);
    }
    bool Remove(const std::string& path) override {
        Step();
        return DiskFileStore::Instance().Remove(path);
    }

  private:
    void Step() {
        if (++changes_ == killAt_) raise(SIGKILL);
    }
    int killAt_;
    int changes_ = 0;
};

class ClientHolder : public SpeechHolder {
  public:
    bool IsPlayerWindow() const override { return false; }
    void PlayerPoll(const EngineState&) override {}
};

int Say(const std::string& folder, const std::string& text) {
    TTalkServ serv(folder);
    serv.ResetController();
    serv.SetEngineRunning(true);
    const bool startedHere = serv.StartedEngine();
    ClientHolder holder;
    serv.AcquireEngine(&holder);
    const SpeakResult result = serv.SpeakText(text, &holder);
    if (result != SpeakResult::Accepted)
        throw EngineError("speak refused: " + std::to_string(static_cast<int>(result)));
    for (int polls = 0; serv.IsBusy(); ++polls) {
        if (polls == 2000) throw EngineError("the engine never fell silent");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!serv.GetEngineState().Running) throw EngineError("the engine was closed under us");
    const bool whole = serv.EngineHoldsText(text);
    serv.ReleaseEngine();
    if (startedHere) serv.SetEngineRunning(false);
    if (!serv.RestoreEngineSections()) return 3;
    return whole ? 0 : 4;
}

int Edit(const std::string& folder, int killAt) {
    KillingStore store(killAt);
    TTalkServ serv(folder, SystemClock::Instance(), store);
    if (!serv.WriteEngineConfig()) throw EngineError("configuration not written");
    return serv.RestoreEngineSections() ? 0 : 3;
}

}  // namespace
}  // namespace tovrin

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::string folder = argv[1], mode = argv[2], argument = argv[3];
    try {
        if (mode == "say") return tovrin::Say(folder, argument);
        if (mode == "edit") return tovrin::Edit(folder, std::stoi(argument));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "controller_client: %s\n", e.what());
        return 1;
    }
    return 2;
}
