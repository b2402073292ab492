#pragma once
// The protocol tests' helpers in one include: bytes and frames, loopback ports and
// listeners, the simulated vendor, the system facts the tests need.
#include "support/bytes.h"
#include "support/loopback.h"
#include "support/simulator.h"
#include "support/testsys.h"
