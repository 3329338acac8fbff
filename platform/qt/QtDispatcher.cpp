#include "platform/qt/QtDispatcher.h"

#include <QMetaObject>
#include <QThread>

namespace tovrin {

QtDispatcher::QtDispatcher(QObject* parent) : QObject(parent) {}

void QtDispatcher::Post(std::function<void()> task) {
    // A queued call runs in the event loop of the thread this object lives in.
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

bool QtDispatcher::IsUiThread() const {
    return QThread::currentThread() == thread();
}

}  // namespace tovrin
