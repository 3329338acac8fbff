#include "dialogs/Reabout.h"

#include "platform/SystemInfo.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace tovrin {
namespace {

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, bool bold) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(text);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

QFrame* Rule(QWidget* parent) {
    auto* rule = new QFrame(parent);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    return rule;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent, const std::string& memoryInfoPath) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setAccessibleName(windowTitle());
    auto* layout = new QGridLayout(this);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setAccessibleName(QStringLiteral("Рисунок программы"));
    icon->setFixedSize(64, 64);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MediaVolume).pixmap(64, 64));
    layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);

    layout->addWidget(AddLabel(this, "ProductName", QStringLiteral("Tovrin"), true), 0, 1, 1, 2);
    layout->addWidget(AddLabel(this, "Comments",
                               QStringLiteral("Чтение русских текстов вслух:\n"
                                              "плеер текстов, словари, чтение буфера обмена."),
                               false),
                      1, 1, 1, 2);
    layout->addWidget(Rule(this), 2, 1, 1, 2);
    layout->addWidget(AddLabel(this, "EngineName",
                               QStringLiteral("Голос даёт отдельная программа —\n"
                                              "синтезатор речи ZalLib/zalwin."),
                               false),
                      3, 1, 1, 2);
    layout->addWidget(Rule(this), 4, 1, 1, 2);

    const std::optional<MemoryStatus> memory = ReadMemoryStatus(memoryInfoPath);
    const MemoryStatus status = memory.value_or(MemoryStatus{});
    layout->addWidget(AddLabel(this, "Label3", QStringLiteral("Всего памяти:"), false), 5, 1);
    QLabel* physMem =
        AddLabel(this, "PhysMem", QString::number(status.totalPhysicalBytes / 1024), false);
    layout->addWidget(physMem, 5, 2);
    layout->addWidget(AddLabel(this, "Label4", QStringLiteral("Использовано:"), false), 6, 1);
    QLabel* freeRes =
        AddLabel(this, "FreeRes", QString::asprintf("%d %%", status.loadPercent), false);
    layout->addWidget(freeRes, 6, 2);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 7, 0, 1, 3, Qt::AlignHCenter);
    // Esc closes the box through QDialog's reject; Enter presses the default button.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        adjustSize();
        move(screen->geometry().center() - rect().center());
    }
}

}  // namespace tovrin
