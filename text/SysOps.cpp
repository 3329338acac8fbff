#include "text/SysOps.h"
