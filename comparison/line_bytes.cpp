#include "comparison/line_bytes.h"

#include "comparison/comparison_error.h"
#include "comparison/source_file.h"

#include <cstring>

namespace parvane {

LineBytes::LineBytes(const SourceFile& file, std::uint64_t offset, std::uint64_t size,
                     std::size_t piece, bool duringPass, std::function<void()> afterRead)
    : file_(&file), piece_(std::max<std::size_t>(piece, 4)), buffer_(new unsigned char[piece_]),
      offset_(offset), left_(size), duringPass_(duringPass), afterRead_(std::move(afterRead)) {}

void LineBytes::refill() {
    std::memmove(buffer_.get(), buffer_.get() + pos_, static_cast<std::size_t>(end_ - pos_));
    end_ -= pos_;
    pos_ = 0;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(left_, piece_ - end_));
    const std::size_t got = file_->readAt(offset_, buffer_.get() + end_, want);
    if (got < want) {
        if (duringPass_) {
            throwChangedDuringPass(file_->path());
        }
        throwChangedSince(file_->path());
    }
    end_ += got;
    offset_ += got;
    left_ -= got;
    if (afterRead_) {
        afterRead_();
    }
}

} // namespace parvane
