#include "engine/DictThread.h"

#include "engine/AnyCaseName.h"
#include "engine/EngineError.h"
#include "engine/WholeNumber.h"
#include "platform/FileReader.h"

#include <algorithm>
#include <cctype>

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

// Opens the file and checks the stretch against its size; the bytes are read by the run.
void TDictThread::PrepareFragment(const std::string& path, int64_t start, int64_t end) {
    // The request names the file in upper case; the disk may hold it in any case.
    const std::string found = FindPathAnyCase(path);
    soundFileName_.clear();
    if (found.empty()) return;
    // Only a regular file is read: a pipe or a device named as the sound file would block the
    // request or never end.
    OpenedFile file = OpenRegularFile(found);
    if (file.Status != FileReadStatus::Read)
        throw EngineError("Не удается открыть звуковой файл \"" + found + "\"");
    const auto dataEnd = static_cast<uint64_t>(kWaveHeaderSize) + static_cast<uint64_t>(end);
    if (dataEnd > file.Size || static_cast<uint64_t>(end - start) > kMaxSoundStretchBytes)
        throw EngineError("Ошибка чтения звукового файла: запись словаря выходит за его конец");
    soundFile_ = std::move(file.Fd);
    soundFileName_ = found;
    stretchStart_ = start;
    stretchEnd_ = end;
}

void TDictThread::ReadFragment() {
    if (!soundFile_.valid()) return;
    const UniqueFd file = std::move(soundFile_);
    const auto length = static_cast<size_t>(stretchEnd_ - stretchStart_);
    std::vector<uint8_t> image(kWaveHeaderSize + length);
    if (!ReadStretch(file.get(), 0, kWaveHeaderSize, image.data()) ||
        !ReadStretch(file.get(), kWaveHeaderSize + static_cast<uint64_t>(stretchStart_), length,
                     image.data() + kWaveHeaderSize))
        return;  // the file shrank meanwhile: nothing to play
    std::copy_n(image.begin(), kWaveHeaderSize, header_.begin());
    PutLittleEndian32(image.data() + 4, static_cast<uint32_t>(length + 36));
    PutLittleEndian32(image.data() + 40, static_cast<uint32_t>(length));
    fragment_ = std::move(image);
}

void TDictThread::Terminate() {
    terminated_ = true;
    playCancel_.Cancel();
}

void TDictThread::Start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void TDictThread::Run() {
    ReadFragment();
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
