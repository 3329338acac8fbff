#pragma once

#include "main/SettingsFile.h"
#include "player/PlayerHost.h"

#include <QWidget>

class QLineEdit;
class QTextEdit;
class QVBoxLayout;

namespace tovrin {

class MessageBoxes;

// The buttons of the appearance panel.
enum class ViewButton { WinBkCol, WinBkFont, EditBkCol, EditCol, Win1251, DosAlt };

// The "Имидж" tab: the look of the player windows, chosen with the common colour and font
// dialogs and shown on a model of a player window.
class TImagePage : public QWidget {
    Q_OBJECT
  public:
    TImagePage(QWidget* parent, MessageBoxes& dialogs);

    const PlayerAppearance& Appearance() const { return appearance_; }
    // One button of the panel: its dialog, then the model shows the result.
    void BtnViewSetup(ViewButton button);
    void Store(StoredControls& controls) const;
    void Restore(const StoredControls& controls);

  signals:
    // A button was pressed; the window runs BtnViewSetup, reporting what it raises.
    void ButtonClicked(ViewButton button);

  private:
    void BuildButtons(QWidget* panel, QVBoxLayout* layout);
    void BuildModel(QWidget* panel, QVBoxLayout* layout);
    void ShowAppearance();
    void PickColor(int32_t& color);
    bool PickStyle(FontRecord& style);

    MessageBoxes& dialogs_;
    PlayerAppearance appearance_;
    QWidget* pnlPlayerSetup_ = nullptr;
    QTextEdit* editorSetup_ = nullptr;
    QLineEdit* styleWin_ = nullptr;
    QLineEdit* styleDos_ = nullptr;
};

}  // namespace tovrin
