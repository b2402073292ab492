#include "support/simulator.h"

namespace testutil {

std::unique_ptr<vendorsim::Simulator> startSimulator(vendorsim::Faults faults, std::string outDir)
{
    vendorsim::Options o;
    o.port = 0;
    o.faults = std::move(faults);
    o.outDir = std::move(outDir);
    auto sim = std::make_unique<vendorsim::Simulator>(o);
    return sim->start() ? std::move(sim) : nullptr;
}

vendorsim::Faults silent()
{
    vendorsim::Faults f;
    for (int i = 1; i <= 1000; ++i)
        f.noReply.insert(i);
    return f;
}

vendorsim::Faults failing(int first, int count)
{
    vendorsim::Faults f;
    f.status = 1;
    for (int i = first; i < first + count; ++i)
        f.statusOn.insert(i);
    return f;
}

} // namespace testutil
