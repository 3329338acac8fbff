#include "text/DictionaryLines.h"
