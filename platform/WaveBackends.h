#pragma once

#include "platform/WaveClock.h"
#include "platform/WaveDevice.h"

#include <memory>
#include <string>

namespace tovrin {

// The sinks behind PcmStream::Open, one per backend; each returns nullptr when it cannot
// open. The formats given are already checked (1 or 2 channels, a sane rate).
std::unique_ptr<PcmStream> OpenNullStream(const PcmFormat& format, WaveClock& clock);
std::unique_ptr<PcmStream> OpenWavStream(const std::string& path, const PcmFormat& format,
                                         WaveClock& clock);
std::unique_ptr<PcmStream> OpenPulseStream(const PcmFormat& format);
// Whether a PulseAudio (or PipeWire) server accepts a playback stream now.
bool PulseServerAnswers();

// Keeps the first failure for WaveDeviceFailure() and writes it on standard error.
void ReportWaveDeviceFailure(const std::string& failure);

}  // namespace tovrin
