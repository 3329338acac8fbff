#include "platform/Power.h"
