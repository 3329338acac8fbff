#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/Desktop.h"
#include "platform/DesktopHost.h"
#include "platform/DesktopProtocol.h"
#include "platform/Dispatcher.h"
#include "platform/RuntimeFolder.h"
#include "tests/platform/Eventually.h"
#include "tests/platform/HostProcess.h"

namespace tovrin {
namespace {

using test::HostProcess;

// Restores the call timeout a test shortened.
class CallTimeoutScope {
  public:
    explicit CallTimeoutScope(std::chrono::milliseconds timeout) : saved_(desktop::CallTimeout()) {
        desktop::SetCallTimeout(timeout);
    }
    ~CallTimeoutScope() { desktop::SetCallTimeout(saved_); }

  private:
    std::chrono::milliseconds saved_;
};

struct EngineControls {
    WindowHandle pane, edit, progress, talk, pause;
};

EngineControls FindControls(WindowHandle main) {
    EngineControls c{};
    c.pane = desktop::GetFirstChild(main);
    c.edit = desktop::FindChildWindow(c.pane, kNoWindow, "Edit", std::nullopt);
    c.progress = desktop::FindChildWindow(c.pane, kNoWindow, "ScrollBar", std::nullopt);
    c.talk = desktop::FindChildWindow(c.pane, kNoWindow, "Button", "Talk");
    c.pause = desktop::FindChildWindow(c.pane, c.talk, "Button", std::nullopt);
    return c;
}

std::string SocketOf(pid_t pid) {
    return *RuntimeFolder() + "/" + std::to_string(pid) + ".sock";
}

// Leaves a socket file behind that nobody listens on, as a killed process does.
void BindAndAbandon(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
}

TEST(DesktopTest, FindsWindowsOfAnotherProcessAndReadsThem) {
    HostProcess host({"--caption", "Engine A"});
    const WindowHandle main = desktop::FindWindow("Speech Synthesizer", std::nullopt);
    ASSERT_EQ(main, host.mainWindow());
    EXPECT_EQ(main >> 32, static_cast<uint64_t>(host.pid()));
    EXPECT_EQ(desktop::FindWindow(std::nullopt, "Engine A"), main);
    EXPECT_EQ(desktop::FindWindow("Speech Synthesizer", "Engine B"), kNoWindow);
    EXPECT_EQ(desktop::GetWindowText(main), "Engine A");
    EXPECT_EQ(desktop::GetClassName(main), "Speech Synthesizer");
    EXPECT_EQ(desktop::GetParent(main), kNoWindow);
    EXPECT_FALSE(desktop::IsWindowVisible(main));

    const EngineControls c = FindControls(main);
    EXPECT_EQ(desktop::GetClassName(c.pane), "TPanel");
    EXPECT_EQ(desktop::GetParent(c.edit), c.pane);
    EXPECT_EQ(desktop::GetWindowText(c.pause), "Pause");
    EXPECT_EQ(desktop::GetChildren(c.pane),
              (std::vector<WindowHandle>{c.edit, c.progress, c.talk, c.pause}));
    const auto scroll = desktop::GetScrollInfo(c.progress);
    ASSERT_TRUE(scroll);
    EXPECT_EQ(scroll->max, 100);

    EXPECT_TRUE(desktop::ShowWindow(main, true));
    EXPECT_TRUE(desktop::IsWindowVisible(main));
    EXPECT_TRUE(desktop::ShowWindow(main, false));
    EXPECT_FALSE(desktop::IsWindowVisible(main));

    // Handles that name nothing: a serial the host never gave, and a process without a host.
    const WindowHandle unknown = main + 1000;
    EXPECT_FALSE(desktop::IsWindow(unknown));
    EXPECT_EQ(desktop::GetWindowText(unknown), std::nullopt);
    EXPECT_EQ(desktop::GetParent(unknown), kNoWindow);
    EXPECT_FALSE(desktop::ShowWindow(unknown, true));
    EXPECT_EQ(desktop::SendMessage(unknown, WM_COMMAND, 7), std::nullopt);
    EXPECT_EQ(desktop::FindChildWindow(unknown, kNoWindow, std::nullopt, std::nullopt), kNoWindow);
    EXPECT_FALSE(desktop::IsWindow((uint64_t(1) << 32) | 1));
    EXPECT_FALSE(desktop::IsWindow(kNoWindow));
}

TEST(DesktopTest, FindWalksEveryHostInTurn) {
    HostProcess first({"--caption", "one"});
    HostProcess second({"--caption", "two"});
    WindowHandle found = kNoWindow;
    std::vector<WindowHandle> all;
    while ((found = desktop::FindChildWindow(kNoWindow, found, "Speech Synthesizer",
                                             std::nullopt)) != kNoWindow)
        all.push_back(found);
    std::vector<WindowHandle> expected{first.mainWindow(), second.mainWindow()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(all, expected);
    EXPECT_EQ(desktop::GetChildren(kNoWindow), expected);
    EXPECT_EQ(desktop::FindWindow(std::nullopt, "two"), second.mainWindow());
}

TEST(DesktopTest, MessagesRunTheHandlerAndSetText) {
    HostProcess host;
    const WindowHandle main = host.mainWindow();
    const EngineControls c = FindControls(main);

    EXPECT_EQ(desktop::SendMessage(main, WM_COMMAND, 301), 1301);
    EXPECT_EQ(desktop::SendMessage(main, WM_COMMAND, 442), 0);
    EXPECT_EQ(desktop::GetScrollInfo(c.progress)->pos, 42);

    // Texts are bytes: Windows-1251 letters, a zero byte, all kept as sent.
    const std::string russian("\xcf\xf0\xe8\xe2\xe5\xf2\0!", 8);
    EXPECT_EQ(desktop::SendMessage(c.edit, WM_SETTEXT, 0, russian), 1);
    EXPECT_EQ(desktop::GetWindowText(c.edit), russian);

    // Read back at most 254 bytes, as the system's buffer allows.
    const std::string longText(1000, 'x');
    desktop::SendMessage(c.edit, WM_SETTEXT, 0, longText);
    EXPECT_EQ(desktop::GetWindowText(c.edit), std::string(kMaxCaptionRead, 'x'));

    EXPECT_TRUE(desktop::PostMessage(main, WM_COMMAND, 443));
    EXPECT_FALSE(desktop::PostMessage(main + 1000, WM_COMMAND, 443));
    // Messages are handled in order, so the next answer comes after the posted one ran.
    EXPECT_EQ(desktop::SendMessage(main, WM_COMMAND, 1), 1001);
    EXPECT_EQ(desktop::GetScrollInfo(c.progress)->pos, 43);
}

TEST(DesktopTest, EditBoxDetachesToTheDesktopAndBack) {
    HostProcess host;
    const EngineControls c = FindControls(host.mainWindow());
    EXPECT_EQ(desktop::FindChildWindow(kNoWindow, kNoWindow, "Edit", std::nullopt), kNoWindow);

    ASSERT_TRUE(desktop::ShowWindow(c.edit, false));
    ASSERT_TRUE(desktop::SetParent(c.edit, kNoWindow));
    EXPECT_EQ(desktop::GetParent(c.edit), kNoWindow);
    EXPECT_EQ(desktop::FindChildWindow(kNoWindow, kNoWindow, "Edit", std::nullopt), c.edit);
    EXPECT_EQ(desktop::FindChildWindow(c.pane, kNoWindow, "Edit", std::nullopt), kNoWindow);
    // Still reachable for the texts to speak.
    EXPECT_EQ(desktop::SendMessage(c.edit, WM_SETTEXT, 0, "text"), 1);
    EXPECT_EQ(desktop::GetWindowText(c.edit), "text");

    ASSERT_TRUE(desktop::SetParent(c.edit, c.pane));
    ASSERT_TRUE(desktop::ShowWindow(c.edit, true));
    EXPECT_EQ(desktop::GetParent(c.edit), c.pane);
    EXPECT_EQ(desktop::FindChildWindow(c.pane, kNoWindow, "Edit", std::nullopt), c.edit);

    // No cycles, no parents in other processes, no missing windows.
    EXPECT_FALSE(desktop::SetParent(c.pane, c.edit));
    EXPECT_FALSE(desktop::SetParent(c.edit, c.edit));
    EXPECT_FALSE(desktop::SetParent(c.edit, (uint64_t(getpid()) << 32) | 1));
    EXPECT_FALSE(desktop::SetParent(c.edit + 1000, kNoWindow));
}

TEST(DesktopTest, DestroyWaitsForTheHandlerAndTheWindowsVanish) {
    HostProcess host;
    const WindowHandle main = host.mainWindow();
    const WindowHandle pane = desktop::GetFirstChild(main);
    EXPECT_EQ(desktop::SendMessage(main, WM_DESTROY, 0), 0);
    // The answer came after the window and its children left the table.
    EXPECT_FALSE(desktop::IsWindow(main));
    EXPECT_FALSE(desktop::IsWindow(pane));
    EXPECT_EQ(host.WaitForExit(), 0);
    EXPECT_EQ(desktop::FindWindow("Speech Synthesizer", std::nullopt), kNoWindow);
    EXPECT_FALSE(std::filesystem::exists(SocketOf(main >> 32)));
}

TEST(DesktopTest, KilledHostVanishesAndItsSocketIsRemoved) {
    HostProcess host;
    const WindowHandle main = host.mainWindow();
    const std::string socket = SocketOf(host.pid());
    EXPECT_TRUE(desktop::IsWindow(main));  // leaves a kept connection behind
    host.Kill();
    ASSERT_TRUE(std::filesystem::exists(socket));
    EXPECT_FALSE(desktop::IsWindow(main));
    EXPECT_EQ(desktop::FindWindow("Speech Synthesizer", std::nullopt), kNoWindow);
    EXPECT_FALSE(std::filesystem::exists(socket));

    // A socket left by some dead process is cleaned up by the next search, too.
    const std::string stale = *RuntimeFolder() + "/999999999.sock";
    BindAndAbandon(stale);
    ASSERT_TRUE(std::filesystem::exists(stale));
    EXPECT_EQ(desktop::FindWindow(std::nullopt, std::nullopt), kNoWindow);
    EXPECT_FALSE(std::filesystem::exists(stale));
}

TEST(DesktopTest, AHostThatDoesNotAnswerGivesAFailureNotAHang) {
    HostProcess host;
    const WindowHandle main = host.mainWindow();
    const WindowHandle pane = desktop::GetFirstChild(main);
    // Only the calls that must fail wait briefly; the ones that must succeed keep the
    // ordinary timeout, so a busy machine cannot fail them.
    const auto briefly = [](auto call) {
        CallTimeoutScope shortTimeout(std::chrono::milliseconds(200));
        return call();
    };

    // A UI thread that is stuck: messages time out, queries are still answered.
    EXPECT_EQ(briefly([&] { return desktop::SendMessage(main, WM_COMMAND, 2); }), std::nullopt);
    EXPECT_EQ(desktop::GetWindowText(main), "Test Engine");
    EXPECT_EQ(briefly([&] { return desktop::SendMessage(main, WM_COMMAND, 1); }), std::nullopt);

    // A process that stopped answering altogether counts as gone, and is not removed; the
    // other hosts are still searched.
    HostProcess other({"--caption", "Other"});
    host.Stop();
    EXPECT_FALSE(briefly([&] { return desktop::IsWindow(pane); }));
    EXPECT_EQ(briefly([] { return desktop::FindWindow(std::nullopt, "Test Engine"); }), kNoWindow);
    EXPECT_EQ(desktop::FindWindow(std::nullopt, "Other"), other.mainWindow());
    host.Signal(SIGCONT);
    EXPECT_TRUE(desktop::IsWindow(pane));
    EXPECT_EQ(desktop::FindWindow(std::nullopt, "Test Engine"), main);
}

TEST(DesktopTest, AHostThatDiesMidCallGivesAFailure) {
    HostProcess host;
    EXPECT_EQ(desktop::SendMessage(host.mainWindow(), WM_COMMAND, 3), std::nullopt);
    host.WaitForExit();
    EXPECT_FALSE(desktop::IsWindow(host.mainWindow()));
}

// A raw connection to a host, for sending what no well-behaved client sends.
class RawPeer {
  public:
    explicit RawPeer(pid_t pid) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = SocketOf(pid);
        std::strcpy(address.sun_path, path.c_str());
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        timeval limit{30, 0};  // only a broken host runs into this
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~RawPeer() { close(fd_); }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    bool connected() const { return connected_; }
    void Send(const std::string& bytes) {
        ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    void TrySend(const std::string& bytes) { send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    void EndWriting() { shutdown(fd_, SHUT_WR); }
    // What one read brings; empty when the host closed the connection.
    std::string ReadSome() {
        char chunk[4096];
        const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
        return got > 0 ? std::string(chunk, static_cast<size_t>(got)) : std::string();
    }
    // Everything the host sends until it closes the connection.
    std::string ReadToEnd() {
        std::string all;
        char chunk[4096];
        ssize_t got;
        while ((got = recv(fd_, chunk, sizeof chunk, 0)) > 0)
            all.append(chunk, got);
        return all;
    }

  private:
    int fd_;
    bool connected_ = false;
};

std::string LengthPrefix(uint32_t size) {
    std::string prefix(4, '\0');
    for (int i = 0; i < 4; ++i)
        prefix[i] = static_cast<char>(size >> (8 * i));
    return prefix;
}

// An error reply: a frame whose status byte says the request was bad.
void ExpectErrorReplyThenClose(RawPeer& peer) {
    const std::string reply = peer.ReadToEnd();
    ASSERT_GE(reply.size(), 5u);
    EXPECT_EQ(reply.substr(0, 4), LengthPrefix(static_cast<uint32_t>(reply.size() - 4)));
    EXPECT_EQ(reply[4], 2);
}

TEST(DesktopTest, BadFramesGetAnErrorAndTheHostCarriesOn) {
    HostProcess host;
    {
        RawPeer tooLong(host.pid());
        ASSERT_TRUE(tooLong.connected());
        tooLong.Send(LengthPrefix((1u << 20) + 1) + std::string(64, 'a'));
        ExpectErrorReplyThenClose(tooLong);
    }
    {
        RawPeer truncated(host.pid());
        truncated.Send(LengthPrefix(100) + std::string(10, '\1'));
        truncated.EndWriting();
        ExpectErrorReplyThenClose(truncated);
    }
    {
        // Right length, unknown operation.
        RawPeer unknownOp(host.pid());
        std::string body(1 + 8 + 8 + 4 + 8 + 1 + 12, '\0');
        body[0] = 99;
        unknownOp.Send(LengthPrefix(static_cast<uint32_t>(body.size())) + body);
        ExpectErrorReplyThenClose(unknownOp);
    }
    {
        // A field whose length runs past the end of the frame.
        RawPeer lying(host.pid());
        std::string body(1 + 8 + 8 + 4 + 8 + 1, '\0');
        body[0] = 3;
        body += LengthPrefix(0xFFFFFFF0u);
        lying.Send(LengthPrefix(static_cast<uint32_t>(body.size())) + body);
        ExpectErrorReplyThenClose(lying);
    }
    {
        // A client that sends half a frame and then waits does not hold the host up.
        RawPeer idle(host.pid());
        idle.Send(LengthPrefix(50) + "abc");
        EXPECT_EQ(desktop::SendMessage(host.mainWindow(), WM_COMMAND, 5), 1005);
    }
    EXPECT_EQ(desktop::GetWindowText(host.mainWindow()), "Test Engine");
}

TEST(DesktopTest, AConnectionFromAnotherUserGetsNoAnswer) {
    if (geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
    HostProcess host;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another user, who may still pass the folder's permissions (file system uid 0),
        // so that only the host's own check of the peer can turn it away.
        if (seteuid(65534) != 0) _exit(10);
        setfsuid(0);
        RawPeer stranger(host.pid());
        if (!stranger.connected()) _exit(11);
        std::string body(1 + 8 + 8 + 4 + 8 + 1 + 12, '\0');
        body[0] = 3;
        for (int i = 0; i < 8; ++i)
            body[1 + i] = static_cast<char>(host.mainWindow() >> (8 * i));
        // The host may have hung up already, so sending can fail; no answer may come.
        stranger.TrySend(LengthPrefix(static_cast<uint32_t>(body.size())) + body);
        _exit(stranger.ReadToEnd().empty() ? 0 : 12);
    }
    const std::optional<int> status = test::WaitStatusOfChild(child);
    ASSERT_TRUE(status) << "the stranger process did not end";
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_TRUE(desktop::IsWindow(host.mainWindow()));
}

TEST(DesktopTest, AFolderOthersCanEnterIsRefused) {
    const std::string folder = *RuntimeFolder();
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    EXPECT_EQ(RuntimeFolder(), std::nullopt);
    PlainDispatcher dispatcher;
    EXPECT_THROW(DesktopHost host(dispatcher), std::runtime_error);
    EXPECT_EQ(desktop::FindWindow(std::nullopt, std::nullopt), kNoWindow);
    ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
    EXPECT_EQ(RuntimeFolder(), folder);

    if (getuid() == 0) {
        // Only root can hand the folder to somebody else; then it is not ours to use.
        ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
        EXPECT_EQ(RuntimeFolder(), std::nullopt);
        ASSERT_EQ(chown(folder.c_str(), 0, 0), 0);
    }
}

TEST(DesktopTest, OwnWindowsAnswerFromEveryThreadWithoutDeadlock) {
    PlainDispatcher dispatcher;
    DesktopHost host(dispatcher);
    std::vector<std::thread::id> handledOn;
    const WindowHandle window = host.CreateWindow(
        "Own", "caption", kNoWindow, true,
        [&](WindowHandle, uint32_t message, uint64_t wParam, const std::string&) -> int64_t {
            handledOn.push_back(std::this_thread::get_id());
            return message == WM_COMMAND ? static_cast<int64_t>(wParam) * 2 : 0;
        });
    EXPECT_EQ(DesktopHost::OfThisProcess(), &host);
    EXPECT_EQ(desktop::FindWindow("Own", std::nullopt), window);
    EXPECT_EQ(desktop::GetWindowText(window), "caption");

    // From the UI thread the handler runs at once.
    EXPECT_EQ(desktop::SendMessage(window, WM_COMMAND, 21), 42);
    // From another thread it waits for the UI thread to run it.
    std::atomic<bool> done{false};
    std::optional<int64_t> fromWorker;
    std::thread worker([&] {
        fromWorker = desktop::SendMessage(window, WM_COMMAND, 5);
        done = true;
    });
    // The send has a time-out of its own, so the join below is bounded either way.
    EXPECT_TRUE(test::Eventually([&] {
        dispatcher.ProcessPending();
        return done.load();
    })) << "the worker's message was not handled";
    worker.join();
    EXPECT_EQ(fromWorker, 10);
    ASSERT_EQ(handledOn.size(), 2u);
    EXPECT_EQ(handledOn[0], std::this_thread::get_id());
    EXPECT_EQ(handledOn[1], std::this_thread::get_id());

    // A handler that fails gives its sender a failure and leaves the window in place.
    const WindowHandle faulty =
        host.CreateWindow("Faulty", "", kNoWindow, true,
                          [](WindowHandle, uint32_t, uint64_t, const std::string&) -> int64_t {
                              throw std::runtime_error("handler fault");
                          });
    EXPECT_EQ(desktop::SendMessage(faulty, WM_COMMAND, 1), std::nullopt);
    EXPECT_TRUE(desktop::IsWindow(faulty));

    // Changes made through the desktop are reported to the owner on the UI thread.
    std::vector<WindowChange> changes;
    host.SetChangeObserver([&](WindowHandle, WindowChange change) { changes.push_back(change); });
    desktop::ShowWindow(window, false);
    EXPECT_FALSE(host.IsVisible(window));
    dispatcher.ProcessPending();
    EXPECT_EQ(changes, std::vector<WindowChange>{WindowChange::Hidden});
}

TEST(DesktopTest, ManyThreadsShareTheConnectionsSafely) {
    HostProcess host;
    const WindowHandle main = host.mainWindow();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const uint64_t command = 600 + t * 1000 + i;
                if (desktop::SendMessage(main, WM_COMMAND, command) != int64_t(command) + 1000)
                    ++wrong;
                if (desktop::GetWindowText(main) != "Test Engine") ++wrong;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

std::string DescribeFrame(WindowHandle window) {
    desktop_protocol::Request request;
    request.op = desktop_protocol::Op::Describe;
    request.window = window;
    return desktop_protocol::Frame(desktop_protocol::EncodeRequest(request));
}

// Clients that ask and never read their replies, and more idle connections than the host
// keeps, cannot keep a well-behaved client from its answer.
TEST(DesktopTest, NoClientShutsTheOthersOut) {
    const std::string caption(254, 'c');  // long replies fill a reader's socket soon
    HostProcess host({"--caption", caption});
    const WindowHandle main = host.mainWindow();
    std::string requests;
    for (int i = 0; i < 2000; ++i)
        requests += DescribeFrame(main);
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int i = 0; i < 30; ++i) {
        peers.push_back(std::make_unique<RawPeer>(host.pid()));
        peers.back()->TrySend(requests);
    }
    EXPECT_EQ(desktop::GetWindowText(main), caption) << "slow readers held the host up";

    for (int i = 0; i < 300; ++i)
        peers.push_back(std::make_unique<RawPeer>(host.pid()));
    RawPeer late(host.pid());
    late.Send(DescribeFrame(main));
    const std::string reply = late.ReadSome();
    ASSERT_GT(reply.size(), 4u) << "idle connections locked a new client out";
    EXPECT_EQ(reply[4], 0) << "the reply's status";
}

TEST(DesktopTest, MessagesWaitingForABusyWindowAreBounded) {
    HostProcess host;
    const WindowHandle main = host.mainWindow();
    ASSERT_TRUE(desktop::PostMessage(main, WM_COMMAND, 2));  // its UI thread stops for good
    const std::string text(512 * 1024, 't');
    int accepted = 0;
    for (int i = 0; i < 40; ++i)
        accepted += desktop::PostMessage(main, WM_SETTEXT, 0, text) ? 1 : 0;
    EXPECT_GE(accepted, 1);
    EXPECT_LE(accepted, 8) << "a window holds a few MiB of waiting messages at most";
    EXPECT_TRUE(desktop::IsWindow(main)) << "queries are still answered";
}

// A host whose serving loop fails (here: poll, once the descriptor limit is lowered below
// what it polls) must not leave a socket that accepts and never answers.
TEST(DesktopTest, AHostThatCanNoLongerServeTakesItsSocketAway) {
    HostProcess host;
    const std::string socket = SocketOf(host.pid());
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int i = 0; i < 8; ++i)
        peers.push_back(std::make_unique<RawPeer>(host.pid()));
    ASSERT_TRUE(desktop::IsWindow(host.mainWindow()));  // the peers before it are accepted
    const rlimit few{4, 4};
    ASSERT_EQ(prlimit(host.pid(), RLIMIT_NOFILE, &few, nullptr), 0);
    peers[0]->Send(DescribeFrame(host.mainWindow()));  // wakes the loop; its next poll fails
    EXPECT_TRUE(test::Eventually([&] { return !std::filesystem::exists(socket); }));
    EXPECT_FALSE(desktop::IsWindow(host.mainWindow()));
}

// Callers on other threads may reach this process's windows while the host goes away.
TEST(DesktopTest, CallsToOwnWindowsSurviveTheHostGoingAway) {
    PlainDispatcher dispatcher;
    std::atomic<bool> stop{false};
    std::atomic<WindowHandle> window{kNoWindow};
    std::vector<std::thread> callers;
    for (int i = 0; i < 3; ++i) {
        callers.emplace_back([&] {
            while (!stop) {
                desktop::IsWindow(window);
                desktop::FindWindow("Own", std::nullopt);
            }
        });
    }
    for (int round = 0; round < 100; ++round) {
        auto host = std::make_unique<DesktopHost>(dispatcher);
        window = host->CreateWindow("Own", std::string(200, 'c'), kNoWindow, true);
        host.reset();
    }
    stop = true;
    for (auto& caller : callers)
        caller.join();
    EXPECT_FALSE(desktop::IsWindow(window));
}

}  // namespace
}  // namespace tovrin
