#include "platform/DesktopHost.h"
