// A received "%" stream cut into blocks where the input says, into the program splitter: the
// programs (names and data) must be exactly those of the same stream in one block, whether
// the sink takes every program or refuses one. Every name is a code character pair after a
// dot, holds no line end or NUL, and is no longer than a cut header (or a block number of the
// longest digit run and its code); the data is the stream's own bytes, in order.
//
// Input: byte 0 the program the sink refuses (0: none), byte 1 the count n of block lengths
// that follow (each 0..255, used in turn; 0 is an empty block); the rest is the stream.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "transfer/ProgramSplitter.h"

using qel::ProgramSplitter;

namespace {

using Programs = std::vector<std::pair<std::string, std::string>>;

struct Collector final : ProgramSplitter::Sink {
    explicit Collector(size_t refused) : refused(refused) {}
    bool startProgram(const std::string& name) override {
        if (++starts == refused) return false;
        programs.emplace_back(name, std::string());
        return true;
    }
    bool writeData(std::string_view data) override {
        if (programs.empty()) programs.emplace_back("", std::string());  // before any header
        programs.back().second += data;
        return true;
    }
    const size_t refused;
    size_t starts = 0;
    Programs programs;
};

Programs splitWhole(std::string_view stream, size_t refused) {
    Collector sink(refused);
    ProgramSplitter splitter(sink);
    if (splitter.feed(stream)) splitter.finish();
    return std::move(sink.programs);
}

Programs splitInBlocks(std::string_view stream, const uint8_t* lengths, size_t lengthCount,
                       size_t refused) {
    Collector sink(refused);
    ProgramSplitter splitter(sink);
    size_t at = 0, block = 0;
    bool refusedOnce = false;
    while (at < stream.size() && !refusedOnce) {
        size_t length = stream.size() - at;
        // A round of only empty blocks would never end: the rest then comes at once.
        if (lengthCount > 0 && block < 4 * stream.size() + lengthCount) {
            length = std::min<size_t>(length, lengths[block % lengthCount]);
        }
        ++block;
        refusedOnce = !splitter.feed(stream.substr(at, length));
        at += length;
    }
    if (!refusedOnce) splitter.finish();
    if (splitter.mode() < ProgramSplitter::kBeforeFirstHeader ||
        splitter.mode() > ProgramSplitter::kLongHeader) {
        std::abort();
    }
    return std::move(sink.programs);
}

bool isDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void checkName(const std::string& name) {
    if (name.size() < 4 || name[name.size() - 3] != '.') std::abort();
    if (name.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
    const bool fitsHeader = name.size() <= ProgramSplitter::kMaxHeaderLength;
    const bool blockNumber = isDigits(std::string_view(name).substr(0, name.size() - 3)) &&
                             name.size() <= ProgramSplitter::kMaxDigits + 3;
    if (!fitsHeader && !blockNumber) std::abort();
}

// The data of all programs, one after the other, is taken from the stream in order.
void checkDataFromStream(const Programs& programs, std::string_view stream) {
    size_t at = 0;
    for (const auto& program : programs) {
        for (char c : program.second) {
            at = stream.find(c, at);
            if (at == std::string_view::npos) std::abort();
            ++at;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t refused = data[0];
    const size_t lengthCount = std::min<size_t>(data[1], size - 2);
    const uint8_t* lengths = data + 2;
    const std::string_view stream(reinterpret_cast<const char*>(lengths + lengthCount),
                                  size - 2 - lengthCount);

    const Programs whole = splitWhole(stream, refused);
    const Programs blocks = splitInBlocks(stream, lengths, lengthCount, refused);
    if (blocks != whole) std::abort();
    for (size_t i = 0; i < whole.size(); ++i) {
        // Only data before the first header has no name.
        if (i == 0 && whole[i].first.empty()) continue;
        checkName(whole[i].first);
    }
    checkDataFromStream(whole, stream);
    return 0;
}
