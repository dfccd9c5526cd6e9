#include "SimOptions.h"

#include <charconv>
#include <fstream>

namespace cncsim {

namespace {
bool toInt(const std::string& text, long long low, long long high, long long* value) {
    long long parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return false;
    if (parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

// "3" or "3,7,12": frame numbers from 1.
bool toFrameSet(const std::string& text, std::set<int>* frames) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        long long n = 0;
        if (!toInt(text.substr(start, comma - start), 1, 1'000'000, &n)) return false;
        frames->insert(static_cast<int>(n));
        start = comma + 1;
    }
    return true;
}
}  // namespace

std::variant<SimOptions, ShowHelp, UsageError> parseOptions(const std::vector<std::string>& args) {
    SimOptions options;
    bool lineGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        std::string text;
        long long n = 0;
        auto number = [&](long long low, long long high) {
            return value(&text) && toInt(text, low, high, &n);
        };
        auto bad = [&](const std::string& why) { return UsageError{option + ": " + why}; };
        auto setLine = [&](LineKind kind) {
            if (lineGiven) return false;
            lineGiven = true;
            options.line = kind;
            return true;
        };

        if (option == "--help" || option == "-h") return ShowHelp{};
        if (option == "--tcp-listen" || option == "--tcp-connect") {
            if (!setLine(option == "--tcp-listen" ? LineKind::TcpListen : LineKind::TcpConnect))
                return bad("only one line may be given");
            auto address = value(&text) ? parseTcpAddress(text) : std::nullopt;
            if (!address) return bad("expected [HOST:]PORT");
            options.tcp = *address;
        } else if (option == "--pty") {
            if (!setLine(LineKind::Pty)) return bad("only one line may be given");
        } else if (option == "--link") {
            if (!value(&options.linkPath)) return bad("expected a path");
        } else if (option == "--serial") {
            if (!setLine(LineKind::Serial)) return bad("only one line may be given");
            if (!value(&options.device)) return bad("expected a device path");
        } else if (option == "--baud") {
            if (!number(50, 4'000'000)) return bad("expected a speed in bit/s");
            options.baud = static_cast<int>(n);
        } else if (option == "--latency") {
            if (!number(0, 1000)) return bad("expected milliseconds");
            options.latencyMs = static_cast<int>(n);
        } else if (option == "--protocol") {
            if (!value(&text)) return bad("expected rxa2, punch or reader");
            if (text == "rxa2")
                options.role = Role::Machine;
            else if (text == "punch")
                options.role = Role::Punch;
            else if (text == "reader")
                options.role = Role::Reader;
            else
                return bad("expected rxa2, punch or reader");
        } else if (option == "--tape-memory") {
            if (!value(&options.tape.memory)) return bad("expected NAME.TYPE");
        } else if (option == "--leader") {
            if (!number(0, 1000)) return bad("expected a count of NUL bytes");
            options.tape.leader = static_cast<int>(n);
        } else if (option == "--xoff-every") {
            if (!number(0, 1'000'000)) return bad("expected a byte count");
            options.tape.xoffEvery = static_cast<int>(n);
        } else if (option == "--xoff-hold") {
            if (!number(0, 60'000)) return bad("expected milliseconds");
            options.tape.xoffHoldMs = static_cast<int>(n);
        } else if (option == "--ack-timeout") {
            if (!number(1, 600'000)) return bad("expected milliseconds");
            options.rxa2.ackTimeoutMs = static_cast<int>(n);
        } else if (option == "--frame-timeout") {
            if (!number(1, 600'000)) return bad("expected milliseconds");
            options.rxa2.frameTimeoutMs = static_cast<int>(n);
        } else if (option == "--retries") {
            if (!number(0, 100)) return bad("expected 0..100");
            options.rxa2.retries = static_cast<int>(n);
        } else if (option == "--store") {
            if (!value(&options.storeDir)) return bad("expected a folder");
        } else if (option == "--load") {
            if (!value(&options.loadDir)) return bad("expected a folder");
        } else if (option == "--version-text") {
            if (!value(&options.machine.versionReply) || options.machine.versionReply.empty())
                return bad("expected the reply telegram");
        } else if (option == "--login-reply") {
            if (!value(&options.machine.loginReply) || options.machine.loginReply.empty())
                return bad("expected the reply telegram");
        } else if (option == "--refuse") {
            std::string why;
            if (!value(&text) || !options.refusals.add(text, &why)) return bad(why);
        } else if (option == "--block-size") {
            if (!number(1, 1020)) return bad("expected 1..1020");
            options.machine.blockPayload = static_cast<std::size_t>(n);
        } else if (option == "--btr-block-ms") {
            if (!number(0, 600'000)) return bad("expected milliseconds");
            options.machine.btrBlockMs = static_cast<int>(n);
        } else if (option == "--capacity") {
            if (!number(0, 1LL << 40)) return bad("expected bytes");
            options.machine.capacity = static_cast<std::uint64_t>(n);
        } else if (option == "--transfer-timeout") {
            if (!number(1, 3'600'000)) return bad("expected milliseconds");
            options.machine.transferTimeoutMs = static_cast<int>(n);
        } else if (option == "--do") {
            if (!value(&text)) return bad("expected a command");
            options.commands.push_back(text);
            options.role = Role::Remote;
        } else if (option == "--script") {
            if (!value(&text)) return bad("expected a file");
            std::ifstream script(text);
            if (!script) return bad("cannot read " + text);
            for (std::string line; std::getline(script, line);) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                options.commands.push_back(line);
            }
            options.role = Role::Remote;
        } else if (option == "--connect-wait") {
            if (!number(0, 600'000)) return bad("expected milliseconds");
            options.connectWaitMs = static_cast<int>(n);
        } else if (option == "--seed") {
            if (!number(0, 0xFFFFFFFFLL)) return bad("expected a number");
            options.faults.seed = static_cast<std::uint32_t>(n);
        } else if (option == "--corrupt-frame") {
            if (!value(&text) || !toFrameSet(text, &options.faults.corruptSent))
                return bad("expected frame numbers N[,N...]");
        } else if (option == "--drop-byte") {
            if (!value(&text) || !toFrameSet(text, &options.faults.dropSent))
                return bad("expected frame numbers N[,N...]");
        } else if (option == "--corrupt-percent") {
            if (!number(0, 100)) return bad("expected 0..100");
            options.faults.corruptPercent = static_cast<int>(n);
        } else if (option == "--nak") {
            if (!value(&text) || !toFrameSet(text, &options.faults.nakReceived))
                return bad("expected frame numbers N[,N...]");
        } else if (option == "--withhold-ack") {
            if (!value(&text) || !toFrameSet(text, &options.faults.withholdAck))
                return bad("expected frame numbers N[,N...]");
        } else if (option == "--delay-ack") {
            long long frame = 0, ms = 0;
            const auto colon = value(&text) ? text.find(':') : std::string::npos;
            if (colon == std::string::npos || !toInt(text.substr(0, colon), 1, 1'000'000, &frame) ||
                !toInt(text.substr(colon + 1), 0, 600'000, &ms))
                return bad("expected N:MS");
            options.faults.delayAckMs[static_cast<int>(frame)] = static_cast<int>(ms);
        } else if (option == "--break-after") {
            if (!number(0, 1'000'000)) return bad("expected a block count");
            options.faults.breakAfterBlocks = static_cast<int>(n);
        } else if (option == "--break-text") {
            if (!value(&options.faults.breakText)) return bad("expected a text");
        } else if (option == "--silent-after") {
            if (!number(0, 1'000'000)) return bad("expected a telegram count");
            options.faults.silentAfter = static_cast<int>(n);
        } else if (option == "--btr-stall") {
            if (!number(0, 1'000'000)) return bad("expected a block count");
            options.faults.btrStallAfter = static_cast<int>(n);
        } else if (option == "--once") {
            options.once = true;
        } else if (option == "--quiet") {
            options.quiet = true;
        } else {
            return UsageError{"unknown option " + option};
        }
    }
    if (!lineGiven && options.role == Role::Remote) options.line = LineKind::TcpConnect;
    if (!options.linkPath.empty() && options.line != LineKind::Pty)
        return UsageError{"--link needs --pty"};
    const bool serialLine = options.line == LineKind::Pty || options.line == LineKind::Serial;
    if ((options.role == Role::Punch || options.role == Role::Reader) && !serialLine)
        return UsageError{"--protocol punch and reader need --pty or --serial"};
    if (options.latencyMs > 0 && !serialLine)
        return UsageError{"--latency needs --pty or --serial"};
    if (options.role == Role::Reader && options.tape.memory.empty())
        return UsageError{"--protocol reader needs --tape-memory NAME.TYPE"};
    if (options.role == Role::Remote && options.line == LineKind::TcpListen && !lineGiven)
        options.line = LineKind::TcpConnect;
    return options;
}

const char* helpText() {
    return R"(cncsim - a simulated CNC control for trying and testing the link without a machine

Usage: cncsim [LINE] [ROLE] [OPTIONS]

Lines (one; default --tcp-listen 127.0.0.1:19000, or --tcp-connect 127.0.0.1:19000 with --do):
  --tcp-listen [HOST:]PORT  wait for the PC on this address; PORT 0 takes any free port.
                            Prints "listening on HOST:PORT".
  --tcp-connect HOST:PORT   call the PC (its remote mode listens there). Prints "connected to ...".
  --connect-wait MS         keep trying to connect this long (default 5000)
  --pty                     create a pseudo-terminal; prints "pty /dev/pts/N". Give that path to
                            the PC as its serial port (CABLOR_COMn=/dev/pts/N).
  --link PATH               with --pty: also create the symlink PATH to it (removed at the end)
  --serial DEVICE           use an existing serial device (8 data bits, no parity)
  --baud N                  line speed: programs a serial device; on a pty the bytes are paced
                            as at N bit/s (10 bits per byte), so real transfer times can be seen
  --latency MS              with --pty or --serial: hold every byte the CNC receives or sends for
                            MS before it is seen, as a USB adapter's latency timer does
TCP lines always carry telegrams (4-byte big-endian length, at most 1024 bytes).

Protocol on a pty or serial device:
  --protocol rxa2           RXA/2 telegrams (default): ENQ/ACK0, DLE STX ... DLE ETX BCC, ACK1, EOT
  --protocol punch          DataIO tape punch: sends XOn, stores everything up to EOT (leading NUL
                            bytes dropped) as --tape-memory, else as named by a "%PMname" header,
                            else as PUNCH.PM; then waits for the next tape
  --protocol reader         DataIO tape reader: waits for the PC's XOn, sends --tape-memory,
                            pausing on XOff until XOn, and ends with EOT
  --tape-memory NAME.TYPE   the memory a punch stores or a reader sends
  --leader N                reader: N NUL bytes before the data and after the EOT
  --xoff-every N            punch: hold the PC with XOff after every N bytes ...
  --xoff-hold MS            ... for MS milliseconds, then XOn (default 50)
  --ack-timeout MS          RXA/2: wait for the PC's acknowledgement (default 2000)
  --frame-timeout MS        RXA/2: longest pause inside a block the PC sends (default 3000)
  --retries N               RXA/2: attempts after the first per phase (default 5)

The machine (answers the PC; the default role):
  --store DIR               the memories, one file NAME.TYPE each (default: a new empty
                            temporary folder, removed at the end)
  --load DIR                copy the files of DIR into the store at start
  --version-text TEXT       reply to "M VN" (default "R VNS0001_V410 cncsim"); for example
                            "R VNS5..." for a class-3 control, "R VNS0001_V409" for version 409
  --login-reply TEXT        reply to "M  I" (default "M OK")
  --refuse [OP:]NAME=REPLY  refuse requests for a memory with REPLY, e.g. "M NR", "T NP",
                            "T BDLOCKED". OP: PT, PR, BR, LI or MC (default all); NAME: NAME.TYPE,
                            *.TYPE (also refuses LI of the type) or *. Repeatable.
  --block-size N            data bytes per block the CNC sends (1..1020, default 124)
  --btr-block-ms MS         time the machine takes to execute one behind-tape-reader block
  --capacity BYTES          memory size; "M FR" reports what the store leaves (default 4 MiB);
                            a "PR" that does not fit is broken off with "T BDMEMORY FULL"
  --transfer-timeout MS     longest wait for the PC inside a block exchange (default 10000)
Answers: "M  I", "M VN", "M DI" (text printed as "message: TEXT"), "M FR" -> "R FR"+bytes,
"PT" -> "M RT" and blocks "R "+type+data per "T NB", "T FD", expects "M OK"; "PT"+type alone sends
every memory of the type under "%" headers; "PR" -> "M RR", "T NB" per block, "M OK" after "T FD"
("M NR" when the memory exists; "PR"+type alone splits the stream at "%" headers); "LI" -> "M RT" and
comma-separated names per block, "T NP" when the type is empty; "MC" -> "M OK" or "T NP";
"BR" (type PM) -> "M RR", executes each block, then "T NB"; anything else -> "M ER".

Remote-mode client (the CNC drives the PC; selected by --do or --script):
  --do COMMAND              run one command; repeatable, in order
  --script FILE             run the commands of FILE, one per line ("#" starts a comment)
Commands: login TEXT ("MPIN"), version ("M VN"), message TEXT ("M DI"), dir PATTERN ("MPDR"
entry by entry until "M NR13"), delete PATTERN ("MPCL"), lock PATTERN / unlock PATTERN ("MPAT"),
free ("M FR"), mpfree ("MPFR"), format ("MPFM"), error ("M ER", no reply), list TYPE ("LI"),
get NAME.TYPE ("PT", stores into the store), put NAME.TYPE ("PR", from the store),
raw TELEGRAM (send, print the reply), wait MS. Replies are printed as "reply: ...",
directory entries as "entry: ...".

Faults (frames are counted from 1 per connection, sent and received separately; the login's
"M  I" and "M VN" are received telegrams 1 and 2):
  --seed N                  seed for the choice of byte and bit (default 1)
  --corrupt-frame N[,N..]   flip one bit in sent frame N (RXA/2: the PC's retry gets it through)
  --drop-byte N[,N..]       leave out one byte of sent frame N
  --corrupt-percent P       damage P percent of the other sent frames (first transmission only)
  --nak N[,N..]             RXA/2: answer the block of received telegram N once with NAK
  --withhold-ack N[,N..]    RXA/2: give no ACK1 for telegram N until the PC enquires again;
                            TCP: send no reply to telegram N at all
  --delay-ack N:MS          delay the ACK1 (TCP: the reply) of received telegram N by MS
  --break-after K           break every block transfer off with "T BD" after K blocks
  --break-text TEXT         the reason sent with it (default "ABORTED BY CNC")
  --silent-after N          after N received telegrams, answer nothing any more
  --btr-stall N             a behind-tape-reader run stops asking for blocks after N blocks

General:
  --once                    end when the first TCP connection closes
  --quiet                   no telegram trace
  --help                    this text

Output: ">> telegram" (sent) and "<< telegram" (received) on standard error, one line each;
"transfer OP NAME: N bytes in T s, outcome" per transfer on standard output.
Exit status: 0 clean end (also after SIGINT/SIGTERM), 1 failure, 2 usage error.
)";
}

}  // namespace cncsim
