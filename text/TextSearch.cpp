#include "text/TextSearch.h"
