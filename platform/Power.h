#pragma once

namespace tovrin {

// Switching the computer off or into hibernation. The real backend (logind over D-Bus) is
// made only by a program's entry point and installed with InstallPowerControl; tests install
// a recording fake. With nothing installed every call fails and nothing happens.
class PowerControl {
  public:
    virtual ~PowerControl() = default;
    virtual bool PowerOff() = 0;
    virtual bool Hibernate() = 0;
};

void InstallPowerControl(PowerControl* control);
PowerControl* InstalledPowerControl();

}  // namespace tovrin
