#include "text/TextFinder.h"
