#include "text/TextFilters.h"
