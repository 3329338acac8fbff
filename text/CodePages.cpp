#include "text/CodePages.h"
