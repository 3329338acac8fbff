#include "text/EngineCommands.h"
