#pragma once

#include "main/DailyEvent.h"
#include "main/SettingsFile.h"

#include <QWidget>

#include <optional>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QTimeEdit;
class QTimer;
class QToolButton;
class QVBoxLayout;

namespace tovrin {

class MessageBoxes;

// The "События" tab: the two daily events ("Время спать", "Время вставать"), what each one
// does, the program and the phrase of the second; and the timers that watch for them.
class TEventPage : public QWidget {
    Q_OBJECT
  public:
    TEventPage(QWidget* parent, MessageBoxes& dialogs);

    // Re-arms both events from `now`; a switched-off event is disarmed and its timer stops.
    void ChangeDate(const QDateTime& now);
    // Takes each event that is due at `now`; true for an event that is to act.
    bool TakeLogOff(const QDateTime& now);
    bool TakeLogOn(const QDateTime& now);
    bool LogOffOn() const;
    bool LogOnOn() const;
    // The chosen action of each event, from 0; -1 when none is chosen.
    int LogOffAction() const;
    int LogOnAction() const;
    // Arms an event again: at its time of day after `now`, or the first one at `at`.
    void ReArmLogOff(const QDateTime& now);
    static bool TakeEvent(DailyEvent& event, const QTimeEdit* picker, const QDateTime& now,
                          const char* name);
    void RepeatLogOff(const QDateTime& at);
    void ReArmLogOn(const QDateTime& now);
    std::optional<QDateTime> LogOffDue() const { return logOff_.Due(); }
    std::optional<QDateTime> LogOnDue() const { return logOn_.Due(); }
    QString StartUpProgram() const;
    QString StartUpPhrase() const;
    // The program's file dialog: the chosen program is kept for the second event.
    void StartUpProcBtnClick();
    void Store(StoredControls& controls) const;
    void Restore(const StoredControls& controls);

  signals:
    void EventsChanged();  // a time or a switch changed: the events are re-armed
    void CheckDue();       // a timer's second passed while an event is on
    void ChooseProgram();  // the program button
    void SayPhrase();      // the phrase button

  private:
    QVBoxLayout* EventGroup(QWidget* panel, QVBoxLayout* layout, const char* name,
                            const QString& title, const QString& hint, const char* pickerName,
                            QTime time, QTimeEdit*& picker, QCheckBox*& check);
    void BuildLogOff(QWidget* panel, QVBoxLayout* layout);
    void BuildLogOn(QWidget* panel, QVBoxLayout* layout);
    void ConnectControls();

    MessageBoxes& dialogs_;
    DailyEvent logOff_;
    DailyEvent logOn_;
    QString openDialogFolder_;
    QTimeEdit* logOffTime_ = nullptr;
    QCheckBox* logOffCheck_ = nullptr;
    QButtonGroup* rgLogOff_ = nullptr;
    QTimeEdit* logOnTime_ = nullptr;
    QCheckBox* logOnCheck_ = nullptr;
    QButtonGroup* rgLogOn_ = nullptr;
    QLineEdit* startUpProcess_ = nullptr;
    QToolButton* startUpProcBtn_ = nullptr;
    QToolButton* startUpBtn_ = nullptr;
    QLineEdit* startUpEdit_ = nullptr;
    QTimer* logOffTimer_ = nullptr;
    QTimer* logOnTimer_ = nullptr;
};

}  // namespace tovrin
