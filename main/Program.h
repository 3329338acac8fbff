#pragma once

#include "main/PlayerFactory.h"

#include <QLocale>

#include <functional>
#include <memory>

class QApplication;

namespace tovrin {

class MessageBoxes;
class PlayerHost;
class TFrmTalk;

// Makes the program's player windows; they reach the main window through `host` and ask their
// questions through the program's one message-box provider `boxes`.
using PlayerFactoryMaker =
    std::function<std::unique_ptr<PlayerFactory>(PlayerHost& host, MessageBoxes& boxes)>;

// The application as the program runs it: Qt's own texts in the user's language (Russian
// where Qt has none for it), the program's name, switches announced as toggles, and no quitting
// when the last window closes (the tray icon stays).
void PrepareApplication(QApplication& app, const QLocale& locale = QLocale::system());

// SIGTERM, SIGINT and SIGHUP close `window` without questions, from the event loop.
void CloseOnTerminationSignals(TFrmTalk& window);

// The whole program: name check, single copy, start-up, the event loop and shutdown.
// Returns the exit status: 0 after a normal close or a hand-over, 1 after a refusal.
int RunProgram(int argc, char** argv, const PlayerFactoryMaker& makePlayers);

}  // namespace tovrin
