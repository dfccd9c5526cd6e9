// Remote mode: the CNC drives, the PC serves. A worker thread waits for one command telegram
// after the other on the link, performs it on the served folder and answers. The window (or
// qel serve) shows the display and offers Exit, Abort and Browse.
#pragma once

#include "client/QelComC.h"
#include "remote/RemoteLink.h"
#include "remote/RemoteModeDisplay.h"
#include "remote/ServedFolder.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qel::remote {

class RemoteModeEngine {
  public:
    // link must stay connected (or be disconnected only by Exit) while the engine runs;
    // servedFolder is the folder the CNC sees at first, usually the current directory.
    RemoteModeEngine(CncClient& link, RemoteModeDisplay& display, std::string servedFolder);
    // Finishes, if that was not done.
    ~RemoteModeEngine();
    RemoteModeEngine(const RemoteModeEngine&) = delete;
    RemoteModeEngine& operator=(const RemoteModeEngine&) = delete;

    // A TCP server link made for remote mode: when the CNC hangs up, wait for the next call by
    // connecting again with this setup (without it the worker only logs the failure).
    void reconnectWith(RemoteLinkSetup setup);

    // Only CNCs calling from these addresses (host byte order) are served; empty: any. A call
    // from another address is logged and hung up on, and the next call awaited.
    void allowOnly(std::vector<uint32_t> addresses) { allowed_ = std::move(addresses); }

    // Reserves the port (the status line tells whether that worked), clears old link errors
    // and starts the worker.
    void start();

    // Abort: the running transfer ends at its next block with its aborted outcome. Without a
    // transfer nothing happens; the next transfer clears the request when it starts.
    void abortTransfer();
    // Exit: asks the worker to stop, breaks a transfer off at its next block and disconnects
    // the link, which ends a pending wait for a command. Returns at once; safe from any thread.
    void requestExit();
    bool workerRunning() const { return workerRunning_.load(); }
    // Window destruction: waits for the worker (asking it to stop if Exit did not), then breaks
    // off any exchange still open, puts the line back and returns the reservation.
    void finish();

    // Browse: the folder takes effect with the CNC's next directory request.
    void setServedFolder(std::string folder);
    std::string servedFolder() const;

  private:
    void serve();
    // After a failed receive: a TCP server link waits for the next call; any link pauses
    // briefly so that a broken line does not spin. Exit cuts the pause short.
    void recoverFromListenFailure();
    // False (after the log line and hanging up) when the CNC on the line may not be served.
    bool callerAllowed();

    CncClient& link_;
    RemoteModeDisplay& display_;
    std::atomic<bool> stopRequested_ = false;
    std::atomic<bool> abortRequested_ = false;
    std::atomic<bool> workerRunning_ = false;
    std::thread worker_;
    ServedFolder startFolder_;
    // The port held for the whole of remote mode; without it every exchange opens it anew.
    Reservation hold_;
    bool finished_ = false;

    mutable std::mutex mutex_;  // the served folder, reconnecting against Exit, the pause
    std::condition_variable stopSignal_;
    std::string servedFolder_;
    std::optional<RemoteLinkSetup> reconnectSetup_;
    std::vector<uint32_t> allowed_;  // set before start()
    bool callerChecked_ = false;     // worker only: the caller of this connection was checked
};

}  // namespace qel::remote
