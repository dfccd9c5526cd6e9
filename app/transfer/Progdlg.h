// What the behind-tape-reader progress window (CProgressDlg) shows: a position inside a range
// as a percentage, the amount in KB and the average rate since the start, in one of three
// display modes. The window itself only draws these values.
#pragma once

#include <cstdint>
#include <string>

namespace qel {

class ProgressState {
  public:
    enum DisplayMode : int {
        kPercentOnly = 0,
        kAmountAndRate = 1,
        kPercentAmountAndRate = 2,
    };

    void setRange(int64_t lower, int64_t upper);
    // A step of 0 is refused.
    bool setStep(int64_t step);
    // A negative position is refused.
    bool setPosition(int64_t position);
    void stepIt() { setPosition(position_ + step_); }
    void setDisplayMode(int mode) { mode_ = mode; }
    // The one-second timer of modes 1 and 2: the rate becomes the position per second since the
    // start.
    void secondTick();

    int64_t position() const { return position_; }
    int64_t step() const { return step_; }
    int displayMode() const { return mode_; }
    int64_t bytesPerSecond() const { return rate_; }
    // (position - lower) * 100 / (upper - lower), kept within 0..100; an empty range (a file of
    // no bytes) shows 100.
    int percent() const;
    // "42 %", "(1.23 KB at 456 Bps)" or "42 % (1.23 KB at 456 Bps)" by display mode.
    std::string text() const;

  private:
    int64_t lower_ = 0;
    int64_t upper_ = 100;
    int64_t step_ = 10;
    int64_t position_ = 0;
    int mode_ = kPercentOnly;
    int64_t seconds_ = 0;
    int64_t rate_ = 0;
};

}  // namespace qel
