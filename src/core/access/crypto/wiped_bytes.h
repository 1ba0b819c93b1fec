#pragma once
// Byte buffers for secrets (passwords, keys, decrypted pages): their memory is overwritten before it is
// given back, so nothing of a protected database stays readable in freed heap after it is closed.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tabvert::ado::crypto {

// Overwrites memory in a way the optimiser cannot drop.
void Wipe(void* data, std::size_t size) noexcept;

template <class T>
struct WipingAllocator {
    using value_type = T;
    WipingAllocator() noexcept = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
    void deallocate(T* p, std::size_t n) noexcept {
        Wipe(p, n * sizeof(T));
        std::allocator<T>().deallocate(p, n);
    }
    template <class U>
    bool operator==(const WipingAllocator<U>&) const noexcept {
        return true;
    }
};

using WipedBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

inline WipedBytes ToWiped(std::span<const std::uint8_t> bytes) {
    return WipedBytes(bytes.begin(), bytes.end());
}

}  // namespace tabvert::ado::crypto
