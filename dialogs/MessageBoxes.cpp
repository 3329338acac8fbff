#include "dialogs/MessageBoxes.h"

#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>

namespace tovrin {

namespace {

QMessageBox::StandardButton ToStandard(BoxButton button) {
    switch (button) {
        case BoxButton::Ok:
            return QMessageBox::Ok;
        case BoxButton::Cancel:
            return QMessageBox::Cancel;
        case BoxButton::Yes:
            return QMessageBox::Yes;
        case BoxButton::No:
            return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon ToIcon(BoxKind kind) {
    switch (kind) {
        case BoxKind::Error:
            return QMessageBox::Critical;
        case BoxKind::Warning:
            return QMessageBox::Warning;
        case BoxKind::Information:
            return QMessageBox::Information;
        case BoxKind::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

void WriteToStandardError(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fprintf(stderr, "tovrin: %s\n", bytes.constData());
    std::fflush(stderr);
}

}  // namespace

bool RunsOffscreen() {
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

BoxButton QtMessageBoxes::Show(QWidget* parent, BoxKind kind, const QString& text,
                               const std::vector<BoxButton>& buttons, BoxButton defaultButton) {
    const bool unseen = RunsOffscreen();
    if (kind == BoxKind::Error || unseen) WriteToStandardError(text);
    if (unseen) return defaultButton;

    QMessageBox box(ToIcon(kind), QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::NoButton, parent);
    for (BoxButton button : buttons)
        box.addButton(ToStandard(button));
    box.setDefaultButton(ToStandard(defaultButton));
    const int chosen = box.exec();
    for (BoxButton button : buttons)
        if (chosen == ToStandard(button)) return button;
    return defaultButton;
}

BoxButton ScriptedMessageBoxes::Show(QWidget*, BoxKind kind, const QString& text,
                                     const std::vector<BoxButton>&, BoxButton defaultButton) {
    texts.push_back(text.toStdString());
    kinds.push_back(kind);
    if (answers.empty()) return defaultButton;
    const BoxButton answer = answers.front();
    answers.pop_front();
    return answer;
}

void ShowErrorBox(MessageBoxes& boxes, QWidget* parent, const QString& text) {
    boxes.Show(parent, BoxKind::Error, text, {BoxButton::Ok}, BoxButton::Ok);
}

}  // namespace tovrin
