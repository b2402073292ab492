#pragma once
// The protocol tests' helpers in one include: bytes and frames, loopback ports and
// listeners, the simulated vendor.
#include "support/bytes.h"
#include "support/loopback.h"
#include "support/simulator.h"
