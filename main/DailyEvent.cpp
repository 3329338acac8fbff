#include "main/DailyEvent.h"

#include <cmath>

namespace tovrin {

namespace {
constexpr int kMsPerDay = 86'400'000;
}

QDateTime NextOccurrence(const QDateTime& now, QTime timeOfDay) {
    const QDateTime local = now.toLocalTime();
    QDateTime due(local.date(), timeOfDay);
    if (due <= local) due = QDateTime(local.date().addDays(1), timeOfDay);
    return due;
}

QTime TimeOfDayFromFraction(double days) {
    if (!std::isfinite(days)) return QTime(0, 0);
    const double fraction = days - std::floor(days);
    const long long ms = std::llround(fraction * kMsPerDay) % kMsPerDay;
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
}

double FractionOfDay(QTime time) {
    return static_cast<double>(time.msecsSinceStartOfDay()) / kMsPerDay;
}

EventCheck DailyEvent::Take(const QDateTime& now) {
    if (!due_ || now < *due_) return EventCheck::NotDue;
    const qint64 late = due_->msecsTo(now);
    due_.reset();
    return late > kEventLatenessMs ? EventCheck::Missed : EventCheck::Due;
}

}  // namespace tovrin
