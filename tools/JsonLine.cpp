#include "tools/JsonLine.h"

#include "text/CodePages.h"

namespace tovrin {

JsonLine& JsonLine::Number(std::string_view key, int64_t value) {
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Boolean(std::string_view key, bool value) {
    Key(key);
    body_ += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::Text(std::string_view key, std::string_view windows1251) {
    Key(key);
    body_ += JsonQuoted(Windows1251ToUtf8(windows1251));
    return *this;
}

JsonLine& JsonLine::Null(std::string_view key) {
    Key(key);
    body_ += "null";
    return *this;
}

void JsonLine::Key(std::string_view key) {
    if (body_.size() > 1) body_ += ',';
    body_ += JsonQuoted(key);
    body_ += ':';
}

std::string JsonQuoted(std::string_view utf8) {
    static const char kHex[] = "0123456789abcdef";
    std::string quoted;
    quoted.reserve(utf8.size() + 2);
    quoted += '"';
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            case '\b':
                quoted += "\\b";
                break;
            case '\f':
                quoted += "\\f";
                break;
            default:
                if (byte < 0x20) {
                    quoted += "\\u00";
                    quoted += kHex[byte >> 4];
                    quoted += kHex[byte & 15];
                } else {
                    quoted += c;
                }
        }
    }
    quoted += '"';
    return quoted;
}

}  // namespace tovrin
