#include "player/PlayerEditor.h"

#include "player/PlayerDocument.h"

#include <QEvent>
#include <QMimeData>
#include <QTextDocument>

namespace tovrin {

PlayerEditor::PlayerEditor(QWidget* parent, MimeMaker copy, FileDrop drop)
    : QPlainTextEdit(parent), copy_(std::move(copy)), drop_(std::move(drop)) {}

void PlayerEditor::changeEvent(QEvent* event) {
    // The plain editor drops keyboard selection (and so its caret) when made read-only.
    if (event->type() == QEvent::ReadOnlyChange && isReadOnly())
        setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    QPlainTextEdit::changeEvent(event);
}

QMimeData* PlayerEditor::createMimeDataFromSelection() const {
    return copy_();
}

bool PlayerEditor::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasUrls() || QPlainTextEdit::canInsertFromMimeData(source);
}

bool PlayerEditor::AcceptsPaste(const QString& text) {
    // Counted from the view, as an upper bound of the bytes: a view line break is a CR LF pair
    // in the document, and so may be every break of the text.
    const int64_t breaks = text.count(u'\n') + text.count(u'\r') - text.count(u"\r\n");
    const int64_t blocks = document()->blockCount();
    const auto size =
        static_cast<size_t>(document()->characterCount() + blocks + text.size() + breaks);
    const QString refusal = PlayerDocument::TooLargeForWindow(size, blocks + breaks);
    if (refusal.isEmpty()) return true;
    emit PasteRefused(refusal);
    return false;
}

void PlayerEditor::insertFromMimeData(const QMimeData* source) {
    if (source->hasUrls()) {
        drop_(source);
        return;
    }
    if (source->hasText() && !AcceptsPaste(source->text())) return;
    QPlainTextEdit::insertFromMimeData(source);
}

}  // namespace tovrin
