#include "platform/WaveDevice.h"
