#pragma once
// The simulated vendor for tests: started on a free loopback port, and the faults the
// tests give it most.
#include "vendorsim/vendorsim.h"

#include <memory>
#include <string>

namespace testutil {

// A simulated vendor, running on an ephemeral loopback port (null if it could not start).
std::unique_ptr<vendorsim::Simulator> startSimulator(vendorsim::Faults faults = {}, std::string outDir = {});

// A vendor that takes every request and answers none (of its first thousand exchanges).
vendorsim::Faults silent();

// Exchanges `first` to `first + count - 1` (counted as Simulator::exchanges() counts them)
// are answered with status 1.
vendorsim::Faults failing(int first, int count = 1);

} // namespace testutil
