#pragma once

#include <stdexcept>
#include <string>

namespace tovrin {

// Raised for a pause field whose text is not a number.
class ConversionError : public std::runtime_error {
  public:
    explicit ConversionError(const std::string& message) : std::runtime_error(message) {}
};

// Raised when a program cannot be started; the message begins "Create process error: ".
class ProcessError : public std::runtime_error {
  public:
    explicit ProcessError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tovrin
