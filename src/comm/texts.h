#pragma once
// The communication layer's texts live in the text catalogue (src/texts/comm.u8.h).
#include "texts/comm.h"
