#include "platform/qt/QtDispatcher.h"
