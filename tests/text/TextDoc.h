#pragma once

#include "text/TextFinder.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tovrin::test {

// A document in a heap block of exactly its size plus the terminator, installed as the text
// bounds, so the sanitizer build sees any read outside it. Positions are spoken of as offsets.
class TextDoc {
  public:
    explicit TextDoc(std::string_view text) : size_(text.size()), bytes_(new char[size_ + 1]) {
        text.copy(bytes_.get(), size_);
        bytes_[size_] = '\0';
        Install();
    }

    void Install() const { SetTextBounds(bytes_.get(), bytes_.get() + size_); }
    const char* At(std::ptrdiff_t offset) const { return bytes_.get() + offset; }
    std::ptrdiff_t Offset(const char* p) const { return p - bytes_.get(); }
    std::ptrdiff_t Size() const { return static_cast<std::ptrdiff_t>(size_); }
    const char* Data() const { return bytes_.get(); }
    // Offset of the first occurrence of `needle`.
    std::ptrdiff_t Find(std::string_view needle) const {
        return static_cast<std::ptrdiff_t>(std::string_view(bytes_.get(), size_).find(needle));
    }

  private:
    std::size_t size_;
    std::unique_ptr<char[]> bytes_;
};

}  // namespace tovrin::test
