#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Desktop.h"
#include "platform/DesktopHost.h"

namespace tovrin {

// Class of the hidden window that stands for a DDE server topic; its caption is
// "service|topic".
constexpr const char* kDdeServerClass = "TovrinDdeServer";

// Answers execute transactions for one service and topic. The handler runs on the host's UI
// thread and returns whether the macro was processed.
class DdeServer {
  public:
    using ExecuteHandler = std::function<bool(const std::string& macro)>;

    DdeServer(DesktopHost& host, const std::string& service, const std::string& topic,
              ExecuteHandler onExecute);
    ~DdeServer();
    DdeServer(const DdeServer&) = delete;
    DdeServer& operator=(const DdeServer&) = delete;

    WindowHandle window() const { return window_; }

  private:
    DesktopHost& host_;
    WindowHandle window_ = kNoWindow;
};

enum class DdeResult { Processed, NotProcessed, NoConversation };

// A client conversation with a server topic; service and topic compare without regard to
// letter case.
class DdeConversation {
  public:
    DdeConversation() = default;
    ~DdeConversation() = default;
    DdeConversation(const DdeConversation&) = delete;
    DdeConversation& operator=(const DdeConversation&) = delete;

    // Established when the server's window is found and answers.
    bool Connect(std::string_view service, std::string_view topic);
    bool Connected() const { return server_ != kNoWindow; }
    // waitForAck false: the macro is delivered, the answer is not awaited (Processed when
    // delivered).
    DdeResult Execute(std::string_view macro, bool waitForAck = true);
    void Disconnect() { server_ = kNoWindow; }

  private:
    WindowHandle server_ = kNoWindow;
};

}  // namespace tovrin
