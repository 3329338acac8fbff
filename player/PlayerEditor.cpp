#include "player/PlayerEditor.h"

#include <QEvent>
#include <QMimeData>

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

void PlayerEditor::insertFromMimeData(const QMimeData* source) {
    if (source->hasUrls()) {
        drop_(source);
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

}  // namespace tovrin
