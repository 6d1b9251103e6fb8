// Base64, SHA-256 and a few byte helpers shared by the key, known-hosts and transport code.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// Standard Base64 with "=" padding.
std::string base64Encode(std::span<const uint8_t> bytes);
// Strict standard Base64: only the 64 letters, a length that is a multiple of four and at most
// two "=" at the end. Anything else (spaces, line ends, missing padding) gives none.
std::optional<std::vector<uint8_t>> base64Decode(std::string_view text);

std::array<uint8_t, 32> sha256(std::span<const uint8_t> bytes);

// Overwrites memory that held a secret, in a way the compiler does not remove.
void wipe(void* data, size_t size);
template <typename Container> void wipe(Container& c)
{
    if (!c.empty())
        wipe(c.data(), c.size() * sizeof(c[0]));
}

// Reads SSH wire data: fixed bytes, 32-bit big-endian integers and length-prefixed strings.
// Every read fails (none) when too few bytes remain; nothing is consumed then.
class WireReader {
public:
    explicit WireReader(std::span<const uint8_t> data) : data_(data) {}

    std::optional<std::span<const uint8_t>> bytes(size_t count);
    std::optional<uint32_t> u32();
    std::optional<std::span<const uint8_t>> string();
    size_t remaining() const { return data_.size() - pos_; }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

// Appends SSH wire data.
void putU32(std::vector<uint8_t>& out, uint32_t value);
void putString(std::vector<uint8_t>& out, std::span<const uint8_t> bytes);
void putString(std::vector<uint8_t>& out, std::string_view text);

// Bytes as text, invalid UTF-8 sequences replaced by U+FFFD.
std::string decodeUTF8Lossy(std::span<const uint8_t> bytes);

} // namespace orvane
