#pragma once

#include <stdexcept>
#include <string>

namespace tovrin {

// The failure the engine controller raises: the message is the text the user is shown.
class EngineError : public std::runtime_error {
  public:
    explicit EngineError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tovrin
