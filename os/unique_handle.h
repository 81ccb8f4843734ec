#pragma once

#include <utility>

namespace cantivo {

// Owns one handle of a kind described by Traits (its type, its empty value and how it is
// released). Not copyable; moving hands the handle on. Most kinds are one line:
//   using ModuleHandle = UniqueHandle<NullIsEmpty<HMODULE, &::FreeLibrary>>;
template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type handle) noexcept : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Type Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Empty(); }

    Type Release() noexcept { return std::exchange(handle_, Traits::Empty()); }
    void Reset(Type handle = Traits::Empty()) noexcept {
        Type old = std::exchange(handle_, handle);
        if (old != Traits::Empty()) Traits::Close(old);
    }

private:
    Type handle_ = Traits::Empty();
};

// A handle kind whose failure and empty value is null, released by CloseFunction (whose
// result, where it has one, tells nothing the owner could act on).
template <typename T, auto CloseFunction>
struct NullIsEmpty {
    using Type = T;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type handle) noexcept { CloseFunction(handle); }
};

}  // namespace cantivo
