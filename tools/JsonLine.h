#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tovrin {

// Builds one JSON object for a single output line. Text values are Windows-1251 and are
// written as UTF-8; keys are plain ASCII names.
class JsonLine {
  public:
    JsonLine& Number(std::string_view key, int64_t value);
    JsonLine& Boolean(std::string_view key, bool value);
    JsonLine& Text(std::string_view key, std::string_view windows1251);
    JsonLine& Null(std::string_view key);

    // The finished object, without a line break.
    std::string Str() const { return body_ + "}"; }

  private:
    void Key(std::string_view key);

    std::string body_ = "{";
};

// `utf8` as a quoted JSON string: quotes, backslashes and control characters escaped.
std::string JsonQuoted(std::string_view utf8);

}  // namespace tovrin
