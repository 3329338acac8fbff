#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class QDialog;
class QEventLoop;
class QPrinter;
class QWidget;

namespace tovrin {

enum class BoxKind { Error, Warning, Information, Question };
enum class BoxButton { Ok, Cancel, Yes, No };

// What an open or save dialog asks for. Filter is in Qt's form ("Текст (*.TXT);;...").
struct FileChoice {
    bool Save = false;
    QString Title;
    QString Filter;
    QString Folder;
    QString DefaultSuffix;
};

// Every message box of the program goes through one provider, so that tests answer boxes
// instead of a user and nothing ever blocks a run without a screen.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Shows a box with the given buttons and returns the one chosen; `defaultButton` is the
    // answer to a box that nobody can see.
    virtual BoxButton Show(QWidget* parent, BoxKind kind, const QString& text,
                           const std::vector<BoxButton>& buttons, BoxButton defaultButton) = 0;

    // The common dialogs. A provider that does not offer one answers as if it were cancelled.
    // The chosen file's full path, or an empty string.
    virtual QString ChooseFile(QWidget* parent, const FileChoice& choice);
    // Sets up `printer` for a print job; false when cancelled.
    virtual bool ChoosePrinter(QWidget* parent, QPrinter& printer);
    // Start from `font` or `color` and change it; false when cancelled.
    virtual bool ChooseFont(QWidget* parent, QFont& font);
    virtual bool ChooseColor(QWidget* parent, QColor& color);
    // Shows a dialog of the program (the about box) modally until it is closed.
    virtual void ShowModal(QDialog& dialog);

    // Ends every box and dialog that is open, each as if cancelled, and answers every new one
    // at once the same way until Resume: at shutdown the windows must not be closed while
    // one of their boxes still runs its event loop inside them.
    void EndAll();
    void Resume() { ending_ = false; }
    bool Ending() const { return ending_; }
    // How many boxes and dialogs are open (each one runs an event loop of its own).
    int OpenCount() const { return openCount_; }

  protected:
    // Ends the boxes and dialogs that are open now.
    virtual void RejectOpen() {}
    // The answer of a box that is cancelled: Cancel, else No, else its default.
    static BoxButton Rejection(const std::vector<BoxButton>& buttons, BoxButton defaultButton);

    // Counts one open box for as long as it lives.
    class OpenBox {
      public:
        explicit OpenBox(MessageBoxes& boxes) : boxes_(boxes) { ++boxes_.openCount_; }
        ~OpenBox() { --boxes_.openCount_; }
        OpenBox(const OpenBox&) = delete;
        OpenBox& operator=(const OpenBox&) = delete;

      private:
        MessageBoxes& boxes_;
    };

  private:
    bool ending_ = false;
    int openCount_ = 0;
};

// Real boxes on a screen. Under the offscreen platform nobody sees a box, so each one is
// answered with its default button at once. Every error box, and every box answered
// unseen, first writes "tovrin: <text>" on standard error.
// The common dialogs are Qt's own widget dialogs (the same on every desktop, and usable
// without a screen); unseen, each one is cancelled at once.
class QtMessageBoxes final : public MessageBoxes {
  public:
    BoxButton Show(QWidget* parent, BoxKind kind, const QString& text,
                   const std::vector<BoxButton>& buttons, BoxButton defaultButton) override;
    QString ChooseFile(QWidget* parent, const FileChoice& choice) override;
    bool ChoosePrinter(QWidget* parent, QPrinter& printer) override;
    bool ChooseFont(QWidget* parent, QFont& font) override;
    bool ChooseColor(QWidget* parent, QColor& color) override;
    void ShowModal(QDialog& dialog) override;

  protected:
    void RejectOpen() override;

  private:
    // Runs `dialog` modally; false when it was not accepted or was ended.
    bool Run(QDialog& dialog);

    std::vector<QDialog*> running_;  // innermost last
};

// Answers boxes from a queue (the default button when it is empty) and records their texts.
// With `nested` set, a box, a file dialog or a modal dialog stays open in an event loop of its
// own, as a user's does, until it is answered: a queued answer arrives from that loop, else
// AnswerOpen or EndAll answers it; `onOpen` runs inside the loop once the box is open.
class ScriptedMessageBoxes final : public MessageBoxes {
  public:
    BoxButton Show(QWidget* parent, BoxKind kind, const QString& text,
                   const std::vector<BoxButton>& buttons, BoxButton defaultButton) override;

    QString ChooseFile(QWidget* parent, const FileChoice& choice) override;
    bool ChoosePrinter(QWidget* parent, QPrinter& printer) override;
    bool ChooseFont(QWidget* parent, QFont& font) override;
    bool ChooseColor(QWidget* parent, QColor& color) override;
    void ShowModal(QDialog& dialog) override;

    std::deque<BoxButton> answers;
    std::vector<std::string> texts;  // UTF-8, in the order shown
    std::vector<BoxKind> kinds;
    // The common dialogs' answers, each taken once; an empty queue cancels.
    std::deque<QString> fileNames;
    // A print dialog confirmed prints into this PDF file (an empty name: as proposed).
    std::deque<QString> pdfFiles;
    std::deque<QFont> fonts;
    std::deque<QColor> colors;
    std::vector<FileChoice> fileChoices;    // the file dialogs asked for, in order
    std::vector<std::string> modalDialogs;  // object names of the dialogs shown

    bool nested = false;
    std::function<void()> onOpen;
    // Answers the innermost open box; false when none is open.
    bool AnswerOpen(BoxButton answer);

  protected:
    void RejectOpen() override;

  private:
    struct Open {
        QEventLoop* loop;
        BoxButton answer;
        BoxButton rejection;
    };
    // Keeps a box open in an event loop until it is answered; returns the answer.
    BoxButton RunNested(BoxButton rejection, std::deque<BoxButton>* queued);

    std::vector<Open*> open_;  // innermost last
};

// The window a box or dialog opens over (and is centred on): the window of `parent`, else the
// active window.
QWidget* DialogOwner(QWidget* parent);

// An error box with one OK button.
void ShowErrorBox(MessageBoxes& boxes, QWidget* parent, const QString& text);

// True when the program runs on Qt's offscreen platform (tests, scripts without a display).
bool RunsOffscreen();

}  // namespace tovrin
