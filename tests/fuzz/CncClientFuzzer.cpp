// Any sequence of client calls, with the CNC's replies (and the link's failures and length
// claims) from the input, into the CNC command client over a scripted link. Whatever the CNC
// answers: a link is held only while a transfer runs, so an idle client holds no reservation;
// a transfer the CNC broke off is over; abort() ends every transfer; and every reservation
// that reached the library is given back exactly once.
//
// Input: lines (LF). The first sets the link up: its first character picks the link type
// (0 RXA/2, 1 TCP client, 2 TCP server, 3 DataIO RTS/CTS, 4 DataIO XOn/XOff, 5 DataIO CTS),
// the second the largest telegram the library reports (0 1024, 1 128, 2 124, 3 5, 4 4, 5 0,
// 6 -3, 7 4096); then "C" makes connecting fail, "R" every reservation, and a number is the
// leader length. Each further line is one step, its first character saying which:
//   <text  the CNC's reply to the PC's next telegram that awaits one
//   ^text  the telegram the CNC sends when the PC listens next
//   !n     the next reply fails with link error n          ~n text  a reply claiming length n
//   r/l/w/t/x name   readOpen, listOpen, writeOpen, btrOpen, deleteMemory
//   b/B    readBlock, its end acknowledged at once or later; c confirmEnd
//   d data writeBlock (empty data ends the memory)            a abort
//   f freeMemory   m text showMessage   k failure kind   p block payload   s sends fail/work
//   T/R request   serveTransmit, serveReceive;  K text serveBlock;  A serveAwait
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FakeLink.h"
#include "client/LinkTypes.h"
#include "client/QelComC.h"

using namespace qel;
using qel::testing::FakeLink;
using qel::testing::FakeReply;

namespace {

constexpr std::array kLinkTypes = {DNC_LINK_RXA2,           DNC_LINK_TCP_CLIENT,
                                   DNC_LINK_TCP_SERVER,     DNC_LINK_DATAIO_RTSCTS,
                                   DNC_LINK_DATAIO_XONXOFF, DNC_LINK_DATAIO_CTS};
constexpr std::array kMaxTelegrams = {DNC_MAX_MESSAGE, 128, 124, 5, 4, 0, -3, 4096};
constexpr size_t kMaxSteps = 96;

int numberOf(std::string_view text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

void check(bool holds) {
    if (!holds) std::abort();
}

void checkBlock(const BlockResult& result, CncClient& client) {
    check(result.text.size() <= DNC_MAX_MESSAGE);
    // A transfer the CNC broke off is over, whichever way it said so.
    if (result.end == BlockEnd::BrokenOff) check(client.transferState() == TransferState::Idle);
}

// One line of the script.
void step(std::string_view line, CncClient& client, FakeLink& link) {
    if (line.empty()) return;
    const char what = line.front();
    const std::string rest(line.substr(1));
    switch (what) {
        case '<':
            link.replies.push_back(qel::testing::reply(rest));
            break;
        case '^':
            link.listens.push_back(qel::testing::reply(rest));
            break;
        case '!':
            link.replies.push_back(qel::testing::failure(numberOf(rest)));
            break;
        case '~': {
            // A library that claims more (or less) than it delivered.
            const size_t blank = std::min(rest.find(' '), rest.size());
            FakeReply reply = qel::testing::reply(rest.substr(std::min(blank + 1, rest.size())));
            reply.claimedLength = numberOf(std::string_view(rest).substr(0, blank));
            link.replies.push_back(reply);
            break;
        }
        case 'r':
            client.readOpen(rest);
            break;
        case 'l':
            client.listOpen(rest);
            break;
        case 'w':
            client.writeOpen(rest);
            break;
        case 't':
            client.btrOpen(rest);
            break;
        case 'x':
            client.deleteMemory(rest);
            break;
        case 'b':
            checkBlock(client.readBlock(CncClient::EndConfirmation::AtOnce), client);
            break;
        case 'B':
            checkBlock(client.readBlock(CncClient::EndConfirmation::Later), client);
            break;
        case 'c':
            client.confirmEnd();
            break;
        case 'd': {
            // At most a block, as the engines send.
            const std::string data = rest.substr(0, static_cast<size_t>(client.blockPayload()));
            const BlockResult result = client.writeBlock(data);
            checkBlock(result, client);
            if (result.endOfMemory()) check(client.transferState() == TransferState::Idle);
            break;
        }
        case 'a':
            client.abort();
            check(client.transferState() == TransferState::Idle);
            break;
        case 'f':
            check(client.freeMemory() >= -1);
            break;
        case 'm':
            client.showMessage(rest);
            break;
        case 'k': {
            const int kind = client.takeFailureKind();
            check(kind == kFailureNone || kind == kFailureAborted || kind == kFailureNotReady ||
                  kind == kFailureNoReply || kind == kFailureNoSuchMemory);
            check(client.takeFailureKind() == kFailureNone);  // reading clears it
            break;
        }
        case 'p': {
            const int payload = client.blockPayload();
            check(payload >= 1 && payload <= DNC_MAX_MESSAGE);
            break;
        }
        case 's':
            link.failSends = !link.failSends;
            break;
        case 'T':
            client.serveTransmit(rest);
            break;
        case 'R': {
            std::string request = rest;
            if (client.serveReceive(request)) check(request.starts_with("R "));
            break;
        }
        case 'K': {
            std::string text = rest.substr(0, static_cast<size_t>(client.blockPayload()));
            client.serveBlock(text);
            break;
        }
        case 'A': {
            std::string text;
            // DataIO links have no telegrams to wait for: the call refuses at once.
            const bool sending = client.transferState() == TransferState::Sending &&
                                 !isDataIoLinkType(client.linkType());
            const ServeAnswer answer = client.serveAwait(text);
            // A CNC that broke the transmission off ended it.
            if (sending && answer == ServeAnswer::Stop) {
                check(client.transferState() == TransferState::Idle);
            }
            break;
        }
        default:
            break;
    }
    // The link is held for a transfer only.
    if (client.transferState() == TransferState::Idle) check(client.reserveDepth() == 0);
}

std::vector<std::string_view> linesOf(std::string_view input) {
    std::vector<std::string_view> lines;
    for (size_t at = 0; at <= input.size() && lines.size() <= kMaxSteps;) {
        const size_t end = std::min(input.find('\n', at), input.size());
        lines.push_back(input.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> lines =
        linesOf(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string_view setup = lines.front();
    FakeLink link;
    LinkSettings settings;
    settings.linkType = kLinkTypes[setup.empty() ? 0 : unsigned(setup[0]) % kLinkTypes.size()];
    settings.port = 1;
    settings.hostName = "127.0.0.1";
    link.params[DNC_PARAM_MAX_TELEGRAM] =
        kMaxTelegrams[setup.size() < 2 ? 0 : unsigned(setup[1]) % kMaxTelegrams.size()];
    link.connectSucceeds = setup.find('C') == std::string_view::npos;
    link.reserveSucceeds = setup.find('R') == std::string_view::npos;
    const size_t digits = std::min(setup.find_first_of("-0123456789", 2), setup.size());
    const int leaderLength = numberOf(setup.substr(digits));
    {
        CncClient client(settings, leaderLength, link);
        check(client.leaderLength() >= 0 && client.leaderLength() < DNC_MAX_MESSAGE);
        for (size_t i = 1; i < lines.size(); ++i) step(lines[i], client, link);
        link.failSends = false;
        client.abort();
        check(client.transferState() == TransferState::Idle);
        check(client.reserveDepth() == 0);
    }
    // Every reservation granted was given back once, none that was refused.
    check(link.releases == (link.reserveSucceeds ? link.reserves : 0));
    return 0;
}
