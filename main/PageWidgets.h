#pragma once

#include <QStyle>
#include <QTime>

#include <string>
#include <vector>

class QBoxLayout;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QSlider;
class QTimeEdit;
class QToolButton;
class QVBoxLayout;
class QWidget;

namespace tovrin {

// The controls the main window's pages are built of, each named as the settings file and
// assistive technology know it.

// A text kept in the settings file: UTF-8, or Windows-1251 from a file of older days.
QString FromStored(const std::string& text);
std::string To1251(const QString& text);

// The frame every page has: a panel named `panelName` filling `page`, laid out in a column.
QVBoxLayout* PagePanel(QWidget* page, const char* panelName, QWidget*& panel);
// Two columns of controls added to `layout`, the second under the first, as one column looks;
// a compact page puts them side by side.
QBoxLayout* PageColumns(QVBoxLayout* layout, QVBoxLayout*& first, QVBoxLayout*& second);
// Makes a page fit a short screen, or gives it back its full height: its columns side by
// side, its lists as short as three rows and its vertical bars as short as still usable, all
// measured in the page's font.
void SetPageCompact(QWidget* page, bool compact);
QSlider* VoiceBar(QWidget* parent, const char* name, const QString& hint, int maximum);
QLineEdit* Edit(QWidget* parent, const char* name, const QString& hint);
QCheckBox* Check(QWidget* parent, const char* name, const QString& caption, bool checked);
// Radio buttons in `box`, numbered from 0, as one group named `name`.
QButtonGroup* RadioGroup(QGroupBox* box, const char* name, const QString& caption,
                         const std::vector<QString>& items, bool horizontal, int checked);
// Checks the item `index`; an index outside the group leaves no item checked.
void SetGroupIndex(QButtonGroup* group, int index);
QToolButton* PictureButton(QWidget* parent, const char* name, const QString& hint,
                           QStyle::StandardPixmap picture);
QTimeEdit* TimePicker(QWidget* parent, const char* name, const QString& caption, QTime time);

}  // namespace tovrin
