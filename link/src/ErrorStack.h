// A handle's error codes: the 16 most recent, popped newest first. The caller holds the
// handle's lock.
#pragma once

namespace cablor {

class ErrorStack {
  public:
    static constexpr int kDepth = 16;

    void push(int code) {
        if (count_ < kDepth) ++count_;
        top_ = (top_ + 1) % kDepth;
        codes_[top_] = code;
    }

    // The newest code, removed; 0 when none is held.
    int pop() {
        if (count_ == 0) return 0;
        int code = codes_[top_];
        top_ = (top_ + kDepth - 1) % kDepth;
        --count_;
        return code;
    }

    int count() const { return count_; }

  private:
    int codes_[kDepth] = {};
    int top_ = 0;
    int count_ = 0;
};

}  // namespace cablor
