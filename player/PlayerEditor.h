#pragma once

#include <QPlainTextEdit>

#include <functional>

class QMimeData;

namespace tovrin {

// The player's editor. What it copies or drags out is made by its window from the document's
// bytes; dropped files go to the window; text that enters goes the editor's usual way, through
// the document's one encoder.
class PlayerEditor : public QPlainTextEdit {
    Q_OBJECT

  public:
    using MimeMaker = std::function<QMimeData*()>;
    using FileDrop = std::function<void(const QMimeData*)>;

    explicit PlayerEditor(QWidget* parent, MimeMaker copy, FileDrop drop);

    // Whether `text` may go into the document: the document with it must stay within the
    // window's limits. A refusal is told by PasteRefused, with the limit passed.
    bool AcceptsPaste(const QString& text);

  signals:
    void PasteRefused(const QString& reason);

  protected:
    void changeEvent(QEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    MimeMaker copy_;
    FileDrop drop_;
};

}  // namespace tovrin
