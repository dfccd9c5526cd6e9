// The CNC pane on a memory type of 10,000 memories, against cncsim over TCP loopback: the
// pane's listing of the type (the free memory and the "LI" of its wildcard, the names matched
// and sorted into the list's model) against the bare exchanges of the same listing (the free
// memory query, then listOpen and readBlock until the end, the names split off each block).
// All on one connection, turn about, medians of 9 in one run, and their ratio. The bare "LI"
// alone is shown too: cncsim works out its free memory from the sizes of its 10,000 files,
// which a CNC keeps at hand.
//
// Run: build/bench/cnc_pane_bench (cncsim is found in build/sim/)
#include "SimulatorProcess.h"
#include "client/QelComC.h"
#include "panes/CncPane.h"
#include "panes/ui/CncMemoryModel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMemories = 10000;
constexpr int kRounds = 9;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The listing as the bare client gives it: the names of every block.
size_t bareListing(qel::CncClient& link) {
    size_t names = 0;
    if (!link.listOpen("PM")) return 0;
    while (link.transferState() != qel::TransferState::Idle) {
        const qel::BlockResult block = link.readBlock();
        if (block.end == qel::BlockEnd::BrokenOff || block.end == qel::BlockEnd::LinkFailed) break;
        if (block.endOfMemory()) break;
        names += static_cast<size_t>(std::count(block.text.begin(), block.text.end(), ',')) + 1;
    }
    return names;
}

}  // namespace

int main() {
    bench::Simulator sim({"--tcp-listen", "127.0.0.1:0"});
    for (int n = 0; n < kMemories; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "P%05d.PM", n);
        sim.store(name, "%\nN10 G0 X0\nM30\n%\n");
    }
    const auto address = sim.line("listening on ");
    if (!address) {
        std::fprintf(stderr, "cncsim did not start\n");
        return 1;
    }
    qel::LinkSettings settings;
    settings.linkType = DNC_LINK_TCP_CLIENT;
    settings.hostName = "127.0.0.1";
    settings.port = std::stoi(address->substr(address->rfind(':') + 1));
    settings.flags = DNC_FLAG_RESERVE;
    qel::CncClient link(settings, 0);
    if (!link.isConnected()) {
        std::fprintf(stderr, "no connection to cncsim\n");
        return 1;
    }
    link.setLinkParams(2, 2, 0);

    qel::CncPaneSetup setup;
    setup.types = {{"Part programs", "*.PM", 3}};
    setup.link = &link;
    setup.linkType = link.linkType();
    qel::ui::CncMemoryModel model;

    std::vector<double> bareList, bare, pane;
    size_t bareNames = 0, paneNames = 0;
    for (int round = 0; round < kRounds; ++round) {
        Clock::time_point start = Clock::now();
        bareNames = bareListing(link);
        bareList.push_back(millisecondsSince(start));

        start = Clock::now();
        if (link.freeMemory() < 0) bareNames = 0;
        bareNames = std::min(bareNames, bareListing(link));
        bare.push_back(millisecondsSince(start));

        start = Clock::now();
        qel::LevelListing listing = qel::listLevel(setup, 1, 0);
        model.setItems(std::move(listing.items));
        pane.push_back(millisecondsSince(start));
        paneNames = static_cast<size_t>(model.rowCount());
    }
    std::printf("memories listed: bare %zu, pane %zu\n", bareNames, paneNames);
    std::printf("bare LI exchanges alone: median %.1f ms\n", median(bareList));
    std::printf("bare free memory and LI exchanges: median %.1f ms\n", median(bare));
    std::printf("pane listing into the model: median %.1f ms\n", median(pane));
    std::printf("ratio pane / bare: %.2f x\n", median(pane) / median(bare));
    return bareNames == kMemories && paneNames == kMemories ? 0 : 1;
}
