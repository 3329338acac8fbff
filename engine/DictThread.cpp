#include "engine/DictThread.h"

#include "engine/AnyCaseName.h"
#include "engine/EngineError.h"
#include "engine/WholeNumber.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tovrin {

namespace {

const std::string& RequestLine(const DictionaryRequest& request, size_t index) {
    if (index >= request.size())
        throw EngineError("List index out of bounds (" + std::to_string(index) + ")");
    return request[index];
}

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

int64_t ReadOffset(const std::string& line) {
    return WholeNumberOrThrow(IsBlank(line) ? "0" : line);
}

void PutLittleEndian32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Only a regular file is read: a pipe or a device named as the sound file would block the
// request or never end.
std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw EngineError("Cannot open file \"" + path + "\"");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EngineError("Cannot open file \"" + path + "\"");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TDictThread::TDictThread(DictWorkerHost& host, const DictionaryRequest& request) : host_(host) {
    RequestLine(request, kDictionaryRequestLines - 1);  // a short request fails here
    script_ = IsBlank(request[2]) ? "R1E1" : request[2];
    textT_ = request[3];
    textR_ = request[4];
    const int64_t start = std::max<int64_t>(ReadOffset(request[6]), 0);
    const int64_t end = std::max(ReadOffset(request[7]), start);
    PrepareFragment(request[5], start, end);
}

TDictThread::~TDictThread() {
    Terminate();
    if (thread_.joinable()) thread_.join();
}

void TDictThread::PrepareFragment(const std::string& path, int64_t start, int64_t end) {
    // The request names the file in upper case; the disk may hold it in any case.
    const std::string found = FindPathAnyCase(path);
    if (found.empty()) {
        soundFile_.clear();
        soundFileName_.clear();
        return;
    }
    soundFile_ = ReadWholeFile(found);
    soundFileName_ = found;
    const auto dataEnd = static_cast<int64_t>(kWaveHeaderSize) + end;
    if (dataEnd > static_cast<int64_t>(soundFile_.size())) throw EngineError("Stream read error");
    std::copy_n(soundFile_.begin(), kWaveHeaderSize, header_.begin());

    const auto length = static_cast<uint32_t>(end - start);
    fragment_.assign(header_.begin(), header_.end());
    PutLittleEndian32(fragment_.data() + 4, length + 36);
    PutLittleEndian32(fragment_.data() + 40, length);
    const auto first = soundFile_.begin() + static_cast<std::ptrdiff_t>(kWaveHeaderSize + start);
    fragment_.insert(fragment_.end(), first, first + length);
}

void TDictThread::Terminate() {
    terminated_ = true;
    playCancel_.Cancel();
}

void TDictThread::Start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void TDictThread::Run() {
    std::string steps = script_;
    while (!steps.empty()) {
        const char step = static_cast<char>(std::toupper(static_cast<unsigned char>(steps[0])));
        if (!RunStep(step)) break;
        steps.erase(0, 1);
        if (terminated_) break;
    }
    finished_ = true;
}

// False when the step failed, which ends the run.
bool TDictThread::RunStep(char step) {
    if (step >= '1' && step <= '9')
        return Speak("{wait " + std::to_string((step - '0') * 10) + "}");
    if (step == 'E') return PlaySound();
    if (step == 'R') return Speak(textR_);
    if (step == 'T') return Speak(textT_);
    return true;
}

bool TDictThread::Speak(const std::string& text) {
    if (!WaitWhile(&TDictThread::DictionaryPaused) || !WaitWhile(&TDictThread::EngineSpeaking))
        return false;
    if (terminated_) return true;
    host_.SendText(text);
    return WaitWhile(&TDictThread::EngineSpeaking);
}

bool TDictThread::PlaySound() {
    if (!WaitWhile(&TDictThread::DictionaryPaused) || !WaitWhile(&TDictThread::EngineSpeaking))
        return false;
    if (terminated_) return true;
    const bool played = host_.PlayFragment(fragment_, playCancel_);
    return WaitWhile(&TDictThread::EngineSpeaking) && played;
}

// A vanished engine reads as speaking for ever, so a wait also ends, as a failed step, when
// the engine's window has gone; the finished worker is then freed like any other.
bool TDictThread::WaitWhile(bool (TDictThread::*condition)()) {
    while (!terminated_ && (this->*condition)()) {
        if (!host_.IsEngineAlive()) return false;
        host_.PausePoll();
    }
    return true;
}

}  // namespace tovrin
