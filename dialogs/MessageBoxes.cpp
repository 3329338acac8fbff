#include "dialogs/MessageBoxes.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
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

std::optional<QColor> MessageBoxes::PickColor(QWidget*, const QColor&) {
    return std::nullopt;
}

std::optional<QFont> MessageBoxes::PickFont(QWidget*, const QFont&) {
    return std::nullopt;
}

std::optional<QString> MessageBoxes::PickOpenFile(QWidget*, const QString&, const QString&,
                                                  const QString&) {
    return std::nullopt;
}

std::optional<QString> QtMessageBoxes::PickOpenFile(QWidget* parent, const QString& title,
                                                    const QString& folder, const QString& filter) {
    if (RunsOffscreen()) return std::nullopt;
    const QString chosen = QFileDialog::getOpenFileName(parent, title, folder, filter);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

std::optional<QString> ScriptedMessageBoxes::PickOpenFile(QWidget*, const QString&, const QString&,
                                                          const QString&) {
    if (fileAnswers.empty()) return std::nullopt;
    const auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

std::optional<QColor> QtMessageBoxes::PickColor(QWidget* parent, const QColor& initial) {
    if (RunsOffscreen()) return std::nullopt;  // nobody could answer: cancelled
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
}

std::optional<QFont> QtMessageBoxes::PickFont(QWidget* parent, const QFont& initial) {
    if (RunsOffscreen()) return std::nullopt;
    bool chosen = false;
    const QFont font = QFontDialog::getFont(&chosen, initial, parent);
    if (!chosen) return std::nullopt;
    return font;
}

std::optional<QColor> ScriptedMessageBoxes::PickColor(QWidget*, const QColor& initial) {
    colorsOffered.push_back(initial);
    if (colorAnswers.empty()) return std::nullopt;
    const auto answer = colorAnswers.front();
    colorAnswers.pop_front();
    return answer;
}

std::optional<QFont> ScriptedMessageBoxes::PickFont(QWidget*, const QFont& initial) {
    fontsOffered.push_back(initial);
    if (fontAnswers.empty()) return std::nullopt;
    const auto answer = fontAnswers.front();
    fontAnswers.pop_front();
    return answer;
}

void ShowErrorBox(MessageBoxes& boxes, QWidget* parent, const QString& text) {
    boxes.Show(parent, BoxKind::Error, text, {BoxButton::Ok}, BoxButton::Ok);
}

}  // namespace tovrin
