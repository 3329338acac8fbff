#include "platform/Dde.h"
