#include "dialogs/MessageBoxes.h"

#include "dialogs/FontChoice.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

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
    if (!RunsOffscreen()) dialog.exec();
}

void ScriptedMessageBoxes::ShowModal(QDialog& dialog) {
    modalDialogs.push_back(dialog.objectName().toStdString());
}

QString QtMessageBoxes::ChooseFile(QWidget* parent, const FileChoice& choice) {
    if (RunsOffscreen()) return QString();
    QFileDialog dialog(parent, choice.Title, choice.Folder, choice.Filter);
    // The widget dialog behaves alike on every desktop; overwriting is asked by the caller.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(choice.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(choice.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(choice.DefaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().front();
}

bool QtMessageBoxes::ChoosePrinter(QWidget* parent, QPrinter& printer) {
    if (RunsOffscreen()) return false;
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool QtMessageBoxes::ChooseFont(QWidget* parent, QFont& font) {
    if (RunsOffscreen()) return false;
    bool chosen = false;
    const QFont start = FontDialogStart(font);
    const QFont result =
        QFontDialog::getFont(&chosen, start, parent, QString(), QFontDialog::DontUseNativeDialog);
    if (chosen) font = FontAfterDialog(font, start, result);
    return chosen;
}

bool QtMessageBoxes::ChooseColor(QWidget* parent, QColor& color) {
    if (RunsOffscreen()) return false;
    const QColor result =
        QColorDialog::getColor(color, parent, QString(), QColorDialog::DontUseNativeDialog);
    if (!result.isValid()) return false;
    color = result;
    return true;
}

QString ScriptedMessageBoxes::ChooseFile(QWidget*, const FileChoice& choice) {
    fileChoices.push_back(choice);
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

void ShowErrorBox(MessageBoxes& boxes, QWidget* parent, const QString& text) {
    boxes.Show(parent, BoxKind::Error, text, {BoxButton::Ok}, BoxButton::Ok);
}

}  // namespace tovrin
