#include "vendorsim/fleet.h"

#include <algorithm>
#include <random>

namespace vendorsim {

namespace {

// 127.0.1.1 onwards, leaving out the addresses that end in .0 or .255: 254 a block.
std::string fleetAddress(size_t i)
{
    const size_t block = 1 + i / 254;
    return "127." + std::to_string(block >> 8) + "." + std::to_string(block & 0xFF) + "." +
        std::to_string(i % 254 + 1);
}

// `n` in at least `width` digits.
std::string digits(size_t n, size_t width)
{
    std::string text = std::to_string(n);
    return std::string(text.size() < width ? width - text.size() : 0, '0') + text;
}

std::string vendorNumber(size_t i)
{
    std::string number(1, 'S');
    number += digits((i + 1) % 100000, 5);
    return number;
}

} // namespace

std::string fleetVendorName(size_t i)
{
    return "vendor" + digits(i + 1, 4);
}

std::set<size_t> spreadOver(size_t count, size_t total)
{
    std::set<size_t> chosen;
    if (total == 0)
        return chosen;
    count = std::min(count, total);
    for (size_t j = 0; j < count; ++j)
        chosen.insert((2 * j + 1) * total / (2 * count) + 1);
    return chosen;
}

SimulatorFleet::SimulatorFleet(FleetOptions options) : m_opt(std::move(options)) {}

SimulatorFleet::~SimulatorFleet()
{
    stop();
}

void SimulatorFleet::stop()
{
    for (auto &sim : m_sims)
        if (sim)
            sim->stop();
    m_sims.clear();
}

bool SimulatorFleet::startAt(uint16_t firstPort, std::string *error)
{
    stop();
    m_addresses.clear();
    m_ports.clear();
    uint16_t port = firstPort;
    for (size_t i = 0; i < m_opt.count; ++i) {
        Options o = m_opt.base;
        o.bindAddress = m_opt.portRange ? m_opt.base.bindAddress : fleetAddress(i);
        o.port = m_opt.portRange && port != 0 ? uint16_t(port + i) : port;
        const auto f = m_opt.faults.find(i + 1);
        if (f != m_opt.faults.end())
            o.faults = f->second;
        if (m_opt.base.log) {
            const std::string name = fleetVendorName(i);
            const auto log = m_opt.base.log;
            o.log = [log, name](const std::string &line) { log(name + " " + line); };
        }
        if (!m_opt.base.outDir.empty())
            o.outDir = m_opt.base.outDir + "/" + fleetVendorName(i);
        m_addresses.push_back(o.bindAddress);
        if (m_opt.notListening.count(i + 1)) {
            m_ports.push_back(o.port);
            m_sims.emplace_back();
            continue;
        }
        auto sim = std::make_unique<Simulator>(o);
        if (!sim->start(error))
            return false;
        if (port == 0) // the first one picked a free port; the others follow it
            port = m_opt.portRange ? uint16_t(sim->port() - i) : sim->port();
        m_ports.push_back(sim->port());
        m_sims.push_back(std::move(sim));
    }
    // Vendors before the first that listens take the port found (they do not listen).
    for (size_t i = 0; i < m_ports.size(); ++i)
        if (m_ports[i] == 0)
            m_ports[i] = m_opt.portRange ? uint16_t(port + i) : port;
    return true;
}

bool SimulatorFleet::start(std::string *error)
{
    if (m_opt.count == 0 || m_opt.count > kFleetLimit) {
        if (error)
            *error = "a fleet has 1 to " + std::to_string(kFleetLimit) + " vendors";
        return false;
    }
    const unsigned base = m_opt.base.port;
    if (m_opt.portRange && base + m_opt.count - 1 > 65535) {
        if (error)
            *error = "the ports would run past 65535";
        return false;
    }
    if (base != 0)
        return startAt(uint16_t(base), error);
    // A free port: in a range, a start where the whole range is likely free; on one port,
    // the one the first vendor is given, which may be taken at another address.
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 20; ++attempt) {
        uint16_t first = 0;
        if (m_opt.portRange)
            first = uint16_t(20000 + random() % (40000 - std::min<size_t>(m_opt.count, 30000)));
        if (startAt(first, error))
            return true;
    }
    stop();
    return false;
}

std::string SimulatorFleet::listText() const
{
    std::string text = "# " + std::to_string(size()) + " simulated vendors: ADDR:PORT NAME NUMBER\n";
    for (size_t i = 0; i < size(); ++i) {
        const bool v6 = m_addresses[i].find(':') != std::string::npos;
        if (v6)
            text += '[';
        text += m_addresses[i];
        if (v6)
            text += ']';
        text += ':';
        text += std::to_string(m_ports[i]);
        text += ' ';
        text += fleetVendorName(i);
        text += ' ';
        text += vendorNumber(i);
        const auto note = m_opt.notes.find(i + 1);
        if (note != m_opt.notes.end())
            text += "  # " + note->second;
        text += "\n";
    }
    return text;
}

} // namespace vendorsim
