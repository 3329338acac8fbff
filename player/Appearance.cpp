#include "player/Appearance.h"

#include <QApplication>
#include <QPalette>

#include <cmath>

namespace tovrin {
namespace {

// Windows system colour indices met in the settings.
QPalette::ColorRole SystemColorRole(int index) {
    switch (index) {
        case 5:  // window
            return QPalette::Base;
        case 8:  // window text
            return QPalette::Text;
        case 13:  // highlight
            return QPalette::Highlight;
        case 14:  // highlight text
            return QPalette::HighlightedText;
        case 15:  // button face
            return QPalette::Button;
        case 18:  // button text
            return QPalette::ButtonText;
        default:
            return QPalette::Window;
    }
}

}  // namespace

QFont ToQFont(const FontRecord& record) {
    QFont font(QString::fromStdString(record.Name));
    if (record.Size > 0)
        font.setPointSize(record.Size);
    else if (record.Height < 0)
        font.setPixelSize(-record.Height);
    font.setBold((record.Style & 1) != 0);
    font.setItalic((record.Style & 2) != 0);
    font.setUnderline((record.Style & 4) != 0);
    font.setStrikeOut((record.Style & 8) != 0);
    if (record.Name.find("Courier") != std::string::npos || record.Name == "Terminal")
        font.setStyleHint(QFont::TypeWriter);
    return font;
}

FontRecord FromQFont(const QFont& font, FontRecord record) {
    constexpr double kStoredDotsPerInch = 96;
    record.Name = font.family().toStdString();
    if (font.pixelSize() > 0) {
        record.Height = -font.pixelSize();
        record.Size =
            static_cast<int32_t>(std::lround(font.pixelSize() * 72.0 / kStoredDotsPerInch));
    } else {
        record.Size = static_cast<int32_t>(std::lround(font.pointSizeF()));
        record.Height =
            -static_cast<int32_t>(std::lround(font.pointSizeF() * kStoredDotsPerInch / 72));
    }
    record.Style = (font.bold() ? 1 : 0) | (font.italic() ? 2 : 0) | (font.underline() ? 4 : 0) |
                   (font.strikeOut() ? 8 : 0);
    return record;
}

QColor ToQColor(int32_t windowsColor) {
    if (windowsColor < 0)
        return QApplication::palette().color(SystemColorRole(windowsColor & 0xFF));
    const auto value = static_cast<uint32_t>(windowsColor);
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

QColor FontColor(const FontRecord& record) {
    return ToQColor(record.Color);
}

}  // namespace tovrin

namespace tovrin {

int32_t FromQColor(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

}  // namespace tovrin
