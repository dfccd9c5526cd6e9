// What shows remote mode to the operator: the desktop window, or qel serve's output. The
// display calls it on every visible change, in order, on the thread that made the change (the
// worker, or the window's thread for Exit); an implementation must not call back into the
// display from these calls.
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
