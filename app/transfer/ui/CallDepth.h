// Counts the calls into an engine that are under way: a question box runs the window's event
// loop, and with it the timers, so calls nest; a window closes only from the outermost one.
#pragma once

namespace qel::ui {

class CallDepth {
  public:
    explicit CallDepth(int& depth) : depth_(depth) { ++depth_; }
    ~CallDepth() { --depth_; }
    CallDepth(const CallDepth&) = delete;
    CallDepth& operator=(const CallDepth&) = delete;

  private:
    int& depth_;
};

}  // namespace qel::ui
