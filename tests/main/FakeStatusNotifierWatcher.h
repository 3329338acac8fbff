#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QThread>

#include <mutex>
#include <string>
#include <vector>

namespace tovrin::test {

// A desktop's StatusNotifierWatcher on a bus connection of its own, served by a thread of its
// own: it answers while the program's thread waits for it, as Qt's tray waits when it makes an
// icon. It records the items registered with it, and can hold its answers back as a desktop
// that is slow to answer does.
class FakeStatusNotifierWatcher {
  public:
    // Where an item registered: its bus name and object path.
    struct Item {
        QString Service;
        QString Path;
    };

    explicit FakeStatusNotifierWatcher(const std::string& busAddress, bool hostRegistered = true)
        : name_(QStringLiteral("fake-watcher ") + QString::fromStdString(busAddress)),
          bus_(QDBusConnection::connectToBus(QString::fromStdString(busAddress), name_)) {
        watcher_->hostRegistered = hostRegistered;
        watcher_->moveToThread(&thread_);
        thread_.start();
        registered_ = bus_.registerVirtualObject(kPath, watcher_) && bus_.registerService(kName);
    }
    ~FakeStatusNotifierWatcher() {
        bus_.unregisterService(kName);
        bus_.unregisterObject(kPath);
        QDBusConnection::disconnectFromBus(name_);
        thread_.quit();
        thread_.wait();
        delete watcher_;  // its thread has ended
    }
    FakeStatusNotifierWatcher(const FakeStatusNotifierWatcher&) = delete;
    FakeStatusNotifierWatcher& operator=(const FakeStatusNotifierWatcher&) = delete;

    // Whether it serves the watcher's name on the bus.
    bool Registered() const { return registered_; }

    // Questions about its properties asked from now on wait for ReleaseAnswers.
    void HoldAnswers() {
        std::lock_guard lock(watcher_->mutex);
        watcher_->holding = true;
    }
    size_t HeldQuestions() const {
        std::lock_guard lock(watcher_->mutex);
        return watcher_->held.size();
    }
    // Answers the held questions and answers at once from now on.
    void ReleaseAnswers() {
        std::vector<QDBusMessage> held;
        {
            std::lock_guard lock(watcher_->mutex);
            watcher_->holding = false;
            held.swap(watcher_->held);
        }
        for (const QDBusMessage& question : held)
            watcher_->Answer(question, bus_);
    }

    std::vector<Item> Items() const {
        std::lock_guard lock(watcher_->mutex);
        return watcher_->items;
    }

  private:
    static constexpr char kName[] = "org.kde.StatusNotifierWatcher";
    static constexpr char kPath[] = "/StatusNotifierWatcher";

    class Watcher final : public QDBusVirtualObject {
      public:
        QString introspect(const QString&) const override {
            return QStringLiteral(
                "<interface name=\"org.kde.StatusNotifierWatcher\">"
                "<method name=\"RegisterStatusNotifierItem\">"
                "<arg name=\"service\" type=\"s\" direction=\"in\"/></method>"
                "<method name=\"RegisterStatusNotifierHost\">"
                "<arg name=\"service\" type=\"s\" direction=\"in\"/></method>"
                "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
                "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
                "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
                "</interface>");
        }

        bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
            const QString member = message.member();
            if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties") &&
                member == QLatin1String("Get")) {
                std::unique_lock lock(mutex);
                if (holding) {
                    held.push_back(message);
                    return true;
                }
                lock.unlock();
                Answer(message, bus);
                return true;
            }
            if (member == QLatin1String("RegisterStatusNotifierItem") &&
                !message.arguments().isEmpty()) {
                Record(message);
                bus.send(message.createReply());
                return true;
            }
            if (member == QLatin1String("RegisterStatusNotifierHost")) {
                bus.send(message.createReply());
                return true;
            }
            return false;  // introspection is Qt's
        }

        void Answer(const QDBusMessage& question, const QDBusConnection& bus) {
            const QString property = question.arguments().value(1).toString();
            QVariant value;
            {
                std::lock_guard lock(mutex);
                if (property == QLatin1String("IsStatusNotifierHostRegistered"))
                    value = hostRegistered;
                else if (property == QLatin1String("ProtocolVersion"))
                    value = 0;
                else if (property == QLatin1String("RegisteredStatusNotifierItems")) {
                    QStringList services;
                    for (const Item& item : items)
                        services << item.Service;
                    value = services;
                }
            }
            bus.send(value.isValid()
                         ? question.createReply(QVariant::fromValue(QDBusVariant(value)))
                         : question.createErrorReply(QDBusError::UnknownProperty, property));
        }

        // An item names its bus name (its path is then the usual one) or its path on the
        // caller's connection.
        void Record(const QDBusMessage& message) {
            const QString named = message.arguments().first().toString();
            std::lock_guard lock(mutex);
            if (named.startsWith('/'))
                items.push_back({message.service(), named});
            else
                items.push_back({named, QStringLiteral("/StatusNotifierItem")});
        }

        mutable std::mutex mutex;
        bool hostRegistered = true;
        bool holding = false;
        std::vector<QDBusMessage> held;
        std::vector<Item> items;
    };

    QString name_;
    QDBusConnection bus_;
    QThread thread_;
    Watcher* watcher_ = new Watcher;
    bool registered_ = false;
};

}  // namespace tovrin::test
