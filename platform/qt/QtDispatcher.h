#pragma once

#include "platform/Dispatcher.h"

#include <QObject>

namespace tovrin {

// Runs desktop tasks on the Qt UI thread through the event loop.
class QtDispatcher : public QObject, public Dispatcher {
    Q_OBJECT
  public:
    explicit QtDispatcher(QObject* parent = nullptr);
    void Post(std::function<void()> task) override;
    bool IsUiThread() const override;
};

}  // namespace tovrin
