#include "player/EditorPane.h"

#include "dialogs/MessageBoxes.h"
#include "player/Appearance.h"
#include "player/PlayerControls.h"
#include "player/PlayerDocument.h"
#include "player/PlayerEditor.h"
#include "text/CodePages.h"
#include "text/TextFinder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolButton>

#include <algorithm>
#include <string>
#include <vector>

namespace tovrin {
namespace {

int PointSize(const QFont& font) {
    return font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
}

}  // namespace

QWidget* CreateWorkArea(QWidget& parent, PlayerEditor*& editor, QPlainTextEdit*& background,
                        PlayerEditor::MimeMaker copy, PlayerEditor::FileDrop drop) {
    auto* work = new QWidget(&parent);
    work->setObjectName(QStringLiteral("PnlWork"));
    work->setAccessibleName(QStringLiteral("Рабочая область"));
    auto* workLayout = new QGridLayout(work);
    workLayout->setContentsMargins(0, 0, 0, 0);
    // Behind the editor and of its colour, so the area keeps its look while the editor hides.
    background = new QPlainTextEdit(work);
    background->setObjectName(QStringLiteral("EditorBackGround"));
    background->setAccessibleName(QStringLiteral("Фон текста"));
    background->setReadOnly(true);
    background->setEnabled(false);
    background->setFocusPolicy(Qt::NoFocus);
    editor = new PlayerEditor(work, std::move(copy), std::move(drop));
    editor->setObjectName(QStringLiteral("Editor"));
    editor->setAccessibleName(QStringLiteral("Текст"));
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    workLayout->addWidget(background, 0, 0);
    workLayout->addWidget(editor, 0, 0);
    editor->raise();
    return work;
}

EditorPane::EditorPane(QWidget& window, PlayerEditor& editor, QPlainTextEdit& background,
                       PlayerDocument& document, const PlayerControls& controls,
                       MessageBoxes& dialogs, const PlayerOptions& options)
    : window_(window),
      editor_(editor),
      background_(background),
      document_(document),
      controls_(controls),
      dialogs_(dialogs),
      options_(options) {}

void EditorPane::ApplyAppearance(const PlayerAppearance& look) {
    QPalette palette = window_.palette();
    palette.setColor(QPalette::Window, ToQColor(look.WindowColor));
    palette.setColor(QPalette::Button, ToQColor(look.WindowColor));
    palette.setColor(QPalette::WindowText, FontColor(look.WindowFont));
    palette.setColor(QPalette::ButtonText, FontColor(look.WindowFont));
    window_.setPalette(palette);
    window_.setFont(ToQFont(look.WindowFont));
    SetStyles(ToQFont(look.StyleWin), ToQFont(look.StyleDos));
    for (QPlainTextEdit* edit : {static_cast<QPlainTextEdit*>(&editor_), &background_}) {
        QPalette colours = edit->palette();
        colours.setColor(QPalette::Base, ToQColor(look.EditorColor));
        colours.setColor(QPalette::Text, FontColor(look.EditorFont));
        edit->setPalette(colours);
    }
    editor_.setFont(ToQFont(look.EditorFont));
}

void EditorPane::ShowBusy(bool on) {
    if (on) {
        window_.setCursor(Qt::WaitCursor);
        editor_.viewport()->setCursor(Qt::WaitCursor);
    } else {
        window_.unsetCursor();
        editor_.viewport()->setCursor(Qt::IBeamCursor);
    }
}

void EditorPane::SetStyles(const QFont& styleWin, const QFont& styleDos) {
    styleWin_ = styleWin;
    styleDos_ = styleDos;
}

int32_t EditorPane::Caret() const {
    return document_.OffsetOf(editor_.textCursor().selectionStart());
}

void EditorPane::SetCaret(int32_t offset) {
    QTextCursor cursor = editor_.textCursor();
    cursor.setPosition(document_.ViewPositionOf(offset));
    editor_.setTextCursor(cursor);
}

void EditorPane::ScrollToCaret() {
    // The plain text editor's vertical scroll bar counts lines (wrapped ones too): the caret's
    // line goes third from the top.
    const QTextBlock block = editor_.textCursor().block();
    int line = block.firstLineNumber();
    if (block.layout() != nullptr && block.layout()->lineCount() > 0)
        line += block.layout()
                    ->lineForTextPosition(editor_.textCursor().positionInBlock())
                    .lineNumber();
    editor_.verticalScrollBar()->setValue(std::max(0, line - 2));
}

const char* EditorPane::TextBegin() const {
    return document_.Data();
}

const char* EditorPane::TextEnd() const {
    return document_.End();
}

int32_t EditorPane::SelectionStart() const {
    return document_.OffsetOf(editor_.textCursor().selectionStart());
}

int32_t EditorPane::SelectionLength() const {
    const QTextCursor cursor = editor_.textCursor();
    return document_.OffsetOf(cursor.selectionEnd()) - document_.OffsetOf(cursor.selectionStart());
}

void EditorPane::SelectRange(int32_t start, int32_t end) {
    QTextCursor cursor = editor_.textCursor();
    cursor.setPosition(document_.ViewPositionOf(start));
    cursor.setPosition(document_.ViewPositionOf(end), QTextCursor::KeepAnchor);
    editor_.setTextCursor(cursor);
    editor_.ensureCursorVisible();
}

void EditorPane::FindClosed() {
    controls_.find->setChecked(false);
}

bool EditorPane::EditorWritable() const {
    return !editor_.isReadOnly();
}

bool EditorPane::HasSelection() const {
    return editor_.textCursor().hasSelection();
}

QMimeData* EditorPane::SelectionAsMimeData() const {
    // The selected bytes through the document's code page; display-only breaks hold none.
    const QString text = document_.Show(
        std::string_view(document_.Bytes()).substr(SelectionStart(), SelectionLength()));
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

void EditorPane::EditUndo() {
    if (EditorWritable() && editor_.isVisible()) editor_.undo();
}

void EditorPane::EditCopy() {
    if (HasSelection()) QApplication::clipboard()->setMimeData(SelectionAsMimeData());
}

void EditorPane::EditCut() {
    if (!HasSelection() || !EditorWritable()) return;
    EditCopy();
    editor_.textCursor().removeSelectedText();
}

void EditorPane::EditPaste() {
    const QString text = QApplication::clipboard()->text();
    if (!EditorWritable() || text.isEmpty() || !editor_.AcceptsPaste(text)) return;
    // Inserted before the selection, which stays; the editor's change goes through the
    // document's one encoder into its code page.
    QTextCursor cursor = editor_.textCursor();
    cursor.setPosition(cursor.selectionStart());
    UpdateAttributes();
    cursor.insertText(text);
    editor_.setTextCursor(cursor);
}

void EditorPane::ChooseBackground() {
    QColor colour = editor_.palette().color(QPalette::Base);
    if (!dialogs_.ChooseColor(&window_, colour)) return;
    for (QPlainTextEdit* edit : {static_cast<QPlainTextEdit*>(&editor_), &background_}) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, colour);
        edit->setPalette(palette);
    }
}

QFont EditorPane::CodePageFont(int32_t codePage) const {
    return codePage == kCodePageEnglish || codePage == kCodePageDos ? styleDos_ : styleWin_;
}

void EditorPane::SetEditorFont(const QFont& font) {
    // The text colour is the editor palette's and stays as it is.
    editor_.setFont(font);
}

void EditorPane::UpdateAttributes() {
    editor_.setCurrentCharFormat(QTextCharFormat());
}

void EditorPane::UpdateFont() {
    const QFont font = editor_.font();
    controls_.lblFontSize->setText(QString::number(PointSize(font)).left(2));
    controls_.fontBold->setChecked(font.bold());
    controls_.fontItalic->setChecked(font.italic());
    controls_.wrap->setChecked(editor_.lineWrapMode() != QPlainTextEdit::NoWrap);
}

void EditorPane::UpdateChange() {
    ShowModified(editor_.document()->isModified());
    controls_.editUndo->setEnabled(editor_.document()->isUndoAvailable() && EditorWritable());
}

void EditorPane::UpdatePaste() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    const bool can = data != nullptr && data->hasText();
    controls_.pasteButton->setEnabled(can && EditorWritable());
    for (QAction* item : {controls_.editPaste, controls_.clipbrdOpen, controls_.playClipBrd})
        item->setEnabled(can);
}

void EditorPane::UpdateSelection() {
    const QTextCursor cursor = editor_.textCursor();
    controls_.panelCaret->setText(QString::asprintf(
        "Строка: %3d  Колонка: %3d", cursor.blockNumber() + 1, cursor.positionInBlock() + 1));
    const bool selected = cursor.hasSelection();
    controls_.editCopy->setEnabled(selected);
    controls_.editCut->setEnabled(selected && EditorWritable());
}

void EditorPane::ShowModified(bool modified) {
    controls_.panelModified->setText(modified ? QStringLiteral("Modified") : QString());
}

void EditorPane::Font(QAction* sender) {
    const PlayerControls& c = controls_;
    QFont font = editor_.font();
    if (sender == c.fontInc || sender == c.fontDec) {
        const int size = PointSize(font) + (sender == c.fontInc ? 1 : -1);
        font.setPointSize(std::max(1, size));
        SetEditorFont(font);
    } else if (sender == c.wrap) {
        editor_.setLineWrapMode(c.wrap->isChecked() ? QPlainTextEdit::WidgetWidth
                                                    : QPlainTextEdit::NoWrap);
    } else if (sender == c.fontBold || sender == c.fontItalic) {
        font.setBold(c.fontBold->isChecked());
        font.setItalic(c.fontItalic->isChecked());
        SetEditorFont(font);
    } else if (sender == c.fontSel) {
        if (dialogs_.ChooseFont(&window_, font)) SetEditorFont(font);
    } else if (sender == c.bkColor) {
        ChooseBackground();
    }
}

void EditorPane::MoveCaret(Move move) {
    const char* text = document_.Data();
    SetTextBounds(text, document_.End());
    const char* target = MoveTarget(LayoutParamsOf(options_), move, text + Caret());
    SetCaret(static_cast<int32_t>(target - text));
}

void EditorPane::ShuffleEntries(ShuffleRandom& random) {
    std::vector<std::string> lines;
    const std::string& bytes = document_.Bytes();
    for (size_t start = 0;;) {
        const size_t end = bytes.find("\r\n", start);
        lines.push_back(bytes.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    ShuffleDictionary(lines, random);
    // Nothing but headings: a shuffle would leave an empty editor.
    if (lines.empty()) return;
    std::string shuffled;
    for (const std::string& line : lines)
        shuffled += (shuffled.empty() ? "" : "\r\n") + line;
    // A shuffle is no edit of the user's: it leaves the modified state as it was.
    const bool modified = editor_.document()->isModified();
    document_.SetText(std::move(shuffled), document_.CodePage());
    editor_.document()->setModified(modified);
    SetCaret(0);
}

bool EditorPane::HandleKey(QKeyEvent* key, bool caretBelongsToSpeech) {
    if (key->key() == Qt::Key_Pause && key->modifiers() == Qt::NoModifier) {
        controls_.pause->trigger();
        return true;
    }
    // While the caret follows the speech, keys would only fight it.
    if (caretBelongsToSpeech) return true;
    if (key->matches(QKeySequence::Copy)) {
        EditCopy();
    } else if (key->matches(QKeySequence::Cut)) {
        EditCut();
    } else if (key->matches(QKeySequence::Paste)) {
        EditPaste();
    } else if (key->matches(QKeySequence::Undo)) {
        EditUndo();
    } else {
        const QKeySequence pressed(key->keyCombination());
        const PlayerControls& c = controls_;
        for (QAction* item : {c.prev, c.back, c.step, c.next}) {
            if (item->shortcut() == pressed) {
                item->trigger();
                return true;
            }
        }
        return false;
    }
    return true;
}

}  // namespace tovrin
