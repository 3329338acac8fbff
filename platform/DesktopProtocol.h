#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Desktop.h"

// The frames exchanged between a desktop client and a hosting process. A frame is a 32-bit
// little-endian body length followed by the body; every request gets exactly one reply.
namespace tovrin::desktop_protocol {

constexpr uint32_t kMaxFrameBody = 1u << 20;

enum class Op : uint8_t {
    FindChild = 1,    // window: parent (0 = this host's top level), other: after
    Children = 2,     // window: parent (0 = this host's top level)
    Describe = 3,     // window
    SetParent = 4,    // window, other: new parent
    Show = 5,         // window, flag kFlagShow
    SendMessage = 6,  // window, message, wParam, text; flag kFlagWait
};

constexpr uint8_t kFlagHasClass = 1;
constexpr uint8_t kFlagHasCaption = 2;
constexpr uint8_t kFlagShow = 4;
constexpr uint8_t kFlagWait = 8;

enum class Status : uint8_t { Ok = 0, NoWindow = 1, BadRequest = 2 };

struct Request {
    Op op = Op::Describe;
    WindowHandle window = kNoWindow;
    WindowHandle other = kNoWindow;
    uint32_t message = 0;
    uint64_t wParam = 0;
    uint8_t flags = 0;
    std::string className;
    std::string caption;
    std::string text;
};

struct Reply {
    Status status = Status::Ok;
    int64_t value = 0;
    std::vector<WindowHandle> handles;
    std::string className;
    std::string caption;
    WindowHandle parent = kNoWindow;
    bool visible = false;
    ScrollInfo scroll;
};

// Bodies without the length prefix.
std::string EncodeRequest(const Request& request);
std::string EncodeReply(const Reply& reply);
// nullopt for a body that is truncated, too long or names an unknown operation.
std::optional<Request> DecodeRequest(std::string_view body);
std::optional<Reply> DecodeReply(std::string_view body);

// Prefixes a body with its length.
std::string Frame(const std::string& body);

inline pid_t PidOf(WindowHandle window) {
    return static_cast<pid_t>(window >> 32);
}

using Deadline = std::chrono::steady_clock::time_point;

// Writes all of `data` to a non-blocking socket, waiting for room until the deadline.
bool WriteAll(int fd, std::string_view data, Deadline deadline);
// Reads one whole frame body from a non-blocking socket before the deadline.
std::optional<std::string> ReadFrame(int fd, Deadline deadline);

}  // namespace tovrin::desktop_protocol
