#include "player/PlayerEditor.h"

#include <QMimeData>

namespace tovrin {

PlayerEditor::PlayerEditor(QWidget* parent, MimeMaker copy, FileDrop drop)
    : QPlainTextEdit(parent), copy_(std::move(copy)), drop_(std::move(drop)) {}

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
