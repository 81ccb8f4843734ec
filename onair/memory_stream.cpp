#include "onair/memory_stream.h"

#include <cstring>
#include <limits>
#include <new>

#include "base/error.h"

namespace cantivo {

void MemoryStream::Write(const void* bytes, size_t count) {
    if (count == 0) return;
    if (count > std::numeric_limits<size_t>::max() - position_) throw MemoryStreamFullError();
    size_t end = position_ + count;
    if (end > capacity_) Grow(end);
    std::memcpy(data_.get() + position_, bytes, count);
    position_ = end;
    if (end > size_) size_ = end;
}

void MemoryStream::Grow(size_t needed) {
    constexpr size_t kMax = std::numeric_limits<size_t>::max() / 2;
    if (needed > kMax) throw MemoryStreamFullError();
    size_t capacity = capacity_ * 2 > needed ? capacity_ * 2 : needed;
    capacity = (capacity + kGrowthStep - 1) / kGrowthStep * kGrowthStep;
    std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
    if (!grown) throw MemoryStreamFullError();
    if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
}

}  // namespace cantivo
