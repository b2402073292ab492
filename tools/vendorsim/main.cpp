// quorvel-vendorsim: a simulated vendor on loopback for demos, tests and benchmarks.
#include "vendorsim/stopwait.h"
#include "vendorsim/vendorsim.h"

#include "comm/port.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

int usageError(const char *what, const std::string &arg = {}, const std::string &more = {})
{
    std::fprintf(stderr, "quorvel-vendorsim: %s%s%s (see --help)\n", what, arg.c_str(), more.c_str());
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    vendorsim::Options opt;
    opt.outDir.push_back('.'); // received logos go to the current directory by default
    bool quiet = false;
    vendorsim::Faults &f = opt.faults;

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
        if (a.rfind("--", 0) != 0)
            return usageError("unexpected argument: ", a);
        if (i + 1 >= argc)
            return usageError("a value is missing after ", a);
        const std::string v = argv[++i];
        long n = 0;
        std::string value;
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
        } else if (a == "--no-reply") {
            ok = parseList(v, f.noReply);
        } else if (a == "--delay") {
            ok = splitAt(v, value, f.delayOn) && parseNumber(value, 0, 600000, n);
            f.delayMs = int(n);
        } else if (a == "--pieces") {
            ok = splitAt(v, value, f.piecesOn);
            size_t start = 0;
            while (ok && start <= value.size()) {
                const size_t colon = value.find(':', start);
                ok = parseNumber(
                    value.substr(start, colon == std::string::npos ? std::string::npos : colon - start), 1, 1000,
                    n);
                f.pieces.push_back(size_t(n));
                if (colon == std::string::npos)
                    break;
                start = colon + 1;
            }
        } else if (a == "--piece-gap") {
            ok = parseNumber(v, 0, 600000, n);
            f.pieceGapMs = int(n);
        } else if (a == "--bad-bcc") {
            ok = parseList(v, f.badBcc);
        } else if (a == "--ack-only") {
            ok = parseList(v, f.ackOnly);
        } else if (a == "--echo") {
            ok = parseList(v, f.echo);
        } else if (a == "--bad-type") {
            ok = parseList(v, f.badType);
        } else if (a == "--bad-cmd") {
            ok = parseList(v, f.badCmd);
        } else if (a == "--bad-sta") {
            ok = parseList(v, f.badSta);
        } else if (a == "--junk-before") {
            ok = parseNumber(v, 1, 4096, n);
            f.junkBefore = size_t(n);
        } else if (a == "--status") {
            ok = splitAt(v, value, f.statusOn) && parseNumber(value, 1, 15, n);
            f.status = uint8_t(n);
        } else if (a == "--split") {
            ok = parseNumber(v, 1, 252, n);
            f.splitReply = size_t(n);
        } else if (a == "--close-mid-reply") {
            ok = parseList(v, f.closeMidReply);
        } else if (a == "--trailing") {
            ok = parseNumber(v, 0, 4096, n);
            f.trailing = size_t(n);
        } else if (a == "--pad-reply") {
            ok = parseNumber(v, 0, 100000, n);
            f.padReply = size_t(n);
        } else if (a == "--truncate-reply") {
            ok = parseNumber(v, 0, 100000, n);
            f.truncateReply = n;
        } else {
            return usageError("unknown option: ", a);
        }
        if (!ok)
            return usageError("invalid value for ", a, ": " + v);
    }
    if (!quiet)
        opt.log = [](const std::string &line) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        };

    vendorsim::prepareStopWait();

    vendorsim::Simulator sim(opt);
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "quorvel-vendorsim: %s\n", error.c_str());
        return 1;
    }
    std::printf("quorvel-vendorsim: listening on %s port %u\n", opt.bindAddress.c_str(), unsigned(sim.port()));
    std::fflush(stdout);

    vendorsim::waitForStop();
    sim.stop();
    std::printf("quorvel-vendorsim: stopped\n");
    return 0;
}
