#include "platform/DesktopProtocol.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tovrin::desktop_protocol {

namespace {

class Writer {
  public:
    void U8(uint8_t value) { out_.push_back(static_cast<char>(value)); }
    void U32(uint32_t value) { Fixed(value, 4); }
    void U64(uint64_t value) { Fixed(value, 8); }
    void Bytes(std::string_view bytes) {
        U32(static_cast<uint32_t>(bytes.size()));
        out_.append(bytes);
    }
    std::string Take() { return std::move(out_); }

  private:
    void Fixed(uint64_t value, int size) {
        for (int i = 0; i < size; ++i)
            out_.push_back(static_cast<char>(value >> (8 * i)));
    }
    std::string out_;
};

// Reads fields in order; once a field runs past the end every later read fails too.
class Reader {
  public:
    explicit Reader(std::string_view in) : in_(in) {}
    uint8_t U8() { return static_cast<uint8_t>(Fixed(1)); }
    uint32_t U32() { return static_cast<uint32_t>(Fixed(4)); }
    uint64_t U64() { return Fixed(8); }
    std::string Bytes() {
        const uint32_t size = U32();
        if (!ok_ || size > in_.size() - pos_) return Fail(), std::string();
        std::string bytes(in_.substr(pos_, size));
        pos_ += size;
        return bytes;
    }
    // True when every field was present and nothing is left over.
    bool Complete() const { return ok_ && pos_ == in_.size(); }

  private:
    uint64_t Fixed(size_t size) {
        if (!ok_ || size > in_.size() - pos_) return Fail(), 0;
        uint64_t value = 0;
        for (size_t i = 0; i < size; ++i)
            value |= uint64_t(static_cast<unsigned char>(in_[pos_ + i])) << (8 * i);
        pos_ += size;
        return value;
    }
    void Fail() { ok_ = false; }

    std::string_view in_;
    size_t pos_ = 0;
    bool ok_ = true;
};

bool KnownOp(uint8_t op) {
    return op >= static_cast<uint8_t>(Op::FindChild) && op <= static_cast<uint8_t>(Op::SendMessage);
}

int RemainingMs(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count()) + 1;
}

bool WaitFor(int fd, short events, Deadline deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, RemainingMs(deadline));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

// A reply from a host usually comes within a few tens of microseconds; waiting for it
// briefly without sleeping saves the wake-up of a blocked thread, which costs more than
// that on an idle machine.
bool SpinForData(int fd) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(60);
    do {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 0) > 0) return true;
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

// Reads exactly size bytes; false on end of stream, error or deadline.
bool ReadExactly(int fd, char* data, size_t size, Deadline deadline) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::recv(fd, data + done, size - done, 0);
        if (got > 0) {
            done += static_cast<size_t>(got);
        } else if (got == 0) {
            return false;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (SpinForData(fd)) continue;
            if (std::chrono::steady_clock::now() >= deadline || !WaitFor(fd, POLLIN, deadline))
                return false;
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string EncodeRequest(const Request& request) {
    Writer out;
    out.U8(static_cast<uint8_t>(request.op));
    out.U64(request.window);
    out.U64(request.other);
    out.U32(request.message);
    out.U64(request.wParam);
    out.U8(request.flags);
    out.Bytes(request.className);
    out.Bytes(request.caption);
    out.Bytes(request.text);
    return out.Take();
}

std::optional<Request> DecodeRequest(std::string_view body) {
    Reader in(body);
    Request request;
    const uint8_t op = in.U8();
    request.window = in.U64();
    request.other = in.U64();
    request.message = in.U32();
    request.wParam = in.U64();
    request.flags = in.U8();
    request.className = in.Bytes();
    request.caption = in.Bytes();
    request.text = in.Bytes();
    if (!in.Complete() || !KnownOp(op)) return std::nullopt;
    request.op = static_cast<Op>(op);
    return request;
}

std::string EncodeReply(const Reply& reply) {
    Writer out;
    out.U8(static_cast<uint8_t>(reply.status));
    out.U64(static_cast<uint64_t>(reply.value));
    out.U32(static_cast<uint32_t>(reply.handles.size()));
    for (WindowHandle handle : reply.handles)
        out.U64(handle);
    out.Bytes(reply.className);
    out.Bytes(reply.caption);
    out.U64(reply.parent);
    out.U8(reply.visible ? 1 : 0);
    out.U32(static_cast<uint32_t>(reply.scroll.min));
    out.U32(static_cast<uint32_t>(reply.scroll.max));
    out.U32(static_cast<uint32_t>(reply.scroll.pos));
    return out.Take();
}

std::optional<Reply> DecodeReply(std::string_view body) {
    Reader in(body);
    Reply reply;
    const uint8_t status = in.U8();
    reply.value = static_cast<int64_t>(in.U64());
    const uint32_t count = in.U32();
    // Each handle takes eight bytes, so a count the body cannot hold is a lie.
    if (count > body.size() / 8) return std::nullopt;
    for (uint32_t i = 0; i < count; ++i)
        reply.handles.push_back(in.U64());
    reply.className = in.Bytes();
    reply.caption = in.Bytes();
    reply.parent = in.U64();
    reply.visible = in.U8() != 0;
    reply.scroll.min = static_cast<int32_t>(in.U32());
    reply.scroll.max = static_cast<int32_t>(in.U32());
    reply.scroll.pos = static_cast<int32_t>(in.U32());
    if (!in.Complete() || status > static_cast<uint8_t>(Status::BadRequest)) return std::nullopt;
    reply.status = static_cast<Status>(status);
    return reply;
}

std::string Frame(const std::string& body) {
    std::string frame;
    frame.reserve(body.size() + 4);
    const auto size = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i)
        frame.push_back(static_cast<char>(size >> (8 * i)));
    frame += body;
    return frame;
}

bool WriteAll(int fd, std::string_view data, Deadline deadline) {
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            data.remove_prefix(static_cast<size_t>(sent));
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (std::chrono::steady_clock::now() >= deadline || !WaitFor(fd, POLLOUT, deadline))
                return false;
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

std::optional<std::string> ReadFrame(int fd, Deadline deadline) {
    char prefix[4];
    if (!ReadExactly(fd, prefix, sizeof prefix, deadline)) return std::nullopt;
    uint32_t size = 0;
    for (int i = 0; i < 4; ++i)
        size |= uint32_t(static_cast<unsigned char>(prefix[i])) << (8 * i);
    if (size > kMaxFrameBody) return std::nullopt;
    std::string body(size, '\0');
    if (!ReadExactly(fd, body.data(), size, deadline)) return std::nullopt;
    return body;
}

}  // namespace tovrin::desktop_protocol
