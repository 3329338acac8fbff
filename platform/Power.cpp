#include "platform/Power.h"

#include <atomic>

namespace tovrin {

namespace {

std::atomic<PowerControl*>& Installed() {
    static std::atomic<PowerControl*> control{nullptr};
    return control;
}

}  // namespace

bool RecordingPowerControl::PowerOff() {
    calls.push_back("PowerOff");
    return result;
}

bool RecordingPowerControl::Hibernate() {
    calls.push_back("Hibernate");
    return result;
}

void InstallPowerControl(PowerControl* control) {
    Installed().store(control);
}

PowerControl* InstalledPowerControl() {
    return Installed().load();
}

}  // namespace tovrin
