#include "text/Portion.h"
