#include "dialogs/PauseEdit.h"

#include "text/PlayerOptions.h"
#include "text/TextError.h"

#include <algorithm>

namespace tovrin {

namespace {

// Tenths of a pause text form, or -1 when the text is no pause.
int TenthsOf(const QString& text) {
    if (text.size() > 2) return -1;
    try {
        const int32_t tenths = ParsePauseText(text.toStdString());
        return tenths >= 0 && tenths <= PauseEdit::kMaxTenths ? tenths : -1;
    } catch (const ConversionError&) {
        return -1;
    }
}

}  // namespace

PauseEdit::PauseEdit(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(4);
    setAlignment(Qt::AlignRight);
    Show();
    // Every way text enters (typing, paste, input methods) ends here: the last two digits
    // typed are the pause, the field is shown again in its one form.
    connect(this, &QLineEdit::textEdited, this, &PauseEdit::TakeEditedText);
}

bool PauseEdit::SetPauseText(const QString& text) {
    if (TenthsOf(text) < 0) return false;
    pauseText_ = text;
    Show();
    return true;
}

int PauseEdit::Tenths() const {
    return std::max(0, TenthsOf(pauseText_));
}

void PauseEdit::SetTenths(int tenths) {
    pauseText_ = QString::number(std::clamp(tenths, 0, kMaxTenths));
    Show();
}

void PauseEdit::TakeEditedText(const QString& shown) {
    QString digits;
    for (QChar c : shown)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) digits.append(c);
    if (digits.isEmpty()) {
        pauseText_.clear();
    } else {
        pauseText_ = QString::number(digits.right(2).toInt());
    }
    Show();
    emit PauseEdited();
}

void PauseEdit::Show() {
    const int tenths = Tenths();
    setText(QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10));
    setCursorPosition(text().size());
}

}  // namespace tovrin
