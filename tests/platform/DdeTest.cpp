#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/Dde.h"
#include "platform/Dispatcher.h"
#include "tests/platform/Eventually.h"
#include "tests/platform/HostProcess.h"

namespace tovrin {
namespace {

using test::HostProcess;

std::optional<std::string> LastMacro() {
    const WindowHandle log = desktop::FindWindow("DdeLog", std::nullopt);
    return desktop::GetWindowText(log);
}

TEST(DdeTest, ConversationWithAServerInAnotherProcess) {
    HostProcess server({"--no-windows", "--dde", "tovrin", "TovrinProcess"});
    DdeConversation conversation;
    EXPECT_EQ(conversation.Execute("{TALKSERVCMD}"), DdeResult::NoConversation);

    // Service and topic match whatever their letter case; a different name does not.
    EXPECT_FALSE(conversation.Connect("tovrin", "OtherTopic"));
    EXPECT_FALSE(conversation.Connect("other", "TovrinProcess"));
    EXPECT_FALSE(conversation.Connected());
    ASSERT_TRUE(conversation.Connect("TOVRIN", "tovrinprocess"));
    EXPECT_TRUE(conversation.Connected());

    // The macro arrives as bytes, line breaks and Windows-1251 letters included.
    const std::string macro = "{TALKSERVCMD}\r\n\xcf\xf0\xe8\xe2\xe5\xf2";
    EXPECT_EQ(conversation.Execute(macro), DdeResult::Processed);
    EXPECT_EQ(LastMacro(), macro);
    EXPECT_EQ(conversation.Execute("refuse this"), DdeResult::NotProcessed);
    EXPECT_EQ(LastMacro(), "refuse this");

    // Without waiting, delivery is all that is reported; the macro still arrives in order.
    EXPECT_EQ(conversation.Execute("refuse quietly", false), DdeResult::Processed);
    EXPECT_EQ(conversation.Execute("after"), DdeResult::Processed);

    conversation.Disconnect();
    EXPECT_EQ(conversation.Execute("{TALKSERVCMD}"), DdeResult::NoConversation);

    ASSERT_TRUE(conversation.Connect("Tovrin", "TOVRINPROCESS"));
    server.Kill();
    EXPECT_EQ(conversation.Execute("{TALKSERVCMD}"), DdeResult::NoConversation);
    EXPECT_FALSE(conversation.Connect("tovrin", "TovrinProcess"));
}

TEST(DdeTest, AnotherProgramCannotRenameOrDestroyTheServerAway) {
    HostProcess server({"--no-windows", "--dde", "tovrin", "TovrinProcess"});
    const WindowHandle window = desktop::FindWindow(kDdeServerClass, std::nullopt);
    ASSERT_NE(window, kNoWindow);
    // Refused (FALSE) and left as it was, waited for or not; the server is still found.
    EXPECT_EQ(desktop::SendMessage(window, WM_SETTEXT, 0, "gone|away"), 0);
    EXPECT_TRUE(desktop::PostMessage(window, WM_SETTEXT, 0, "gone|away"));
    EXPECT_EQ(desktop::GetWindowText(window), "tovrin|TovrinProcess");
    EXPECT_EQ(desktop::SendMessage(window, WM_DESTROY, 0), 0);
    EXPECT_TRUE(desktop::IsWindow(window));
    DdeConversation conversation;
    ASSERT_TRUE(conversation.Connect("tovrin", "TovrinProcess"));
    EXPECT_EQ(conversation.Execute("{TALKSERVCMD}"), DdeResult::Processed);
    // Other windows of the same host still take a new caption from anybody.
    const WindowHandle log = desktop::FindWindow("DdeLog", std::nullopt);
    EXPECT_EQ(desktop::SendMessage(log, WM_SETTEXT, 0, "renamed"), 1);
    EXPECT_EQ(desktop::GetWindowText(log), "renamed");
}

TEST(DdeTest, RussianTopicNamesMatchInEitherCase) {
    HostProcess server(
        {"--no-windows", "--dde", "\xd1\xcb\xce\xc2\xc0\xd0\xdc", "\xa8\xeb\xea\xe0"});
    DdeConversation conversation;
    EXPECT_TRUE(conversation.Connect("\xf1\xeb\xee\xe2\xe0\xf0\xfc", "\xb8\xcb\xca\xc0"));
    EXPECT_FALSE(conversation.Connect("\xf1\xeb\xee\xe2\xe0\xf0", "\xb8\xcb\xca\xc0"));
}

TEST(DdeTest, ServerInThisProcessIsRemovedWithIt) {
    PlainDispatcher dispatcher;
    DesktopHost host(dispatcher);
    std::vector<std::string> received;
    auto server =
        std::make_unique<DdeServer>(host, "tovrin", "TovrinProcess", [&](const std::string& macro) {
            received.push_back(macro);
            return true;
        });
    EXPECT_EQ(desktop::GetClassName(server->window()), kDdeServerClass);
    EXPECT_EQ(desktop::GetWindowText(server->window()), "tovrin|TovrinProcess");
    EXPECT_FALSE(desktop::IsWindowVisible(server->window()));

    // A second start of the program asks from its own thread while the UI thread serves.
    std::atomic<bool> done{false};
    DdeResult result = DdeResult::NoConversation;
    std::thread client([&] {
        DdeConversation conversation;
        if (conversation.Connect("TOVRIN", "TovrinProcess")) result = conversation.Execute("m");
        done = true;
    });
    // The conversation has time-outs of its own, so the join below is bounded either way.
    EXPECT_TRUE(test::Eventually([&] {
        dispatcher.ProcessPending();
        return done.load();
    })) << "the client's execute was not served";
    client.join();
    EXPECT_EQ(result, DdeResult::Processed);
    EXPECT_EQ(received, std::vector<std::string>{"m"});

    server.reset();
    DdeConversation conversation;
    EXPECT_FALSE(conversation.Connect("tovrin", "TovrinProcess"));
}

}  // namespace
}  // namespace tovrin
