#include "platform/Power.h"

#include <atomic>

namespace tovrin {

namespace {

std::atomic<PowerControl*>& Installed() {
    static std::atomic<PowerControl*> control{nullptr};
    return control;
}

}  // namespace

void InstallPowerControl(PowerControl* control) {
    Installed().store(control);
}

PowerControl* InstalledPowerControl() {
    return Installed().load();
}

}  // namespace tovrin
