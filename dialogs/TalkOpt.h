#pragma once

#include "text/PlayerOptions.h"

#include <QDialog>

#include <string>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace tovrin {

class PauseEdit;

// What the options dialog needs of the player window that owns it.
class SetupOwner {
  public:
    virtual ~SetupOwner() = default;
    // OK was pressed: the owner takes ReadControls() as its options.
    virtual void SetupConfirmed() = 0;
    // The dialog was closed (hidden): the owner releases its setup button and menu check.
    virtual void SetupClosed() = 0;
    // The owner's whole document, zero-terminated, for the calculate button.
    virtual const char* SetupText() = 0;
    // A failure inside one of the dialog's handlers.
    virtual void SetupError(const std::string& text) = 0;
};

// The player options dialog: a fixed-size tool window, always on top, not modal, in which
// the user edits one player window's options. The controls are the state; the owner loads
// them (WriteControls) and takes them back (ReadControls) when OK is pressed. Without an
// owner, OK and the calculate button do nothing.
class TFrmSetup : public QDialog {
    Q_OBJECT

  public:
    explicit TFrmSetup(SetupOwner* owner, QWidget* parent = nullptr);

    // The options the controls show. The settings the dialog does not show (the dictionary's
    // script, shuffle and repeat) come from the record last loaded, and so does a KOI-8
    // code page while the code page list still shows what was loaded.
    PlayerOptions ReadControls() const;
    // Loads the controls from `options` and applies the enabling rule of the block page.
    void WriteControls(const PlayerOptions& options);

    // Whether the controls have been loaded; while clear, a change normalises nothing.
    bool Ready = false;

    // The reading type radio group, which the owner disables for a dictionary.
    QGroupBox* ReadingTypeGroup() const { return readingType_; }
    // Shows `type` in the reading type group without normalising the other controls.
    void ShowReadingType(int32_t type);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  public slots:
    // Esc, Cancel and the window's close button: the dialog is hidden, not destroyed.
    void reject() override;

  private:
    void BuildLayout();
    QWidget* BuildSubstitutionsPage();
    QWidget* BuildSplittingPage();
    QCheckBox* AddCheck(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint);
    QLineEdit* AddEdit(QWidget* parent, const char* name, const QString& hint,
                       const QString& accessibleName);
    QGroupBox* AddRadioGroup(QWidget* parent, const char* name, const QString& caption,
                             const QStringList& items, const QString& hint, QButtonGroup*& group);
    void ConnectChecks();

    void Check();
    void BtnOkClick();
    void BtnCalcClick();
    // Runs a handler so that no exception leaves it.
    template <typename Handler>
    void Guarded(Handler handler);

    SetupOwner* owner_;
    // The record last loaded: the source of what the controls do not show.
    PlayerOptions loaded_;
    int loadedCodePageItem_ = -1;

    QPushButton* btnCalc_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QGroupBox* readingType_ = nullptr;
    QButtonGroup* readingTypeGroup_ = nullptr;
    QComboBox* codePageName_ = nullptr;
    QCheckBox* dcdPH_ = nullptr;
    QCheckBox* dcdNoPeren_ = nullptr;
    QCheckBox* dcdNoUdar_ = nullptr;
    QCheckBox* dcdNoCommand_ = nullptr;
    QCheckBox* dcdNoChar_ = nullptr;
    QGroupBox* abzType_ = nullptr;
    QButtonGroup* abzTypeGroup_ = nullptr;
    QLineEdit* abzBeg_ = nullptr;
    QCheckBox* abzBegP_ = nullptr;
    PauseEdit* abzBegPause_ = nullptr;
    QLineEdit* abzEnd_ = nullptr;
    QCheckBox* abzEndP_ = nullptr;
    PauseEdit* abzEndPause_ = nullptr;
    QCheckBox* abzNoEndP_ = nullptr;
    QGroupBox* razdType_ = nullptr;
    QButtonGroup* razdTypeGroup_ = nullptr;
    QLineEdit* razdEmpt_ = nullptr;
    QLineEdit* razdKey_ = nullptr;
    QComboBox* blockSize_ = nullptr;
    QCheckBox* blockSelAbz_ = nullptr;
    QCheckBox* blockOrgAbz_ = nullptr;
    QCheckBox* blockPack_ = nullptr;
    QLineEdit* blockMsg_ = nullptr;
};

}  // namespace tovrin
