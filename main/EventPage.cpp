#include "main/EventPage.h"

#include "dialogs/MessageBoxes.h"
#include "main/ControlNames.h"
#include "main/PageWidgets.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>

namespace tovrin {

namespace {

constexpr int kEventCheckMs = 1000;

}  // namespace

TEventPage::TEventPage(QWidget* parent, MessageBoxes& dialogs)
    : QWidget(parent), dialogs_(dialogs) {
    Name(this, "TabShutDown", QStringLiteral("События"));
    QWidget* panel = nullptr;
    QVBoxLayout* layout = PagePanel(this, "PnlShutDown", panel);
    QVBoxLayout* first = nullptr;
    QVBoxLayout* second = nullptr;
    QBoxLayout* columns = PageColumns(layout, first, second);
    // Side by side, each column as tall as its controls need.
    columns->setAlignment(first, Qt::AlignTop);
    columns->setAlignment(second, Qt::AlignTop);
    BuildLogOff(panel, first);
    BuildLogOn(panel, second);
    layout->addStretch(1);

    logOffTimer_ = new QTimer(this);
    logOffTimer_->setObjectName(QStringLiteral("LogOffTimer"));
    logOnTimer_ = new QTimer(this);
    logOnTimer_->setObjectName(QStringLiteral("LogOnTimer"));
    for (QTimer* timer : {logOffTimer_, logOnTimer_}) {
        timer->setInterval(kEventCheckMs);
        connect(timer, &QTimer::timeout, this, &TEventPage::CheckDue);
    }
    ConnectControls();
}

QVBoxLayout* TEventPage::EventGroup(QWidget* panel, QVBoxLayout* layout, const char* name,
                                    const QString& title, const QString& hint,
                                    const char* pickerName, QTime time, QTimeEdit*& picker,
                                    QCheckBox*& check) {
    auto* box = new QGroupBox(title, panel);
    Name(box, name, title.trimmed());
    box->setToolTip(hint);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(2, 2, 2, 2);
    auto* line = new QHBoxLayout;
    check = Check(box, (std::string(pickerName) + "Check").c_str(), title.trimmed(), true);
    check->setObjectName(QString::fromLatin1(pickerName) + QStringLiteral("_Checked"));
    check->setText(QString());  // the group's title names it; the name stays accessible
    check->setToolTip(hint);
    picker = TimePicker(box, pickerName, title.trimmed(), time);
    line->addWidget(check);
    line->addWidget(picker, 1);
    column->addLayout(line);
    layout->addWidget(box);
    return column;
}

void TEventPage::BuildLogOff(QWidget* panel, QVBoxLayout* layout) {
    QVBoxLayout* offColumn = EventGroup(panel, layout, "GBLogOff", QStringLiteral(" Время спать "),
                                        QStringLiteral("Автоотключение"), "LogOff", QTime(2, 0),
                                        logOffTime_, logOffCheck_);
    auto* offBox = new QGroupBox(panel);
    rgLogOff_ = RadioGroup(offBox, "RGLogOff", QString(),
                           {QStringLiteral("Приостановить"), QStringLiteral("Убрать питание"),
                            QStringLiteral("Выключить нахрен")},
                           false, 1);
    offBox->setAccessibleName(QStringLiteral("Действие в время спать"));
    offColumn->addWidget(offBox);
}

void TEventPage::BuildLogOn(QWidget* panel, QVBoxLayout* layout) {
    QVBoxLayout* onColumn =
        EventGroup(panel, layout, "GBLogOn", QStringLiteral(" Время вставать "),
                   QStringLiteral("Автозапуск"), "LogOn", QTime(7, 0), logOnTime_, logOnCheck_);
    auto* onBox = new QGroupBox(panel);
    rgLogOn_ = RadioGroup(onBox, "RGLogOn", QString(),
                          {QStringLiteral("Продолжить чтиво"), QStringLiteral("Запустить софт"),
                           QStringLiteral("Громкая ругань")},
                          false, 0);
    onBox->setAccessibleName(QStringLiteral("Действие во время вставать"));
    onColumn->addWidget(onBox);
    auto* program = new QHBoxLayout;
    startUpProcess_ =
        Edit(panel, "StartUpProcess", QStringLiteral("Расположение запускаемой программы"));
    startUpProcess_->setReadOnly(true);
    startUpProcBtn_ =
        PictureButton(panel, "StartUpProcBtn", QStringLiteral("Укажите запускаемый файл"),
                      QStyle::SP_DirOpenIcon);
    program->addWidget(startUpProcess_, 1);
    program->addWidget(startUpProcBtn_);
    onColumn->addLayout(program);
    auto* phrase = new QHBoxLayout;
    startUpEdit_ = Edit(panel, "StartUpEdit", QStringLiteral("Произносимая фраза"));
    startUpEdit_->setText(QStringLiteral("Ро'та', по-дъё'м '! {wait 3}"));
    startUpBtn_ = PictureButton(panel, "StartUpBtn", QStringLiteral("Произнести фразу"),
                                QStyle::SP_MediaPlay);
    phrase->addWidget(startUpEdit_, 1);
    phrase->addWidget(startUpBtn_);
    onColumn->addLayout(phrase);
}

void TEventPage::ConnectControls() {
    for (QTimeEdit* picker : {logOffTime_, logOnTime_}) {
        connect(picker, &QTimeEdit::editingFinished, this, &TEventPage::EventsChanged);
        connect(picker, &QTimeEdit::timeChanged, this, &TEventPage::EventsChanged);
    }
    for (QCheckBox* check : {logOffCheck_, logOnCheck_})
        connect(check, &QCheckBox::toggled, this, &TEventPage::EventsChanged);
    connect(startUpProcBtn_, &QToolButton::clicked, this, &TEventPage::ChooseProgram);
    connect(startUpBtn_, &QToolButton::clicked, this, &TEventPage::SayPhrase);
}

void TEventPage::ChangeDate(const QDateTime& now) {
    if (LogOffOn())
        ReArmLogOff(now);
    else
        logOff_.Disarm();
    if (LogOnOn())
        ReArmLogOn(now);
    else
        logOn_.Disarm();
    const std::pair<QTimer*, bool> timers[] = {{logOffTimer_, LogOffOn()},
                                               {logOnTimer_, LogOnOn()}};
    for (const auto& [timer, on] : timers) {
        if (on && !timer->isActive()) timer->start();
        if (!on) timer->stop();
    }
}

// True when the event is due now. One the machine slept through is skipped, with a line on
// standard error, and comes back at its next time of day.
bool TEventPage::TakeEvent(DailyEvent& event, const QTimeEdit* picker, const QDateTime& now,
                           const char* name) {
    const std::optional<QDateTime> due = event.Due();
    const EventCheck check = event.Take(now);
    if (check == EventCheck::Missed) {
        std::fprintf(stderr, "tovrin: the %s event due at %s was skipped: it was found at %s\n",
                     name, qPrintable(due->toString(Qt::ISODate)),
                     qPrintable(now.toString(Qt::ISODate)));
        event.ArmNext(now, picker->time());
    }
    return check == EventCheck::Due;
}

bool TEventPage::TakeLogOff(const QDateTime& now) {
    return LogOffOn() && TakeEvent(logOff_, logOffTime_, now, "switch-off");
}

bool TEventPage::TakeLogOn(const QDateTime& now) {
    return LogOnOn() && TakeEvent(logOn_, logOnTime_, now, "wake-up");
}

bool TEventPage::LogOffOn() const {
    return logOffCheck_->isChecked();
}

bool TEventPage::LogOnOn() const {
    return logOnCheck_->isChecked();
}

int TEventPage::LogOffAction() const {
    return rgLogOff_->checkedId();
}

int TEventPage::LogOnAction() const {
    return rgLogOn_->checkedId();
}

void TEventPage::ReArmLogOff(const QDateTime& now) {
    logOff_.ArmNext(now, logOffTime_->time());
}

void TEventPage::RepeatLogOff(const QDateTime& at) {
    logOff_.Arm(at);
}

void TEventPage::ReArmLogOn(const QDateTime& now) {
    logOn_.ArmNext(now, logOnTime_->time());
}

QString TEventPage::StartUpProgram() const {
    return startUpProcess_->text();
}

QString TEventPage::StartUpPhrase() const {
    return startUpEdit_->text();
}

void TEventPage::StartUpProcBtnClick() {
    FileChoice choice;
    choice.Title = QStringLiteral("Укажите запускаемый файл");
    choice.Folder = openDialogFolder_;
    choice.Filter =
        QStringLiteral("Программа (*.EXE *.COM *.BAT *.CMD *.exe *.com *.bat *.cmd *.sh);;*");
    const QString chosen = dialogs_.ChooseFile(this, choice);
    if (chosen.isEmpty()) return;
    const QFileInfo file(chosen);
    openDialogFolder_ = file.absolutePath();
    startUpProcess_->setText(file.absoluteFilePath());
}

void TEventPage::Store(StoredControls& c) const {
    c.LogOffTime = FractionOfDay(logOffTime_->time());
    c.RGLogOffIndex = rgLogOff_->checkedId();
    c.LogOffChecked = logOffCheck_->isChecked();
    c.LogOnTime = FractionOfDay(logOnTime_->time());
    c.RGLogOnIndex = rgLogOn_->checkedId();
    c.LogOnChecked = logOnCheck_->isChecked();
    c.StartUpProcess = startUpProcess_->text().toStdString();
    c.StartUpEdit = startUpEdit_->text().toStdString();
}

void TEventPage::Restore(const StoredControls& c) {
    // The pickers arm the events once, after everything is restored.
    const QSignalBlocker offTime(logOffTime_), onTime(logOnTime_), offCheck(logOffCheck_),
        onCheck(logOnCheck_);
    logOffTime_->setTime(TimeOfDayFromFraction(c.LogOffTime));
    SetGroupIndex(rgLogOff_, c.RGLogOffIndex);
    logOffCheck_->setChecked(c.LogOffChecked);
    logOnTime_->setTime(TimeOfDayFromFraction(c.LogOnTime));
    SetGroupIndex(rgLogOn_, c.RGLogOnIndex);
    logOnCheck_->setChecked(c.LogOnChecked);
    startUpProcess_->setText(FromStored(c.StartUpProcess));
    startUpEdit_->setText(FromStored(c.StartUpEdit));
}

}  // namespace tovrin
