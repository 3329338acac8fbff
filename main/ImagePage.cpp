#include "main/ImagePage.h"

#include "dialogs/AccessibleToggles.h"
#include "dialogs/MessageBoxes.h"
#include "main/ControlNames.h"
#include "main/PageWidgets.h"
#include "player/Appearance.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextOption>
#include <QToolButton>
#include <QVBoxLayout>

#include <tuple>

namespace tovrin {

TImagePage::TImagePage(QWidget* parent, MessageBoxes& dialogs)
    : QWidget(parent), dialogs_(dialogs) {
    Name(this, "TabImage", QStringLiteral("Имидж"));
    QWidget* panel = nullptr;
    QVBoxLayout* layout = PagePanel(this, "PnlImage", panel);
    BuildButtons(panel, layout);
    BuildModel(panel, layout);
    styleWin_ = new QLineEdit(panel);
    Name(styleWin_, "StyleWin", QStringLiteral("StyleWin"));
    MakeValueHolder(*styleWin_);
    styleDos_ = new QLineEdit(panel);
    Name(styleDos_, "StyleDos", QStringLiteral("StyleDos"));
    MakeValueHolder(*styleDos_);
    ShowAppearance();
}

void TImagePage::BuildButtons(QWidget* panel, QVBoxLayout* layout) {
    auto row =
        [&](const QString& label,
            std::initializer_list<std::tuple<const char*, QString, QString, ViewButton>> buttons) {
            auto* line = new QHBoxLayout;
            line->addWidget(new QLabel(label, panel));
            for (const auto& [name, caption, accessible, which] : buttons) {
                auto* button = new QPushButton(caption, panel);
                Name(button, name, label + QStringLiteral(": ") + accessible);
                connect(button, &QPushButton::clicked, this,
                        [this, which = which] { emit ButtonClicked(which); });
                line->addWidget(button);
            }
            layout->addLayout(line);
        };
    row(QStringLiteral("Окно"),
        {{"BtnWinBkCol", QStringLiteral("Фон"), QStringLiteral("Фон"), ViewButton::WinBkCol},
         {"BtnWinBkFont", QStringLiteral("Шрифт"), QStringLiteral("Шрифт"),
          ViewButton::WinBkFont}});
    row(QStringLiteral("Текст"),
        {{"BtnEditBkCol", QStringLiteral("Фон"), QStringLiteral("Фон"), ViewButton::EditBkCol},
         {"BtnEditCol", QStringLiteral("Цвет"), QStringLiteral("Цвет"), ViewButton::EditCol}});
    row(QStringLiteral("Шрифт текста"),
        {{"BtnWin1251", QStringLiteral("Win 1251"), QStringLiteral("Win 1251"),
          ViewButton::Win1251},
         {"BtnDosAlt", QStringLiteral("Dos 866"), QStringLiteral("Dos 866"), ViewButton::DosAlt}});
}

// A model of a player window showing the chosen look.
void TImagePage::BuildModel(QWidget* panel, QVBoxLayout* layout) {
    pnlPlayerSetup_ = new QWidget(panel);
    Name(pnlPlayerSetup_, "PnlPlayerSetup", QStringLiteral("Плеер текста"));
    pnlPlayerSetup_->setAutoFillBackground(true);
    auto* model = new QVBoxLayout(pnlPlayerSetup_);
    model->setContentsMargins(2, 2, 2, 2);
    auto* strip = new QLabel(QStringLiteral("    Плеер текста"), pnlPlayerSetup_);
    Name(strip, "Panel1", QStringLiteral("Плеер текста"));
    strip->setStyleSheet(QStringLiteral("color: white; background: navy; font-weight: bold;"));
    model->addWidget(strip);
    auto* modelButtons = new QHBoxLayout;
    const std::tuple<const char*, QString, QStyle::StandardPixmap> decoration[] = {
        {"BtnPlay", QStringLiteral("Читать"), QStyle::SP_MediaPlay},
        {"SpeedButton1", QStringLiteral("Пауза"), QStyle::SP_MediaPause},
        {"BtnStop", QStringLiteral("Стоп"), QStyle::SP_MediaStop}};
    for (const auto& [name, hint, picture] : decoration) {
        QToolButton* button = PictureButton(pnlPlayerSetup_, name, hint, picture);
        button->setEnabled(false);
        modelButtons->addWidget(button);
    }
    auto* word = new QLabel(QStringLiteral("Слово"), pnlPlayerSetup_);
    word->setObjectName(QStringLiteral("Label1"));
    modelButtons->addWidget(word);
    model->addLayout(modelButtons);
    editorSetup_ = new QTextEdit(pnlPlayerSetup_);
    Name(editorSetup_, "EditorSetup", QStringLiteral("Образец текста"));
    editorSetup_->setReadOnly(true);
    editorSetup_->setPlainText(
        QStringLiteral("текст\nальтернативной\nкодировки\nMs-Dos\n\nтекст\nрусской\nкодовой\n"
                       "страницы\nWindows"));
    // Every line centred, whatever text or font the sample shows later.
    QTextOption centred = editorSetup_->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    editorSetup_->document()->setDefaultTextOption(centred);
    model->addWidget(editorSetup_, 1);
    layout->addWidget(pnlPlayerSetup_, 1);
}

void TImagePage::ShowAppearance() {
    QPalette palette = pnlPlayerSetup_->palette();
    palette.setColor(QPalette::Window, ToQColor(appearance_.WindowColor));
    pnlPlayerSetup_->setPalette(palette);
    pnlPlayerSetup_->setFont(ToQFont(appearance_.WindowFont));
    QPalette editor = editorSetup_->palette();
    editor.setColor(QPalette::Base, ToQColor(appearance_.EditorColor));
    editor.setColor(QPalette::Text, ToQColor(appearance_.EditorFont.Color));
    editorSetup_->setPalette(editor);
    editorSetup_->setFont(ToQFont(appearance_.EditorFont));
    styleWin_->setFont(ToQFont(appearance_.StyleWin));
    styleDos_->setFont(ToQFont(appearance_.StyleDos));
}

void TImagePage::PickColor(int32_t& color) {
    QColor chosen = ToQColor(color);
    if (dialogs_.ChooseColor(this, chosen)) color = FromQColor(chosen);
}

// A code-page font: the editor's sample takes it too; both keep the text colour.
bool TImagePage::PickStyle(FontRecord& style) {
    const int32_t textColor = appearance_.EditorFont.Color;
    QFont chosen = ToQFont(style);
    if (!dialogs_.ChooseFont(this, chosen)) return false;
    style = FromQFont(chosen, style);
    style.Color = textColor;
    appearance_.EditorFont = style;
    return true;
}

void TImagePage::BtnViewSetup(ViewButton button) {
    switch (button) {
        case ViewButton::WinBkCol:
            PickColor(appearance_.WindowColor);
            break;
        case ViewButton::EditBkCol:
            PickColor(appearance_.EditorColor);
            break;
        case ViewButton::EditCol:
            PickColor(appearance_.EditorFont.Color);
            break;
        case ViewButton::WinBkFont:
            if (QFont chosen = ToQFont(appearance_.WindowFont); dialogs_.ChooseFont(this, chosen))
                appearance_.WindowFont = FromQFont(chosen, appearance_.WindowFont);
            break;
        case ViewButton::Win1251:
            PickStyle(appearance_.StyleWin);
            break;
        case ViewButton::DosAlt:
            if (PickStyle(appearance_.StyleDos)) {
                const int32_t charset = appearance_.StyleDos.Charset;
                if (charset == 0 || charset == 1 || charset == 204 || charset == 255) {
                    appearance_.StyleDos.Charset = 255;  // OEM
                    appearance_.EditorFont.Charset = 255;
                }
            }
            break;
    }
    ShowAppearance();
}

void TImagePage::Store(StoredControls& c) const {
    c.Look = appearance_;
}

void TImagePage::Restore(const StoredControls& c) {
    appearance_ = c.Look;
    // The editor's sample shows the Windows font until a code-page font is chosen.
    const int32_t textColor = appearance_.EditorFont.Color;
    appearance_.EditorFont = appearance_.StyleWin;
    appearance_.EditorFont.Color = textColor;
    ShowAppearance();
}

}  // namespace tovrin
