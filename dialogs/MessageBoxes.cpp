#include "dialogs/MessageBoxes.h"

#include "dialogs/FontChoice.h"
#include "dialogs/ScreenRoom.h"

#include <QColorDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDialog>
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

#include <algorithm>
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

void MessageBoxes::EndAll() {
    ending_ = true;
    RejectOpen();
}

BoxButton MessageBoxes::Rejection(const std::vector<BoxButton>& buttons, BoxButton defaultButton) {
    for (BoxButton rejection : {BoxButton::Cancel, BoxButton::No})
        if (std::find(buttons.begin(), buttons.end(), rejection) != buttons.end()) return rejection;
    return defaultButton;
}

bool QtMessageBoxes::Run(QDialog& dialog) {
    if (Ending()) return false;
    const OpenBox counted(*this);
    running_.push_back(&dialog);
    FitDialogToScreen(dialog);
    const int result = dialog.exec();
    std::erase(running_, &dialog);
    return result == QDialog::Accepted && !Ending();
}

void QtMessageBoxes::RejectOpen() {
    for (QDialog* dialog : running_)
        dialog->reject();
}

BoxButton QtMessageBoxes::Show(QWidget* parent, BoxKind kind, const QString& text,
                               const std::vector<BoxButton>& buttons, BoxButton defaultButton) {
    const bool unseen = RunsOffscreen();
    if (kind == BoxKind::Error || unseen) WriteToStandardError(text);
    if (Ending()) return Rejection(buttons, defaultButton);
    if (unseen) return defaultButton;

    QMessageBox box(ToIcon(kind), QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::NoButton, DialogOwner(parent));
    for (BoxButton button : buttons)
        box.addButton(ToStandard(button));
    box.setDefaultButton(ToStandard(defaultButton));
    int chosen = 0;
    {
        const OpenBox counted(*this);
        running_.push_back(&box);
        chosen = box.exec();
        std::erase(running_, &box);
    }
    if (Ending()) return Rejection(buttons, defaultButton);
    for (BoxButton button : buttons)
        if (chosen == ToStandard(button)) return button;
    return defaultButton;
}

BoxButton ScriptedMessageBoxes::Show(QWidget*, BoxKind kind, const QString& text,
                                     const std::vector<BoxButton>& buttons,
                                     BoxButton defaultButton) {
    texts.push_back(text.toStdString());
    kinds.push_back(kind);
    if (Ending()) return Rejection(buttons, defaultButton);
    if (nested) return RunNested(Rejection(buttons, defaultButton), &answers);
    if (answers.empty()) return defaultButton;
    const BoxButton answer = answers.front();
    answers.pop_front();
    return answer;
}

BoxButton ScriptedMessageBoxes::RunNested(BoxButton rejection, std::deque<BoxButton>* queued) {
    const OpenBox counted(*this);
    QEventLoop loop;
    Open open{&loop, rejection, rejection};
    open_.push_back(&open);
    if (queued && !queued->empty()) {
        const BoxButton answer = queued->front();
        queued->pop_front();
        QTimer::singleShot(0, &loop, [&open, answer] {
            open.answer = answer;
            open.loop->exit();
        });
    }
    if (onOpen) QTimer::singleShot(0, &loop, onOpen);
    loop.exec();
    std::erase(open_, &open);
    return open.answer;
}

bool ScriptedMessageBoxes::AnswerOpen(BoxButton answer) {
    if (open_.empty()) return false;
    open_.back()->answer = answer;
    open_.back()->loop->exit();
    return true;
}

void ScriptedMessageBoxes::RejectOpen() {
    for (Open* open : open_) {
        open->answer = open->rejection;
        open->loop->exit();
    }
}

QString MessageBoxes::ChooseFile(QWidget*, const FileChoice&) {
    return QString();
}

bool MessageBoxes::ChoosePrinter(QWidget*, QPrinter&) {
    return false;
}

bool MessageBoxes::ChooseFont(QWidget*, QFont&) {
    return false;
}

bool MessageBoxes::ChooseColor(QWidget*, QColor&) {
    return false;
}

void MessageBoxes::ShowModal(QDialog&) {}

void QtMessageBoxes::ShowModal(QDialog& dialog) {
    if (!RunsOffscreen()) Run(dialog);
}

void ScriptedMessageBoxes::ShowModal(QDialog& dialog) {
    modalDialogs.push_back(dialog.objectName().toStdString());
    if (nested && !Ending()) RunNested(BoxButton::Cancel, nullptr);
}

QString QtMessageBoxes::ChooseFile(QWidget* parent, const FileChoice& choice) {
    if (RunsOffscreen()) return QString();
    QFileDialog dialog(DialogOwner(parent), choice.Title, choice.Folder, choice.Filter);
    // The widget dialog behaves alike on every desktop; overwriting is asked by the caller.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(choice.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(choice.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(choice.DefaultSuffix);
    if (!Run(dialog) || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().front();
}

bool QtMessageBoxes::ChoosePrinter(QWidget* parent, QPrinter& printer) {
    if (RunsOffscreen()) return false;
    QPrintDialog dialog(&printer, DialogOwner(parent));
    return Run(dialog);
}

bool QtMessageBoxes::ChooseFont(QWidget* parent, QFont& font) {
    if (RunsOffscreen()) return false;
    const QFont start = FontDialogStart(font);
    QFontDialog dialog(start, DialogOwner(parent));
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    if (!Run(dialog)) return false;
    font = FontAfterDialog(font, start, dialog.selectedFont());
    return true;
}

bool QtMessageBoxes::ChooseColor(QWidget* parent, QColor& color) {
    if (RunsOffscreen()) return false;
    QColorDialog dialog(color, DialogOwner(parent));
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (!Run(dialog) || !dialog.selectedColor().isValid()) return false;
    color = dialog.selectedColor();
    return true;
}

QString ScriptedMessageBoxes::ChooseFile(QWidget*, const FileChoice& choice) {
    fileChoices.push_back(choice);
    if (Ending()) return QString();
    // Open until answered: OK takes the next queued name, anything else cancels.
    if (nested && RunNested(BoxButton::Cancel, nullptr) != BoxButton::Ok) return QString();
    if (fileNames.empty()) return QString();
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

bool ScriptedMessageBoxes::ChoosePrinter(QWidget*, QPrinter& printer) {
    if (pdfFiles.empty()) return false;
    // An empty name accepts the output the caller proposed.
    if (!pdfFiles.front().isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfFiles.front());
    }
    pdfFiles.pop_front();
    return true;
}

bool ScriptedMessageBoxes::ChooseFont(QWidget*, QFont& font) {
    if (fonts.empty()) return false;
    font = fonts.front();
    fonts.pop_front();
    return true;
}

bool ScriptedMessageBoxes::ChooseColor(QWidget*, QColor& color) {
    if (colors.empty()) return false;
    color = colors.front();
    colors.pop_front();
    return true;
}

QWidget* DialogOwner(QWidget* parent) {
    if (parent != nullptr) return parent->window();
    return QApplication::activeWindow();
}

void ShowErrorBox(MessageBoxes& boxes, QWidget* parent, const QString& text) {
    boxes.Show(parent, BoxKind::Error, text, {BoxButton::Ok}, BoxButton::Ok);
}

}  // namespace tovrin
