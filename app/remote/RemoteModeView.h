// What follows remote mode change by change: qel serve's output, or a test. It is called by
// RemoteModeDisplay::showChangesOn() on the follower's own thread, never by the worker, with
// the changes in the order they were made. The window does not follow: it reads the display's
// state on its timer.
#pragma once

#include <string>

namespace qel::remote {

class RemoteModeView {
  public:
    virtual ~RemoteModeView() = default;

    virtual void statusShown(const std::string& /*status*/) {}
    // line is the newly logged line (already cut); log is the whole four-line text.
    virtual void lineLogged(const std::string& /*line*/, const std::string& /*log*/) {}
    virtual void progressShown(int /*percent*/, const std::string& /*text*/) {}
    virtual void buttonsShown(bool /*exitEnabled*/, bool /*abortEnabled*/) {}
};

}  // namespace qel::remote
