#include "text/PlayerOptions.h"
