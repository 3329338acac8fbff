#include "platform/Dde.h"

#include "platform/Win1251Case.h"

namespace tovrin {

namespace {

// The message that carries an execute transaction's macro to the server's window.
constexpr uint32_t kDdeExecuteMessage = 0x03E8;

bool NamesTopic(std::string_view caption, std::string_view service, std::string_view topic) {
    const size_t bar = caption.find('|');
    if (bar == std::string_view::npos) return false;
    return EqualIgnoringCaseWin1251(caption.substr(0, bar), service) &&
           EqualIgnoringCaseWin1251(caption.substr(bar + 1), topic);
}

}  // namespace

DdeServer::DdeServer(DesktopHost& host, const std::string& service, const std::string& topic,
                     ExecuteHandler onExecute)
    : host_(host) {
    auto handler = [onExecute = std::move(onExecute)](WindowHandle, uint32_t message, uint64_t,
                                                      const std::string& macro) -> int64_t {
        if (message != kDdeExecuteMessage || !onExecute) return 0;
        return onExecute(macro) ? 1 : 0;
    };
    window_ = host_.CreateWindow(kDdeServerClass, service + "|" + topic, kNoWindow, false,
                                 std::move(handler));
    // Clients find the server by its caption: no other program may rename or destroy it.
    host_.KeepFromOthers(window_);
}

DdeServer::~DdeServer() {
    host_.DestroyWindow(window_);
}

bool DdeConversation::Connect(std::string_view service, std::string_view topic) {
    server_ = kNoWindow;
    WindowHandle candidate = kNoWindow;
    while ((candidate = desktop::FindChildWindow(kNoWindow, candidate, kDdeServerClass,
                                                 std::nullopt)) != kNoWindow) {
        const auto caption = desktop::GetWindowText(candidate);
        if (caption && NamesTopic(*caption, service, topic)) {
            server_ = candidate;
            return true;
        }
    }
    return false;
}

DdeResult DdeConversation::Execute(std::string_view macro, bool waitForAck) {
    if (server_ == kNoWindow) return DdeResult::NoConversation;
    if (!waitForAck) {
        return desktop::PostMessage(server_, kDdeExecuteMessage, 0, macro)
                   ? DdeResult::Processed
                   : DdeResult::NoConversation;
    }
    const auto answer = desktop::SendMessage(server_, kDdeExecuteMessage, 0, macro);
    if (!answer) return DdeResult::NoConversation;
    return *answer != 0 ? DdeResult::Processed : DdeResult::NotProcessed;
}

}  // namespace tovrin
