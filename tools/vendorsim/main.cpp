// quorvel-vendorsim: a simulated vendor on loopback for demos, tests and benchmarks.
#include "vendorsim/stopwait.h"
#include "vendorsim/vendorsim.h"

#include "vendorsim/fleet.h"

#include "comm/port.h"
#include "platform/atomicfile.h"
#include "platform/openfiles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace {

const char kUsage[] = "Usage: quorvel-vendorsim [OPTIONS]\n"
                      "\n"
                      "A simulated vendor: answers the vendor commands (clock 0x01/0x02, device number\n"
                      "0x03/0x04, logo 0x15, MFP parameters 0x20/0x21) on a loopback TCP port and logs one\n"
                      "line per exchange on standard output. Stop it with Ctrl+C.\n"
                      "\n"
                      "  --bind ADDR            loopback address to listen on (default 127.0.0.1; ::1 also\n"
                      "                         works; any other address is refused)\n"
                      "  --port N               TCP port (default 9004; 0 picks a free port, printed at start)\n"
                      "  --out DIR              where a received logo is written as received-logo.imp and\n"
                      "                         received-logo.png (default: the current directory)\n"
                      "  --device-number TEXT   device number at start (default six spaces)\n"
                      "  --quiet                no exchange log\n"
                      "\n"
                      "A fleet (independent vendors, each with its own state):\n"
                      "  --count N              start N vendors (1-10000) on consecutive loopback addresses,\n"
                      "                         127.0.1.1, 127.0.1.2, ... (no .0 or .255), all on one port\n"
                      "  --port-range           instead, on consecutive ports of the --bind address from\n"
                      "                         --port on (0: a free range)\n"
                      "  --list FILE            write the vendor list for quorvelctl --hosts to FILE (- for\n"
                      "                         standard output): ADDR:PORT vendorNNNN SNNNNN, a comment on\n"
                      "                         the vendors with faults\n"
                      "  --fault-hosts K,L:FAULT  faults of vendors K, L (counted from 1), added to the\n"
                      "                         common ones: no-reply (a silent vendor), not-listening (in the\n"
                      "                         list, but nothing listens there) or OPTION=VALUE with any\n"
                      "                         fault option below (status=2, delay=500@1, ...); repeatable\n"
                      "  --silent N | P%        make N vendors (or P per cent of them), spread evenly, silent\n"
                      "  With --out DIR, vendor K writes a received logo into DIR/vendorKKKK.\n"
                      "\n"
                      "Faults (exchanges are numbered from 1 in the order requests arrive; LIST is a\n"
                      "comma-separated list of such numbers; @LIST limits an option to those exchanges):\n"
                      "  --no-reply LIST        give no reply to these exchanges\n"
                      "  --delay MS[@LIST]      wait MS milliseconds before replying\n"
                      "  --pieces N:N...[@LIST] send replies cut into pieces of these sizes, the rest last\n"
                      "  --piece-gap MS         pause between pieces (default 200)\n"
                      "  --bad-bcc LIST         reply with a wrong check byte\n"
                      "  --status S[@LIST]      reply with status S (1-15)\n"
                      "  --split N              send reply data in blocks of at most N bytes\n"
                      "  --close-mid-reply LIST send half of the reply, then close the connection\n"
                      "  --trailing N           add N junk bytes after every reply\n"
                      "  --pad-reply N          add N zero bytes to the reply data of commands that return data\n"
                      "  --truncate-reply N     cut such reply data to N bytes\n"
                      "  --ack-only LIST        answer with an acknowledgement without data (LEN 0), even\n"
                      "                         where data or more blocks were due\n"
                      "  --echo LIST            send the request frame back instead of a reply\n"
                      "  --bad-type LIST        reply with TYPE 0x91\n"
                      "  --bad-cmd LIST         reply with another command code (the frame is otherwise valid)\n"
                      "  --bad-sta LIST         reply with a status byte whose high nibble is set\n"
                      "  --junk-before N        send N junk bytes (with a false SOH) before every reply\n"
                      "  --help                 this text\n"
                      "  --version              the version of quorvel-vendorsim\n";

bool parseNumber(const std::string &text, long min, long max, long &out)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end || v < min || v > max)
        return false;
    out = v;
    return true;
}

bool parseList(const std::string &text, std::set<int> &out)
{
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        long v;
        if (!parseNumber(item, 1, 1000000, v))
            return false;
        out.insert(int(v));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return !out.empty();
}

// "VALUE" or "VALUE@LIST"
bool splitAt(const std::string &text, std::string &value, std::set<int> &on)
{
    const size_t at = text.find('@');
    value = text.substr(0, at);
    return at == std::string::npos || parseList(text.substr(at + 1), on);
}

// A fault option NAME (without its dashes) with its VALUE, as on the command line: -1 when
// NAME is no fault option, 0 when VALUE is not valid for it, 1 when `f` took it.
int parseFault(const std::string &name, const std::string &value, vendorsim::Faults &f)
{
    long n = 0;
    std::string v; // the value before its @LIST
    bool ok = true;
    if (name == "no-reply") {
        ok = parseList(value, f.noReply);
    } else if (name == "delay") {
        ok = splitAt(value, v, f.delayOn) && parseNumber(v, 0, 600000, n);
        f.delayMs = int(n);
    } else if (name == "pieces") {
        ok = splitAt(value, v, f.piecesOn);
        size_t start = 0;
        while (ok && start <= v.size()) {
            const size_t colon = v.find(':', start);
            ok = parseNumber(v.substr(start, colon == std::string::npos ? std::string::npos : colon - start), 1,
                             1000, n);
            f.pieces.push_back(size_t(n));
            if (colon == std::string::npos)
                break;
            start = colon + 1;
        }
    } else if (name == "piece-gap") {
        ok = parseNumber(value, 0, 600000, n);
        f.pieceGapMs = int(n);
    } else if (name == "bad-bcc") {
        ok = parseList(value, f.badBcc);
    } else if (name == "ack-only") {
        ok = parseList(value, f.ackOnly);
    } else if (name == "echo") {
        ok = parseList(value, f.echo);
    } else if (name == "bad-type") {
        ok = parseList(value, f.badType);
    } else if (name == "bad-cmd") {
        ok = parseList(value, f.badCmd);
    } else if (name == "bad-sta") {
        ok = parseList(value, f.badSta);
    } else if (name == "junk-before") {
        ok = parseNumber(value, 1, 4096, n);
        f.junkBefore = size_t(n);
    } else if (name == "status") {
        ok = splitAt(value, v, f.statusOn) && parseNumber(v, 1, 15, n);
        f.status = uint8_t(n);
    } else if (name == "split") {
        ok = parseNumber(value, 1, 252, n);
        f.splitReply = size_t(n);
    } else if (name == "close-mid-reply") {
        ok = parseList(value, f.closeMidReply);
    } else if (name == "trailing") {
        ok = parseNumber(value, 0, 4096, n);
        f.trailing = size_t(n);
    } else if (name == "pad-reply") {
        ok = parseNumber(value, 0, 100000, n);
        f.padReply = size_t(n);
    } else if (name == "truncate-reply") {
        ok = parseNumber(value, 0, 100000, n);
        f.truncateReply = n;
    } else {
        return -1;
    }
    return ok ? 1 : 0;
}

int usageError(const char *what, const std::string &arg = {}, const std::string &more = {})
{
    std::fprintf(stderr, "quorvel-vendorsim: %s%s%s (see --help)\n", what, arg.c_str(), more.c_str());
    return 2;
}

} // namespace

// "K,L,...:FAULT": the vendors (1-based) and what is wrong with them.
bool parseHostFault(const std::string &text, vendorsim::FleetOptions &fleet, vendorsim::Faults base,
                    std::set<size_t> &mentioned)
{
    const size_t colon = text.find(':');
    std::set<int> hosts;
    if (colon == std::string::npos || !parseList(text.substr(0, colon), hosts))
        return false;
    const std::string fault = text.substr(colon + 1);
    const size_t eq = fault.find('=');
    const std::string name = fault.substr(0, eq);
    for (int h : hosts) {
        mentioned.insert(size_t(h));
        std::string &note = fleet.notes[size_t(h)];
        note += (note.empty() ? "" : ", ") + fault;
        if (name == "not-listening" && eq == std::string::npos) {
            fleet.notListening.insert(size_t(h));
            continue;
        }
        auto it = fleet.faults.emplace(size_t(h), base).first;
        if (name == "no-reply" && eq == std::string::npos)
            it->second.silent = true;
        else if (eq == std::string::npos || parseFault(name, fault.substr(eq + 1), it->second) != 1)
            return false;
    }
    return true;
}

int main(int argc, char **argv)
{
    vendorsim::Options opt;
    opt.outDir.push_back('.'); // received logos go to the current directory by default
    bool quiet = false;
    vendorsim::Faults &f = opt.faults;
    vendorsim::FleetOptions fleet;
    std::vector<std::string> hostFaults;
    std::string listFile, silent;
    bool fleetOption = false;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("quorvel-vendorsim (Quorvel) %s\n", QUORVEL_VERSION);
            return 0;
        }
        if (a == "--quiet") {
            quiet = true;
            continue;
        }
        if (a == "--port-range") {
            fleet.portRange = true;
            fleetOption = true;
            continue;
        }
        if (a.rfind("--", 0) != 0)
            return usageError("unexpected argument: ", a);
        if (i + 1 >= argc)
            return usageError("a value is missing after ", a);
        const std::string v = argv[++i];
        long n = 0;
        bool ok = true;
        if (a == "--bind") {
            opt.bindAddress = v;
        } else if (a == "--port") {
            // 0 asks for a free port; any other value is a port as the tool writes it.
            opt.port = 0;
            ok = v == "0" || ParsePort(v, opt.port);
        } else if (a == "--out") {
            opt.outDir = v;
        } else if (a == "--device-number") {
            ok = v.size() <= 6;
            for (unsigned char c : v)
                ok = ok && c >= 0x20 && c < 0x80;
            opt.deviceNumber = v;
        } else if (a == "--count") {
            ok = parseNumber(v, 1, long(vendorsim::kFleetLimit), n);
            fleet.count = size_t(n);
        } else if (a == "--list") {
            listFile = v;
            fleetOption = true;
        } else if (a == "--fault-hosts") {
            hostFaults.push_back(v); // taken once the common faults are known
            fleetOption = true;
        } else if (a == "--silent") {
            silent = v;
            fleetOption = true;
        } else {
            const int fault = parseFault(a.substr(2), v, f);
            if (fault < 0)
                return usageError("unknown option: ", a);
            ok = fault == 1;
        }
        if (!ok)
            return usageError("invalid value for ", a, ": " + v);
    }
    if (fleetOption && fleet.count == 0)
        return usageError("--list, --port-range, --fault-hosts and --silent go with --count N");
    std::set<size_t> mentioned;
    for (const std::string &h : hostFaults) {
        if (!parseHostFault(h, fleet, f, mentioned))
            return usageError("invalid value for --fault-hosts: ", h,
                              " (K,L:no-reply, K,L:not-listening or K,L:OPTION=VALUE)");
    }
    for (size_t h : mentioned)
        if (h > fleet.count)
            return usageError("--fault-hosts names a vendor beyond --count: ", std::to_string(h));
    if (!silent.empty()) {
        // A count of vendors, or a share of them with '%', spread evenly over the fleet.
        const bool share = silent.back() == '%';
        long n = 0;
        if (!parseNumber(share ? silent.substr(0, silent.size() - 1) : silent, 0, share ? 100 : long(fleet.count),
                         n))
            return usageError("invalid value for --silent: ", silent, " (N vendors or P%)");
        const size_t count = share ? (size_t(n) * fleet.count + 99) / 100 : size_t(n);
        for (size_t h : vendorsim::spreadOver(count, fleet.count)) {
            auto it = fleet.faults.emplace(h, f).first;
            it->second.silent = true;
            std::string &note = fleet.notes[h];
            note += (note.empty() ? "" : ", ") + std::string("no-reply");
        }
    }
    if (!quiet)
        opt.log = [](const std::string &line) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        };

    vendorsim::prepareStopWait();

    std::unique_ptr<vendorsim::Simulator> single;
    std::unique_ptr<vendorsim::SimulatorFleet> many;
    std::string error;
    if (fleet.count == 0) {
        single = std::make_unique<vendorsim::Simulator>(opt);
        if (!single->start(&error)) {
            std::fprintf(stderr, "quorvel-vendorsim: %s\n", error.c_str());
            return 1;
        }
        std::printf("quorvel-vendorsim: listening on %s port %u\n", opt.bindAddress.c_str(),
                    unsigned(single->port()));
    } else {
        // Many vendors: each writes a received logo into a folder of its own.
        if (!opt.outDir.empty() && opt.outDir != ".")
            for (size_t i = 0; i < fleet.count; ++i) {
                std::error_code ec;
                std::filesystem::create_directories(opt.outDir + "/" + vendorsim::fleetVendorName(i), ec);
            }
        else
            opt.outDir.clear();
        fleet.base = opt;
        // The vendors raise the open-file limit's need: a listener and a connection each.
        platform::raiseOpenFileLimit();
        many = std::make_unique<vendorsim::SimulatorFleet>(fleet);
        if (!many->start(&error)) {
            std::fprintf(stderr, "quorvel-vendorsim: %s\n", error.c_str());
            return 1;
        }
        const std::string list = many->listText();
        if (listFile == "-")
            std::fputs(list.c_str(), stdout);
        else if (!listFile.empty() && !platform::writeFileAtomically(listFile, list)) {
            std::fprintf(stderr, "quorvel-vendorsim: cannot write the vendor list %s\n", listFile.c_str());
            return 1;
        }
        const size_t last = many->size() - 1;
        std::string where = fleet.portRange
            ? many->address(0) + " ports " + std::to_string(many->port(0)) + "-" + std::to_string(many->port(last))
            : many->address(0) + " to " + many->address(last) + " port " + std::to_string(many->port(0));
        if (!listFile.empty() && listFile != "-")
            where += "; vendor list in " + listFile;
        std::printf("quorvel-vendorsim: %zu vendors listening on %s\n", many->size(), where.c_str());
    }
    std::fflush(stdout);

    vendorsim::waitForStop();
    single.reset();
    many.reset();
    std::printf("quorvel-vendorsim: stopped\n");
    return 0;
}
