#include "platform/PacedStream.h"
#include "platform/WaveBackends.h"

namespace tovrin {

namespace {

// Discards samples, at the pace a real speaker would play them.
class NullStream : public PacedStream {
  public:
    NullStream(const PcmFormat& format, WaveClock& clock) : PacedStream(format, clock, false) {}

  protected:
    bool OnPlayed(const int16_t*, size_t, int64_t) override { return true; }
};

}  // namespace

std::unique_ptr<PcmStream> OpenNullStream(const PcmFormat& format, WaveClock& clock) {
    return std::make_unique<NullStream>(format, clock);
}

}  // namespace tovrin
