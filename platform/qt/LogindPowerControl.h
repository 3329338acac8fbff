#pragma once

#include "platform/Power.h"

namespace tovrin {

// Asks systemd-logind over the system D-Bus to power off or hibernate. Constructed only by a
// program's entry point; never by tests.
class LogindPowerControl : public PowerControl {
  public:
    bool PowerOff() override;
    bool Hibernate() override;
};

}  // namespace tovrin
