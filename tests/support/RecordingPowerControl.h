#pragma once

#include "platform/Power.h"

#include <string>
#include <vector>

namespace tovrin {

// Records each call instead of switching anything off.
class RecordingPowerControl : public PowerControl {
  public:
    bool PowerOff() override {
        calls.push_back("PowerOff");
        return result;
    }
    bool Hibernate() override {
        calls.push_back("Hibernate");
        return result;
    }

    std::vector<std::string> calls;  // "PowerOff", "Hibernate" in order
    bool result = true;
};

}  // namespace tovrin
