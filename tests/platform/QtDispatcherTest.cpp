#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "platform/Desktop.h"
#include "platform/DesktopHost.h"
#include "platform/qt/QtDispatcher.h"

#include <QCoreApplication>

namespace tovrin {
namespace {

TEST(QtDispatcherTest, MessagesFromOtherThreadsRunInTheEventLoop) {
    int argc = 1;
    char name[] = "qt_dispatcher_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QtDispatcher dispatcher;
    DesktopHost host(dispatcher);
    std::optional<std::thread::id> handledOn;
    const WindowHandle edit = host.CreateWindow(
        "Edit", "", kNoWindow, true,
        [&](WindowHandle, uint32_t message, uint64_t, const std::string&) -> int64_t {
            handledOn = std::this_thread::get_id();
            return message == WM_SETTEXT ? 7 : 0;
        });

    std::optional<int64_t> result;
    bool workerIsUi = true;
    std::thread worker([&] {
        workerIsUi = dispatcher.IsUiThread();
        result = desktop::SendMessage(edit, WM_SETTEXT, 0, "abc");
        // Queued, so it ends the loop even if the loop has not started yet.
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    worker.join();

    EXPECT_TRUE(dispatcher.IsUiThread());
    EXPECT_FALSE(workerIsUi);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(handledOn, std::this_thread::get_id());
    EXPECT_EQ(host.Caption(edit), "abc");
}

}  // namespace
}  // namespace tovrin
