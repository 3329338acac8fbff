#include "platform/Dispatcher.h"
