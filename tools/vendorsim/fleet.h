#pragma once
// A fleet of simulated vendors: many independent simulators, each with its own state and
// faults, on consecutive loopback addresses (127.0.1.1, 127.0.1.2, ... on one port) or on
// consecutive ports of one loopback address, and the vendor list that names them.
#include "vendorsim/vendorsim.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vendorsim {

struct FleetOptions {
    size_t count = 0;
    bool portRange = false; // consecutive ports on base.bindAddress instead of addresses
    Options base; // every vendor's options; base.port is the (first) port, 0 picks a free one
    std::map<size_t, Faults> faults; // vendor (1-based) -> its faults instead of base.faults
    std::set<size_t> notListening; // these vendors are in the list, but nothing listens there
    std::map<size_t, std::string> notes; // vendor (1-based) -> a comment for its line of the list
};

// The largest fleet (addresses 127.0.1.1 onwards, or ports).
inline constexpr size_t kFleetLimit = 10000;

// The name the list gives vendor i (0-based): vendor0001, vendor0002, ...
std::string fleetVendorName(size_t i);

// Vendor i (1-based) of `count` evenly spread ones among `total`: which vendors a fraction
// of faults falls on, the same for every run.
std::set<size_t> spreadOver(size_t count, size_t total);

class SimulatorFleet {
public:
    explicit SimulatorFleet(FleetOptions options);
    ~SimulatorFleet(); // stops
    SimulatorFleet(const SimulatorFleet &) = delete;
    SimulatorFleet &operator=(const SimulatorFleet &) = delete;

    // Starts every vendor; false (with the reason in *error) when one cannot be bound. A free
    // port is looked for again when the one picked is taken at some address.
    bool start(std::string *error = nullptr);
    void stop();

    size_t size() const { return m_addresses.size(); }
    // Vendor i, 0-based; null for one that does not listen.
    Simulator *at(size_t i) { return m_sims[i].get(); }
    const std::string &address(size_t i) const { return m_addresses[i]; }
    uint16_t port(size_t i) const { return m_ports[i]; }

    // The vendor list naming every vendor ("ADDR:PORT NAME NUMBER", a comment on the ones
    // with faults).
    std::string listText() const;

private:
    bool startAt(uint16_t firstPort, std::string *error);

    FleetOptions m_opt;
    std::vector<std::string> m_addresses;
    std::vector<uint16_t> m_ports;
    std::vector<std::unique_ptr<Simulator>> m_sims;
};

} // namespace vendorsim
