#include "text/Navigation.h"
