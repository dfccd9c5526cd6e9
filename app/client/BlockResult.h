// How one block of a memory transfer ended, as the CNC command client tells it: what came, or
// why nothing more will come.
#pragma once

#include <string>

namespace qel {

enum class BlockEnd {
    Data,         // a block came (reading), or the CNC asked for the next one (writing)
    EndOfMemory,  // "T FD" came and was acknowledged, or "M OK" confirmed the end sent
    BrokenOff,    // the CNC broke off ("T BD" with its reason) or answered what it must not
    LinkFailed,   // the link failed; linkError says how
};

struct BlockResult {
    BlockEnd end = BlockEnd::LinkFailed;
    // Data: the block's data (reading). BrokenOff: the CNC's reason ("-" when it gave none) or
    // the unexpected reply.
    std::string text;
    // LinkFailed: the link library's error code (0 when it reported none).
    int linkError = 0;

    bool ok() const { return end == BlockEnd::Data || end == BlockEnd::EndOfMemory; }
    bool endOfMemory() const { return end == BlockEnd::EndOfMemory; }

    static BlockResult data(std::string text) { return {BlockEnd::Data, std::move(text), 0}; }
    static BlockResult endOf() { return {BlockEnd::EndOfMemory, {}, 0}; }
    static BlockResult brokenOff(std::string reason) {
        return {BlockEnd::BrokenOff, std::move(reason), 0};
    }
    static BlockResult linkFailed(int code) { return {BlockEnd::LinkFailed, {}, code}; }
};

}  // namespace qel
