// Cuts a received "%" stream into part programs. A line that begins with "%" is a program
// header: the two characters after it are the memory code, and a long header ("%PM1234") names
// the program (1234.PM). After a short header ("%PM") the program is the whole memory PM.PM,
// unless the very first header is followed by a block number of 9000 or more (N9001 gives
// 9001.PM); from then on (mode 1) every line that begins with such a block number starts a new
// program of that name, and the line stays the first line of the new program. After a long
// header (mode 2) block numbers mean nothing. Header lines are not part of any program.
//
// The stream arrives in blocks that may cut a header or a block number anywhere; the splitter
// holds back the undecided start of a line until the rest has come, so that where the blocks
// are cut never changes the programs.
#pragma once

#include <string>
#include <string_view>

namespace qel {

class ProgramSplitter {
  public:
    class Sink {
      public:
        virtual ~Sink() = default;
        // Ends the program before (if any) and starts the named one. False stops the splitting.
        virtual bool startProgram(const std::string& name) = 0;
        // Data of the program started last. False stops the splitting.
        virtual bool writeData(std::string_view data) = 0;
    };

    enum Mode : int {
        kBeforeFirstHeader = 0,
        kBlockNumbers = 1,  // short header or block-number start
        kLongHeader = 2,
    };

    // A header line longer than this is cut here; the rest of its line is dropped.
    static constexpr size_t kMaxHeaderLength = 300;
    // A block number that names a program has at most this many digits; the rest of a longer
    // run stays in its line.
    static constexpr size_t kMaxDigits = 300;
    static constexpr int kFirstProgramNumber = 9000;

    explicit ProgramSplitter(Sink& sink) : sink_(sink) {}

    // The next piece of the stream. False when the sink refused.
    bool feed(std::string_view piece);
    // The stream has ended: decides what is still held back. False when the sink refused.
    bool finish();

    int mode() const { return mode_; }

  private:
    enum class Step { Done, NeedMore, Refused };

    Step process();
    Step atLineStart();
    Step headerLine();
    Step blockNumberLine();
    Step inLine();
    Step dropRestOfHeader();
    bool passOn(size_t count);
    void consume(size_t count) { held_.erase(0, count); }
    // Length of the digit run at from, at most kMaxDigits; npos when it runs to the end of what
    // is held, is shorter than that and more may come.
    size_t digitRun(size_t from) const;

    Sink& sink_;
    std::string held_;  // bytes not yet written, starting where a decision is pending
    std::string code_;  // memory code of the last header
    int mode_ = kBeforeFirstHeader;
    bool ended_ = false;
    bool lineStart_ = true;
    bool afterLineEnd_ = false;
    // The line after a short header already served to name its program: no block-number start.
    bool namingLineNext_ = false;
    bool droppingHeader_ = false;
};

}  // namespace qel
