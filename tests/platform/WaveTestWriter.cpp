// Plays a constant tone on the wave device chosen by TOVRIN_AUDIO, for the tests that need
// several processes on one device: wave_test_writer VALUE FRAMES. Exits 1 when the device
// failed.
#include "platform/WaveDevice.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const auto value = static_cast<int16_t>(std::atoi(argv[1]));
    size_t frames = std::strtoull(argv[2], nullptr, 10);
    auto stream = tovrin::PcmStream::Open(tovrin::PcmFormat{22050, 1});
    if (!stream) return 1;
    const std::vector<int16_t> piece(441, value);
    while (frames > 0) {
        const size_t take = std::min(frames, piece.size());
        if (!stream->Write(piece.data(), take)) return 1;
        frames -= take;
    }
    stream->Drain();
    // As every program using the device does: a failure of the device is a failure.
    return tovrin::WaveDeviceFailure() ? 1 : 0;
}
