#include "support/vendorfixture.h"

namespace testutil {

bool VendorFixture::start(vendorsim::Options options)
{
    options.port = 0;
    sim = std::make_unique<vendorsim::Simulator>(options);
    if (!sim->start())
        return false;
    port = sim->port();
    return true;
}

bool VendorFixture::start(const vendorsim::Faults &faults)
{
    vendorsim::Options o;
    o.faults = faults;
    return start(o);
}

} // namespace testutil
