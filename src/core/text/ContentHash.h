#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace orva {

// A 64-bit fingerprint of a byte stream fed in pieces of any size (the same bytes in other pieces
// give the same value): to tell whether a file read again is the file read before. Not for
// security; eight bytes a step, so that fingerprinting the survey's read of a big journal is cheap.
class ContentHash {
public:
    void add(std::string_view bytes) {
        std::size_t i = 0;
        // Complete a pending word first, so the value does not depend on where the pieces split.
        while (pendingSize_ != 0 && i < bytes.size()) {
            pending_[pendingSize_++] = bytes[i++];
            if (pendingSize_ == 8) {
                mix(load(pending_));
                pendingSize_ = 0;
            }
        }
        for (; i + 8 <= bytes.size(); i += 8)
            mix(load(bytes.data() + i));
        for (; i < bytes.size(); ++i)
            pending_[pendingSize_++] = bytes[i];
        length_ += bytes.size();
    }

    std::uint64_t value() const {
        std::uint64_t state = state_;
        if (pendingSize_ != 0) {
            char last[8] = {};
            std::memcpy(last, pending_, pendingSize_);
            state = step(state, load(last));
        }
        return step(state, length_);
    }

private:
    static std::uint64_t load(const char* bytes) {
        std::uint64_t word;
        std::memcpy(&word, bytes, 8);
        return word;
    }
    static std::uint64_t step(std::uint64_t state, std::uint64_t word) {
        state ^= word;
        state *= 0x9E3779B97F4A7C15ull;
        return state ^ (state >> 29);
    }
    void mix(std::uint64_t word) { state_ = step(state_, word); }

    std::uint64_t state_ = 0xCBF29CE484222325ull;
    std::uint64_t length_ = 0;
    char pending_[8] = {};
    std::size_t pendingSize_ = 0;
};

} // namespace orva
