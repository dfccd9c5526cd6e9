// The remote-mode window (offscreen) against qel serve, both served to cncsim as the calling
// CNC over TCP loopback: the CNC reads a directory of 1,000 files entry by entry and sends a
// 1 MiB file, in the same run, round after round. Times are the CNC's, from its start to its
// end; the medians and their ratio are printed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "SpawnedProgram.h"
#include "config/FixedText.h"
#include "remote/RemoteLink.h"
#include "remote/ui/CRemoteModeDlg.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 1000;
constexpr size_t kBigBytes = 1024 * 1024;

int unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

fs::path makeFolder(const char* name) {
    std::string pattern = (fs::temp_directory_path() / (std::string(name) + "-XXXXXX")).string();
    return ::mkdtemp(pattern.data());
}

std::vector<std::string> cncCalling(int port, const fs::path& store) {
    return {CNCSIM_PROGRAM,   "--quiet",       "--store",
            store.string(),   "--tcp-connect", "127.0.0.1:" + std::to_string(port),
            "--connect-wait", "5000",          "--do",
            "dir *.PM",       "--do",          "put BIG.PM"};
}

// The CNC's run while this thread's event loop goes on, as the desktop program's would.
double cncRunWithEventLoop(const std::vector<std::string>& argv) {
    const auto start = Clock::now();
    const pid_t pid = bench::spawnProgram(argv);
    if (pid == 0) throw std::runtime_error("cncsim did not start");
    int status = 0;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (::waitpid(pid, &status, WNOHANG) == pid) loop.quit();
    });
    poll.start(1);
    loop.exec();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the CNC failed");
    return ms;
}

double cncRun(const std::vector<std::string>& argv) {
    const auto start = Clock::now();
    if (bench::runProgram(argv) != 0) throw std::runtime_error("the CNC failed");
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void checkReceived(const fs::path& served) {
    std::error_code error;
    if (fs::file_size(served / "BIG.PM", error) != kBigBytes) {
        throw std::runtime_error("BIG.PM did not arrive whole");
    }
    fs::remove(served / "BIG.PM");
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    const fs::path servedByWindow = makeFolder("qel-remote-window-bench");
    const fs::path servedByQel = makeFolder("qel-remote-serve-bench");
    const fs::path store = makeFolder("qel-remote-bench-store");
    for (const fs::path& folder : {servedByWindow, servedByQel}) {
        for (int i = 0; i < kFiles; ++i) {
            std::ofstream(folder / ("P" + std::to_string(10000 + i) + ".PM")) << "%\nO1\nM30\n";
        }
    }
    {
        std::string big;
        for (size_t i = 0; big.size() < kBigBytes; ++i) big += "N" + std::to_string(i) + " G1\r\n";
        big.resize(kBigBytes);
        std::ofstream(store / "BIG.PM", std::ios::binary) << big;
    }

    // The window, serving in this process.
    const int windowPort = unusedPort();
    qel::ConfigRecord config;
    config.linkType = DNC_LINK_TCP_CLIENT;
    config.destinationPort = static_cast<int16_t>(windowPort);
    config.timeout = 5;
    config.retries = 1;
    qel::setText(config.ipAddressText, "127.0.0.1");
    const qel::remote::RemoteLinkSetup setup = qel::remote::remoteLinkSetupFor(config);
    std::unique_ptr<qel::CncClient> link = qel::remote::connectForRemoteMode(setup);
    if (!link->isConnected()) {
        std::fprintf(stderr, "remote mode could not listen\n");
        return 1;
    }
    auto window = std::make_unique<qel::ui::CRemoteModeDlg>();
    window->SetLink(link.get(), setup);
    window->engine()->setServedFolder(servedByWindow.string());
    window->show();

    // qel serve, as its own process.
    const int qelPort = unusedPort();
    const pid_t serve = bench::spawnProgram(
        {QEL_PROGRAM, "-i", "127.0.0.1:" + std::to_string(qelPort), "serve", servedByQel.string()});

    std::vector<double> byWindow, byQel;
    int status = 0;
    try {
        for (int round = 0; round < rounds; ++round) {
            byQel.push_back(cncRun(cncCalling(qelPort, store)));
            checkReceived(servedByQel);
            byWindow.push_back(cncRunWithEventLoop(cncCalling(windowPort, store)));
            checkReceived(servedByWindow);
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        status = 1;
    }
    ::kill(serve, SIGTERM);
    ::waitpid(serve, nullptr, 0);
    window->reject();
    while (window->isVisible()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    window.reset();
    link.reset();
    for (const fs::path& folder : {servedByWindow, servedByQel, store}) fs::remove_all(folder);
    if (status != 0) return status;

    std::printf("A CNC reading %d directory entries and sending a 1 MiB file, %d rounds:\n", kFiles,
                rounds);
    std::printf("  qel serve          median %8.1f ms\n", median(byQel));
    std::printf("  remote-mode window median %8.1f ms\n", median(byWindow));
    std::printf("  window / qel serve          %.3f\n", median(byWindow) / median(byQel));
    return 0;
}
