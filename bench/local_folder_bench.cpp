// The local pane on folders of 10,000 and of 100,000 files: the time from Navigate until the
// list's model is filled; of the refresh the watcher brings after one file was added (from
// the watcher's wake on); and of a whole RefreshFolder after one more, as the operator's
// refresh does it. As the window thread sees them (disk reading on the worker included).
// Medians of 5 in one run, and how they grow with the folder.
#include "panes/LocalPane.h"
#include "panes/ui/LocalFilesModel.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 5;

class QuietHost final : public qel::LocalPaneHost {
  public:
    bool retryInaccessibleFolder() override { return false; }
    void beep() override {}
    void folderChanged() override { woken.store(true); }
    // Until the watcher has told of a change.
    void awaitChange() {
        while (!woken.exchange(false)) std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    std::atomic<bool> woken{false};
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void touch(const std::string& path) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
}

struct Figures {
    double navigate = 0;
    double changes = 0;
    double refresh = 0;
};

Figures measure(const std::string& folder, int files) {
    std::filesystem::create_directories(folder);
    for (int n = 0; n < files; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "P%06d.PM", n);
        touch(folder + name);
    }
    qel::MemoryTypeTable types{};
    types[0].inUse = 1;
    std::snprintf(types[0].wildcards, sizeof types[0].wildcards, "*.PM;*.PP");
    types[0].iconIndex = 5;

    QuietHost host;
    std::string current;
    qel::LocalPane pane(host, current);
    pane.SetMemoryTypes(types);
    qel::ui::LocalFilesModel model(pane.listing());
    std::vector<double> navigate;
    std::vector<double> changes;
    std::vector<double> refresh;
    for (int round = 0; round < kRounds; ++round) {
        pane.Navigate("/");  // away first, so that each Navigate fills the model anew
        const auto start = Clock::now();
        pane.Navigate(folder);
        navigate.push_back(millisecondsSince(start));
        if (model.rowCount() != files + round) std::fprintf(stderr, "rows: %d\n", model.rowCount());

        host.woken.store(false);
        touch(folder + "added-" + std::to_string(round) + ".PM");
        host.awaitChange();
        auto again = Clock::now();
        pane.RefreshChanges();
        changes.push_back(millisecondsSince(again));
        if (model.rowCount() != files + round + 1) std::fprintf(stderr, "refresh missed a file\n");

        touch(folder + "also-" + std::to_string(round) + ".PM");
        again = Clock::now();
        pane.RefreshFolder();
        refresh.push_back(millisecondsSince(again));
        if (model.rowCount() != files + round + 2) std::fprintf(stderr, "refresh missed a file\n");
        std::filesystem::remove(folder + "also-" + std::to_string(round) + ".PM");
        host.awaitChange();
        pane.RefreshChanges();
    }
    return {median(navigate), median(changes), median(refresh)};
}

}  // namespace

int main() {
    char pattern[] = "/tmp/qel-local-bench-XXXXXX";
    const std::string base = std::string(::mkdtemp(pattern)) + "/";
    const Figures small = measure(base + "ten-thousand/", 10000);
    const Figures large = measure(base + "hundred-thousand/", 100000);
    std::error_code ignored;
    std::filesystem::remove_all(base, ignored);

    std::printf("local folder, medians of %d          10,000 files   100,000 files   ratio\n",
                kRounds);
    std::printf("Navigate until the model is filled   %9.1f ms    %9.1f ms   %5.1f\n",
                small.navigate, large.navigate, large.navigate / small.navigate);
    std::printf("watcher's refresh after one new file %9.1f ms    %9.1f ms   %5.1f\n",
                small.changes, large.changes, large.changes / small.changes);
    std::printf("whole RefreshFolder after one more   %9.1f ms    %9.1f ms   %5.1f\n",
                small.refresh, large.refresh, large.refresh / small.refresh);
    std::printf(
        "targets: Navigate at 10,000 under 150 ms, refresh under 30 ms, growing no faster "
        "than the folder (ratio <= 10)\n");
    return 0;
}
