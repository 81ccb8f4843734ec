#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace cantivo {

// A growing block of bytes that a download appends to. Capacity grows geometrically in
// whole 8 KiB steps, so a page of megabytes costs no quadratic copying; running out of memory
// fails with "メモリストリームの拡大中にメモリが足りなくなりました".
class MemoryStream {
public:
    static constexpr size_t kGrowthStep = 8192;

    MemoryStream() = default;
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    void Write(const void* bytes, size_t count);
    void SetPosition(size_t position) noexcept { position_ = position < size_ ? position : size_; }

    size_t Position() const noexcept { return position_; }
    size_t Size() const noexcept { return size_; }
    size_t Capacity() const noexcept { return capacity_; }
    std::string_view Bytes() const noexcept { return {data_.get(), size_}; }

private:
    void Grow(size_t needed);

    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
    size_t position_ = 0;
};

}  // namespace cantivo
