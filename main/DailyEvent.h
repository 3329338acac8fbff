#pragma once

#include <QDateTime>

#include <optional>

namespace tovrin {

// The wall clock the timed events are checked against; tests substitute their own.
class WallClock {
  public:
    virtual ~WallClock() = default;
    virtual QDateTime Now() const = 0;
};

class SystemWallClock final : public WallClock {
  public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

// The first moment after `now` at which the local clock shows `timeOfDay`: later today, else
// tomorrow (a time equal to now is a whole day away). Computed on the calendar, so a change of
// daylight-saving time in between does not shift it.
QDateTime NextOccurrence(const QDateTime& now, QTime timeOfDay);

// A time of day from a fraction of a day (whole days are dropped) and back, to the millisecond.
QTime TimeOfDayFromFraction(double days);
double FractionOfDay(QTime time);

// What a look at the clock found of an event.
enum class EventCheck { NotDue, Due, Missed };

// How late an event may still run: a tick delayed by a busy machine runs it, while an event
// found long past its time (the machine slept through it) does not, so that a laptop opened
// in the morning is not switched off by the night's event.
constexpr qint64 kEventLatenessMs = 2 * 60 * 1000;

// One daily event: a due moment on the wall clock. It is checked against the clock rather than
// counted down, so it keeps its time of day across sleep, hibernation and clock changes.
class DailyEvent {
  public:
    void Arm(const QDateTime& due) { due_ = due; }
    void ArmNext(const QDateTime& now, QTime timeOfDay) { due_ = NextOccurrence(now, timeOfDay); }
    void Disarm() { due_.reset(); }
    bool Armed() const { return due_.has_value(); }
    std::optional<QDateTime> Due() const { return due_; }
    // Due once, when the due moment has come and is at most kEventLatenessMs past; Missed when
    // it is further past. Either way the event is then disarmed until re-armed.
    EventCheck Take(const QDateTime& now);

  private:
    std::optional<QDateTime> due_;
};

}  // namespace tovrin
