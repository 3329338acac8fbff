#pragma once

#include <stdexcept>
#include <string>

namespace tovrin {

// The one exception the text library raises: a pause field whose text is not a number.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tovrin
