#pragma once

#include <QLineEdit>

namespace tovrin {

// A pause field: one digit, a point and one digit (seconds and tenths). Digits enter from the
// right, as on a calculator: typing 1 then 5 shows 1.5, a lone 5 shows 0.5. Its text form (what
// the settings file keeps and ParsePauseText reads) is the pause in tenths without the point:
// "15" for 1.5 s, "5" for 0.5 s; "2 " (a digit in the first place only) still reads as 2.0 s.
class PauseEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit PauseEdit(QWidget* parent = nullptr);

    // The text form; empty for a field never filled.
    QString PauseText() const { return pauseText_; }
    // Takes a text form; a text that is not a pause (letters, more than two places, a
    // negative number) is refused, returns false and changes nothing.
    bool SetPauseText(const QString& text);
    int Tenths() const;
    void SetTenths(int tenths);  // clamped to 0..99

    static constexpr int kMaxTenths = 99;

  signals:
    // The user changed the pause (not sent for SetPauseText / SetTenths).
    void PauseEdited();

  private:
    void TakeEditedText(const QString& shown);
    void Show();

    QString pauseText_;
};

}  // namespace tovrin
