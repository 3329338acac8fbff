#include "platform/qt/LogindPowerControl.h"
