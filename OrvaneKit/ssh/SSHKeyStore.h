// Where the built-in SSH client's Ed25519 key comes from: a store in memory, or the user's
// Secret Service (GNOME Keyring, KWallet, KeePassXC) with a private file as fallback.
#pragma once

#include "SSHKey.h"

#include <optional>
#include <string>

namespace orvane {

// A source of the client key. Stores are shared objects and may be called from any thread.
class SSHKeyStore {
public:
    virtual ~SSHKeyStore() = default;
    virtual std::optional<Ed25519PrivateKey> privateKey() const = 0;
    // The key's public-key line (comment "orvane"), or none without a key.
    virtual std::optional<std::string> publicKeyLine() const = 0;
};

// A key fixed at creation.
class MemoryKeyStore : public SSHKeyStore {
public:
    explicit MemoryKeyStore(std::optional<Ed25519PrivateKey> held) : key(std::move(held)) {}
    std::optional<Ed25519PrivateKey> privateKey() const override { return key; }
    std::optional<std::string> publicKeyLine() const override;

    const std::optional<Ed25519PrivateKey> key;
};

// The key's 32-byte seed in a Secret Service item with the attributes service and account.
// When no Secret Service answers, the seed goes to a file readable only by the user
// (`fallbackPath`, by default "ssh-ed25519.seed" in $XDG_DATA_HOME/Orvane). Every call reads or
// changes the store anew; nothing is cached.
class KeychainKeyStore : public SSHKeyStore {
public:
    // `fallbackPath` replaces the default file location.
    explicit KeychainKeyStore(std::optional<std::string> fallbackPath = std::nullopt);

    bool hasKey() const { return privateKey().has_value(); }
    std::optional<Ed25519PrivateKey> privateKey() const override;
    std::optional<std::string> publicKeyLine() const override;

    // Creates a new random key, stores it in place of any stored key and returns its
    // public-key line. Throws SSHKeyError::notStored when it cannot be kept anywhere.
    std::string generate();
    // Reads an unencrypted OpenSSH Ed25519 private-key file and stores its key in place of any
    // stored key. Throws SSHKeyError; nothing changes when reading or storing fails.
    void importKey(std::string_view openSSH);
    // Deletes the stored key, wherever it is; a missing key is no error.
    void remove();

    const std::string service = "org.orvane.Orvane.ssh";
    const std::string account = "ed25519";
    const std::string fallbackPath;

private:
    void store(const Ed25519PrivateKey& key);
};

} // namespace orvane
