#pragma once

#include "text/PlayerOptions.h"
#include "text/TextSearch.h"

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace tovrin {

// The document a find dialog searches: its owner's text as one zero-terminated buffer, with
// byte offsets for the selection.
class FindTarget {
  public:
    virtual ~FindTarget() = default;
    virtual PlayerOptions FindOptions() const = 0;
    virtual const char* TextBegin() const = 0;
    virtual const char* TextEnd() const = 0;
    virtual int32_t SelectionStart() const = 0;
    virtual int32_t SelectionLength() const = 0;
    // Selects [start, end) and scrolls the caret into view.
    virtual void SelectRange(int32_t start, int32_t end) = 0;
    // Puts the caret's line third from the top.
    virtual void ScrollToCaret() = 0;
    // The dialog was closed: the owner releases its find button.
    virtual void FindClosed() = 0;
};

// The find dialog of one player window: a string or a mask searched up or down from the caret.
// Hidden, not destroyed, when closed, so the last search can be repeated.
class TFrmFind : public QDialog {
    Q_OBJECT

  public:
    // Without a target there is nothing to search and a search does nothing.
    explicit TFrmFind(QWidget* owner, FindTarget* target);

    FindRequest ReadSearchControls() const;
    // One search in the target's text; on a match the match is selected.
    static bool FindInEditor(const PlayerOptions& options, const FindRequest& request,
                             FindTarget& target);
    // Down arrow, up arrow or (no sender) the last direction: Enter and the player's repeat.
    void BtnFindClick(QPushButton* sender);

    QComboBox* FindBox() const { return find_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QCheckBox* AddCheck(const char* name, const QString& caption, const QString& hint, bool on);
    QPushButton* AddButton(const char* name, const QString& caption, const QString& hint);
    void AddToHistory(const QString& pattern);
    bool HandleKey(QKeyEvent* event);

    FindTarget* target_;
    QComboBox* find_ = nullptr;
    QCheckBox* asMask_ = nullptr;
    QCheckBox* caseOnly_ = nullptr;
    QCheckBox* wordOnly_ = nullptr;
    QCheckBox* select_ = nullptr;
    QCheckBox* down_ = nullptr;
    QPushButton* btnDown_ = nullptr;
    QPushButton* btnUp_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

}  // namespace tovrin
