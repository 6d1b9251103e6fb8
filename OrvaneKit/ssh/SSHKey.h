// The built-in SSH client's Ed25519 key: its 32-byte seed, its OpenSSH public-key line, and the
// reading of unencrypted OpenSSH private-key files ("openssh-key-v1").
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// An Ed25519 signing key, held as its RFC 8032 seed. The seed is wiped when the key goes.
class Ed25519PrivateKey {
public:
    static constexpr size_t kSeedSize = 32;

    // A new random key.
    static Ed25519PrivateKey generate();
    // The key of a 32-byte seed; none for any other length.
    static std::optional<Ed25519PrivateKey> fromSeed(std::span<const uint8_t> seed);

    Ed25519PrivateKey(const Ed25519PrivateKey&) = default;
    Ed25519PrivateKey& operator=(const Ed25519PrivateKey&) = default;
    ~Ed25519PrivateKey();

    std::span<const uint8_t, kSeedSize> seed() const { return seed_; }
    std::array<uint8_t, 32> publicKey() const;
    // The public-key blob: the string "ssh-ed25519" and the 32-byte key, each length-prefixed.
    std::vector<uint8_t> publicKeyBlob() const;
    // The key as an unencrypted OpenSSH private-key file (armoured, with the given comment).
    // Holds the secret: wipe it after use.
    std::string openSSHPrivateKey(std::string_view comment = "orvane") const;

    bool operator==(const Ed25519PrivateKey& other) const;

private:
    Ed25519PrivateKey() = default;
    std::array<uint8_t, kSeedSize> seed_{};
};

// The public-key line handed out for a server's authorized keys:
// "ssh-ed25519 " + Base64 of the blob + " orvane".
std::string publicKeyLine(const Ed25519PrivateKey& key);

// Why a key could not be read or kept.
struct SSHKeyError : std::exception {
    enum class Kind { unsupported, malformed, notStored };

    static SSHKeyError unsupported(std::string message) { return {Kind::unsupported, std::move(message)}; }
    static SSHKeyError malformed()
    {
        return {Kind::malformed, "The key can't be read (expected: OpenSSH format)."};
    }
    // Neither the Secret Service nor the key file took the key; the stored key is unchanged.
    static SSHKeyError notStored() { return {Kind::notStored, "The key can't be stored."}; }

    const char* what() const noexcept override { return message.c_str(); }

    Kind kind;
    std::string message;

private:
    SSHKeyError(Kind k, std::string m) : kind(k), message(std::move(m)) {}
};

// Reads an unencrypted OpenSSH Ed25519 private-key file; throws SSHKeyError.
Ed25519PrivateKey parseOpenSSHEd25519(std::string_view text);

} // namespace orvane
