#include "Encoding.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

namespace orvane {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

std::string base64Encode(std::span<const uint8_t> bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += kAlphabet[v & 63];
    }
    const size_t rest = bytes.size() - i;
    if (rest == 1) {
        const uint32_t v = uint32_t(bytes[i]) << 16;
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += "==";
    } else if (rest == 2) {
        const uint32_t v = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += '=';
    }
    return out;
}

std::optional<std::vector<uint8_t>> base64Decode(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    size_t padding = 0;
    if (!text.empty() && text.back() == '=')
        padding = text.size() >= 2 && text[text.size() - 2] == '=' ? 2 : 1;
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            int d;
            if (last && k >= 4 - padding)
                d = 0; // the padding itself
            else if ((d = base64Value(c)) < 0)
                return std::nullopt;
            v = v << 6 | uint32_t(d);
        }
        out.push_back(uint8_t(v >> 16));
        if (!(last && padding == 2))
            out.push_back(uint8_t(v >> 8));
        if (!(last && padding >= 1))
            out.push_back(uint8_t(v));
    }
    return out;
}

std::array<uint8_t, 32> sha256(std::span<const uint8_t> bytes)
{
    std::array<uint8_t, 32> digest{};
    SHA256(bytes.data(), bytes.size(), digest.data());
    return digest;
}

void wipe(void* data, size_t size)
{
    if (data && size)
        OPENSSL_cleanse(data, size);
}

std::optional<std::span<const uint8_t>> WireReader::bytes(size_t count)
{
    if (count > remaining())
        return std::nullopt;
    const auto part = data_.subspan(pos_, count);
    pos_ += count;
    return part;
}

std::optional<uint32_t> WireReader::u32()
{
    const auto b = bytes(4);
    if (!b)
        return std::nullopt;
    return uint32_t((*b)[0]) << 24 | uint32_t((*b)[1]) << 16 | uint32_t((*b)[2]) << 8 | (*b)[3];
}

std::optional<std::span<const uint8_t>> WireReader::string()
{
    const size_t start = pos_;
    const auto length = u32();
    if (!length)
        return std::nullopt;
    const auto b = bytes(*length);
    if (!b)
        pos_ = start;
    return b;
}

void putU32(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(uint8_t(value >> 24));
    out.push_back(uint8_t(value >> 16));
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

void putString(std::vector<uint8_t>& out, std::span<const uint8_t> bytes)
{
    putU32(out, uint32_t(bytes.size()));
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void putString(std::vector<uint8_t>& out, std::string_view text)
{
    putString(out, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string decodeUTF8Lossy(std::span<const uint8_t> bytes)
{
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(bytes.size() * 3); // room for every replacement: no copies of a secret left behind
    size_t i = 0;
    while (i < bytes.size()) {
        const uint8_t b = bytes[i];
        if (b < 0x80) {
            out += char(b);
            ++i;
            continue;
        }
        // Length of the sequence and the allowed range of its second byte.
        size_t need = 0;
        uint8_t lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            if (b == 0xE0)
                lo = 0xA0;
            else if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            if (b == 0xF0)
                lo = 0x90;
            else if (b == 0xF4)
                hi = 0x8F;
        }
        size_t k = 1; // bytes of a valid prefix, the lead included
        while (need > 0 && k <= need && i + k < bytes.size()) {
            const uint8_t c = bytes[i + k];
            if (k == 1 ? (c < lo || c > hi) : (c & 0xC0) != 0x80)
                break;
            ++k;
        }
        if (need > 0 && k == need + 1) {
            out.append(reinterpret_cast<const char*>(bytes.data() + i), k);
        } else {
            out += kReplacement; // one for each maximal invalid part
        }
        i += k;
    }
    return out;
}

} // namespace orvane
