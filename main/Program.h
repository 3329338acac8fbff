#pragma once

#include "main/PlayerFactory.h"

#include <functional>
#include <memory>

namespace tovrin {

class MessageBoxes;
class PlayerHost;
class TFrmTalk;

// Makes the program's player windows; they reach the main window through `host` and ask their
// questions through the program's one message-box provider `boxes`.
using PlayerFactoryMaker =
    std::function<std::unique_ptr<PlayerFactory>(PlayerHost& host, MessageBoxes& boxes)>;

// SIGTERM, SIGINT and SIGHUP close `window` without questions, from the event loop.
void CloseOnTerminationSignals(TFrmTalk& window);

// The whole program: name check, single copy, start-up, the event loop and shutdown.
// Returns the exit status: 0 after a normal close or a hand-over, 1 after a refusal.
int RunProgram(int argc, char** argv, const PlayerFactoryMaker& makePlayers);

}  // namespace tovrin
