#pragma once

#include "main/SettingsFile.h"
#include "text/PlayerOptions.h"

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QVBoxLayout;

namespace tovrin {

class PauseEdit;

// The "Текст" tab: how player windows cut and frame what they read; the hidden BlockItem
// keeps the chosen block size in the settings file as its index.
class TTextPage : public QWidget {
    Q_OBJECT
  public:
    explicit TTextPage(QWidget* parent);

    // The options as player windows take them, normalised.
    void GetTextOptions(PlayerOptions& options) const;
    bool AutoCalc() const;
    // Normalises the pauses and the block size after an edit.
    void TextChange();
    // The list takes the index kept as text; the first entry when it holds no number.
    void SelectBlockItem();
    void Store(StoredControls& controls) const;
    void Restore(const StoredControls& controls);

  private:
    void BuildParagraphGroups(QWidget* panel, QVBoxLayout* layout);
    void BuildBlockGroup(QWidget* panel, QVBoxLayout* layout);
    void BuildDictionaryGroup(QWidget* panel, QVBoxLayout* layout);

    QButtonGroup* readingType_ = nullptr;
    QCheckBox* autoCalc_ = nullptr;
    QLineEdit* abzBeg_ = nullptr;
    QCheckBox* abzBegP_ = nullptr;
    PauseEdit* abzBegPause_ = nullptr;
    QLineEdit* abzEnd_ = nullptr;
    QCheckBox* abzEndP_ = nullptr;
    PauseEdit* abzEndPause_ = nullptr;
    QLineEdit* blockMsg_ = nullptr;
    QComboBox* blockSize_ = nullptr;
    QLineEdit* blockItem_ = nullptr;
    QLineEdit* dictScript_ = nullptr;
    QCheckBox* dictOver_ = nullptr;
    QCheckBox* dictRep_ = nullptr;
};

}  // namespace tovrin
