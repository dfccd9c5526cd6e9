#include "transfer/ProgramSplitter.h"

#include <algorithm>

namespace qel {

namespace {
bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}
bool isHeaderEnd(char c) {
    return c == '\r' || c == '\n' || c == '\0';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlockLetter(char c) {
    return c == 'N' || c == 'n';
}

// Whether a run of decimal digits is 9000 or more, without overflowing on a long run.
bool atLeastFirstProgramNumber(std::string_view digits) {
    long value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
        if (value >= ProgramSplitter::kFirstProgramNumber) return true;
    }
    return false;
}
}  // namespace

bool ProgramSplitter::feed(std::string_view piece) {
    held_.append(piece);
    return process() != Step::Refused;
}

bool ProgramSplitter::finish() {
    ended_ = true;
    return process() != Step::Refused;
}

bool ProgramSplitter::passOn(size_t count) {
    if (count == 0) return true;
    const bool written = sink_.writeData(std::string_view(held_).substr(0, count));
    consume(count);
    return written;
}

ProgramSplitter::Step ProgramSplitter::process() {
    while (!held_.empty()) {
        Step step = Step::Done;
        if (droppingHeader_)
            step = dropRestOfHeader();
        else if (lineStart_)
            step = atLineStart();
        else
            step = inLine();
        if (step != Step::Done) return step;
    }
    return Step::Done;
}

ProgramSplitter::Step ProgramSplitter::atLineStart() {
    const char first = held_[0];
    if (first == '%') return headerLine();
    if (mode_ == kBlockNumbers && !namingLineNext_ && isBlockLetter(first)) {
        return blockNumberLine();
    }
    lineStart_ = false;
    namingLineNext_ = false;
    return Step::Done;
}

size_t ProgramSplitter::digitRun(size_t from) const {
    // A run is cut after kMaxDigits whether or not its end has come: otherwise a long block
    // number would name its program after all its digits in one block and after the first
    // kMaxDigits when cut into several.
    size_t end = from;
    while (end < held_.size() && end - from < kMaxDigits && isDigit(held_[end])) ++end;
    if (end == held_.size() && !ended_ && end - from < kMaxDigits) return std::string::npos;
    return end - from;
}

ProgramSplitter::Step ProgramSplitter::headerLine() {
    const auto terminator = std::find_if(held_.begin() + 1, held_.end(), isHeaderEnd);
    size_t headerEnd = static_cast<size_t>(terminator - held_.begin());
    bool cut = false;
    // A header is cut at the same place however the blocks cut it: where its end is already
    // known as well as where it is not.
    if (headerEnd > kMaxHeaderLength) {
        headerEnd = kMaxHeaderLength;
        cut = true;
    } else if (terminator == held_.end() && !ended_) {
        // Up to the limit the header's end may still come: a header of exactly the limit is
        // not cut, whether its line end comes in this block or in the next.
        return Step::NeedMore;
    }
    // A "%" with fewer than two code characters after it (the bare "%" line that starts an ISO
    // tape) is no program boundary: the line is data of the program it stands in.
    if (headerEnd < 3) {
        lineStart_ = false;
        namingLineNext_ = false;
        return Step::Done;
    }
    std::string code = held_.substr(1, 2);

    // The line ends after the header go with it, but only so many: a CNC sending endless line
    // ends must not make the splitter hold back (and search again) all that follows.
    size_t next = headerEnd;
    if (!cut) {
        auto skipped = [&] { return next - headerEnd >= kMaxHeaderLength; };
        while (next < held_.size() && isLineEnd(held_[next]) && !skipped()) ++next;
        // At the bound the line after may still decide the name (a block number): one more byte
        // is needed whether the bound fell at the end of a block or within one.
        if (next == held_.size() && !ended_) return Step::NeedMore;
    }

    std::string name;
    const int modeBefore = mode_;
    if (headerEnd >= 4) {
        name = held_.substr(3, headerEnd - 3) + "." + code;
        mode_ = kLongHeader;
    } else {
        name = code + "." + code;
        // Only the first header looks at the line after it for the number of its program.
        if (modeBefore == kBeforeFirstHeader && next < held_.size() && isBlockLetter(held_[next])) {
            const size_t digits = digitRun(next + 1);
            if (digits == std::string::npos) return Step::NeedMore;
            const std::string_view number = std::string_view(held_).substr(next + 1, digits);
            if (atLeastFirstProgramNumber(number)) name = std::string(number) + "." + code;
        }
        mode_ = kBlockNumbers;
    }
    code_ = std::move(code);
    consume(next);
    lineStart_ = !cut;
    droppingHeader_ = cut;
    afterLineEnd_ = false;
    namingLineNext_ = mode_ == kBlockNumbers;
    return sink_.startProgram(name) ? Step::Done : Step::Refused;
}

ProgramSplitter::Step ProgramSplitter::blockNumberLine() {
    const size_t digits = digitRun(1);
    if (digits == std::string::npos) return Step::NeedMore;
    // Digits that run to the end of the stream are not taken for a block number.
    const bool complete = 1 + digits < held_.size() || digits >= kMaxDigits;
    const std::string_view number = std::string_view(held_).substr(1, digits);
    lineStart_ = false;  // the line belongs to whichever program it lands in
    if (complete && atLeastFirstProgramNumber(number)) {
        if (!sink_.startProgram(std::string(number) + "." + code_)) return Step::Refused;
    }
    return Step::Done;
}

ProgramSplitter::Step ProgramSplitter::inLine() {
    size_t at = 0;
    for (; at < held_.size(); ++at) {
        const char c = held_[at];
        if (isLineEnd(c)) {
            afterLineEnd_ = true;
        } else if (afterLineEnd_) {
            break;
        }
    }
    const bool reachedLineStart = at < held_.size();
    if (!passOn(at)) return Step::Refused;
    if (reachedLineStart) {
        lineStart_ = true;
        afterLineEnd_ = false;
        return Step::Done;
    }
    return ended_ ? Step::Done : Step::NeedMore;
}

ProgramSplitter::Step ProgramSplitter::dropRestOfHeader() {
    size_t at = 0;
    while (at < held_.size() && !isHeaderEnd(held_[at])) ++at;
    if (at == held_.size()) {
        consume(at);
        return ended_ ? Step::Done : Step::NeedMore;
    }
    size_t next = at;
    while (next < held_.size() && isLineEnd(held_[next])) ++next;
    if (next == held_.size() && !ended_) {
        consume(at);  // keep the line end: its run may go on in the next piece
        return Step::NeedMore;
    }
    consume(next);
    droppingHeader_ = false;
    lineStart_ = true;
    return Step::Done;
}

}  // namespace qel
