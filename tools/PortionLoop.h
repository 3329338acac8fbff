#pragma once

// The portion loop lives with the text library; the tools take it from there.
#include "text/PortionSequence.h"
