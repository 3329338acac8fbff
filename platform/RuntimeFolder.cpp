#include "platform/RuntimeFolder.h"
