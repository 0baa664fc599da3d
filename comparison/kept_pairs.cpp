#include "comparison/kept_pairs.h"

#include <algorithm>
#include <cstring>

namespace parvane {

void KeptPairs::keep(std::uint64_t line, const std::array<const unsigned char*, 2>& bytes,
                     const std::array<std::uint64_t, 2>& length) {
    const std::size_t size = std::size_t(length[0] + length[1]);
    if (length[0] > kLongestLine || length[1] > kLongestLine ||
        bytes_ + size + sizeof(KeptPair) > mostBytes_) {
        return;
    }
    if (chunkUsed_ + size > kChunkBytes) {
        chunks_.push_back(std::unique_ptr<unsigned char[]>(new unsigned char[kChunkBytes]));
        chunkUsed_ = 0;
    }
    KeptPair& pair = pairs_.emplace_back();
    pair.line = line;
    for (int f = 0; f < 2; ++f) {
        if (bytes[f] == nullptr) {
            continue;
        }
        unsigned char* into = chunks_.back().get() + chunkUsed_;
        std::memcpy(into, bytes[f], std::size_t(length[f]));
        pair.bytes[f] = into;
        pair.length[f] = std::uint32_t(length[f]);
        chunkUsed_ += std::size_t(length[f]);
    }
    bytes_ += size + sizeof(KeptPair);
}

void KeptPairs::keepAll(const KeptPairs& other, std::uint64_t shift) {
    for (const KeptPair& pair : other.pairs_) {
        keep(pair.line + shift, pair.bytes, {pair.length[0], pair.length[1]});
    }
}

const KeptPair* KeptPairs::find(std::uint64_t line) const {
    const auto found = std::lower_bound(
        pairs_.begin(), pairs_.end(), line,
        [](const KeptPair& pair, std::uint64_t wanted) { return pair.line < wanted; });
    return found != pairs_.end() && found->line == line ? &*found : nullptr;
}

} // namespace parvane
