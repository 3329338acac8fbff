#pragma once

#include "dialogs/TalkFind.h"
#include "player/PlayerEditor.h"
#include "player/PlayerHost.h"
#include "text/DictionaryLines.h"
#include "text/Navigation.h"
#include "text/PlayerOptions.h"

#include <QFont>

#include <cstdint>

class QAction;
class QKeyEvent;
class QMimeData;
class QPlainTextEdit;
class QWidget;

namespace tovrin {

class MessageBoxes;
class PlayerDocument;
struct PlayerControls;

// The work area of a player window: its editor over a background of the editor's colour.
QWidget* CreateWorkArea(QWidget& parent, PlayerEditor*& editor, QPlainTextEdit*& background,
                        PlayerEditor::MimeMaker copy, PlayerEditor::FileDrop drop);

// The editor of a player window as the rest of the window uses it: the caret and the selection
// as byte offsets into the document, the editing and font commands, and the states they show
// (enabled commands, the font panel, the caret and modified panels). The find dialog searches
// through it.
class EditorPane final : public FindTarget {
  public:
    EditorPane(QWidget& window, PlayerEditor& editor, QPlainTextEdit& background,
               PlayerDocument& document, const PlayerControls& controls, MessageBoxes& dialogs,
               const PlayerOptions& options);

    // The window's and the editor's colours and fonts.
    void ApplyAppearance(const PlayerAppearance& look);
    // The hourglass over the window and the editor, or the usual cursors.
    void ShowBusy(bool on);

    // The caret as a byte offset into the document (with a selection, where it starts: reading
    // begins there whichever way it was made), and setting it with an empty selection.
    int32_t Caret() const;
    void SetCaret(int32_t offset);
    // Moves the caret by paragraphs or sections, as the finders say.
    void MoveCaret(Move move);
    // Scrolls the editor so that the caret's line is the third visible line.
    void ScrollToCaret() override;

    bool EditorWritable() const;
    bool HasSelection() const;
    // The selection as the clipboard takes it (owned by the caller).
    QMimeData* SelectionAsMimeData() const;
    void EditUndo();
    void EditCut();
    void EditCopy();
    void EditPaste();

    // A key pressed in the editor: Pause, and (while the caret is the user's) the clipboard,
    // undo and movement keys. True when the key was taken.
    bool HandleKey(QKeyEvent* key, bool caretBelongsToSpeech);

    // The fonts for Windows-1251 and for DOS-866 documents.
    void SetStyles(const QFont& styleWin, const QFont& styleDos);
    QFont CodePageFont(int32_t codePage) const;
    void SetEditorFont(const QFont& font);
    void UpdateAttributes();
    // A command of the font panel (size, wrap, bold, italic, font, background).
    void Font(QAction* sender);

    void UpdateFont();
    void UpdateChange();
    void UpdatePaste();
    void UpdateSelection();
    void ShowModified(bool modified);

    // Shuffles the lines of a dictionary (its entries grouped by sound file, other lines
    // dropped) and puts the caret at the top; a text without an entry stays as it is.
    void ShuffleEntries(ShuffleRandom& random);

    // FindTarget.
    PlayerOptions FindOptions() const override { return options_; }
    const char* TextBegin() const override;
    const char* TextEnd() const override;
    int32_t SelectionStart() const override;
    int32_t SelectionLength() const override;
    void SelectRange(int32_t start, int32_t end) override;
    void FindClosed() override;

  private:
    void ChooseBackground();

    QWidget& window_;
    PlayerEditor& editor_;
    QPlainTextEdit& background_;
    PlayerDocument& document_;
    const PlayerControls& controls_;
    MessageBoxes& dialogs_;
    const PlayerOptions& options_;
    QFont styleWin_;
    QFont styleDos_;
};

}  // namespace tovrin
