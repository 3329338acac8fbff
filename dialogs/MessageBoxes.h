#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <deque>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace tovrin {

enum class BoxKind { Error, Warning, Information, Question };
enum class BoxButton { Ok, Cancel, Yes, No };

// Every message box of the program goes through one provider, so that tests answer boxes
// instead of a user and nothing ever blocks a run without a screen.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Shows a box with the given buttons and returns the one chosen; `defaultButton` is the
    // answer to a box that nobody can see.
    virtual BoxButton Show(QWidget* parent, BoxKind kind, const QString& text,
                           const std::vector<BoxButton>& buttons, BoxButton defaultButton) = 0;
    // The colour and font dialogs: the chosen value, or nothing when cancelled.
    virtual std::optional<QColor> PickColor(QWidget* parent, const QColor& initial);
    virtual std::optional<QFont> PickFont(QWidget* parent, const QFont& initial);
    // A file-open dialog for an existing file: its full name, or nothing when cancelled.
    virtual std::optional<QString> PickOpenFile(QWidget* parent, const QString& title,
                                                const QString& folder, const QString& filter);
};

// Real boxes on a screen. Under the offscreen platform nobody sees a box, so each one is
// answered with its default button at once. Every error box, and every box answered
// unseen, first writes "tovrin: <text>" on standard error.
class QtMessageBoxes final : public MessageBoxes {
  public:
    BoxButton Show(QWidget* parent, BoxKind kind, const QString& text,
                   const std::vector<BoxButton>& buttons, BoxButton defaultButton) override;
    std::optional<QColor> PickColor(QWidget* parent, const QColor& initial) override;
    std::optional<QFont> PickFont(QWidget* parent, const QFont& initial) override;
    std::optional<QString> PickOpenFile(QWidget* parent, const QString& title,
                                        const QString& folder, const QString& filter) override;
};

// Answers boxes from a queue (the default button when it is empty) and records their texts.
class ScriptedMessageBoxes final : public MessageBoxes {
  public:
    BoxButton Show(QWidget* parent, BoxKind kind, const QString& text,
                   const std::vector<BoxButton>& buttons, BoxButton defaultButton) override;

    std::deque<BoxButton> answers;
    std::vector<std::string> texts;  // UTF-8, in the order shown
    std::vector<BoxKind> kinds;

    // Colour and font dialogs answer from their queues (cancelled when empty) and record
    // what they were opened with.
    std::optional<QColor> PickColor(QWidget* parent, const QColor& initial) override;
    std::optional<QFont> PickFont(QWidget* parent, const QFont& initial) override;
    std::deque<std::optional<QColor>> colorAnswers;
    std::deque<std::optional<QFont>> fontAnswers;
    std::vector<QColor> colorsOffered;
    std::vector<QFont> fontsOffered;
    std::optional<QString> PickOpenFile(QWidget* parent, const QString& title,
                                        const QString& folder, const QString& filter) override;
    std::deque<std::optional<QString>> fileAnswers;
};

// An error box with one OK button.
void ShowErrorBox(MessageBoxes& boxes, QWidget* parent, const QString& text);

// True when the program runs on Qt's offscreen platform (tests, scripts without a display).
bool RunsOffscreen();

}  // namespace tovrin
