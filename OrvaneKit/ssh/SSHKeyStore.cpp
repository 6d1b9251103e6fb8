#include "SSHKeyStore.h"

#include "Encoding.h"
#include "Files.h"

#include <libsecret/secret.h>

#include <unistd.h>

namespace orvane {

namespace {

// Items are found by the two attributes alone, whatever schema name they were stored with.
const SecretSchema* keySchema()
{
    static const SecretSchema schema = {"org.freedesktop.Secret.Generic",
                                        SECRET_SCHEMA_DONT_MATCH_NAME,
                                        {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

struct ErrorHolder {
    GError* error = nullptr;
    ~ErrorHolder()
    {
        if (error)
            g_error_free(error);
    }
};

struct SecretLookup {
    bool answered = false; // the Secret Service replied (with or without an item)
    std::optional<Ed25519PrivateKey> key;
};

SecretLookup lookUp(const std::string& service, const std::string& account)
{
    ErrorHolder e;
    SecretValue* value = secret_password_lookup_binary_sync(
        keySchema(), nullptr, &e.error, "service", service.c_str(), "account", account.c_str(), nullptr);
    SecretLookup result;
    result.answered = e.error == nullptr;
    if (value) {
        gsize length = 0;
        const gchar* data = secret_value_get(value, &length);
        result.key = Ed25519PrivateKey::fromSeed(std::span(reinterpret_cast<const uint8_t*>(data), length));
        secret_value_unref(value);
    }
    return result;
}

std::optional<Ed25519PrivateKey> readSeedFile(const std::string& path)
{
    FileContents file = readWholeFile(path, Ed25519PrivateKey::kSeedSize);
    auto key =
        file.status == FileContents::Status::ok ? Ed25519PrivateKey::fromSeed(file.bytes) : std::nullopt;
    wipe(file.bytes);
    return key;
}

} // namespace

std::optional<std::string> MemoryKeyStore::publicKeyLine() const
{
    if (!key)
        return std::nullopt;
    return orvane::publicKeyLine(*key);
}

KeychainKeyStore::KeychainKeyStore(std::optional<std::string> fallback)
    : fallbackPath(fallback ? std::move(*fallback) : dataFolder() + "/ssh-ed25519.seed")
{
}

std::optional<Ed25519PrivateKey> KeychainKeyStore::privateKey() const
{
    // The Secret Service first; the file holds the key when the service could not take it.
    if (auto found = lookUp(service, account); found.key)
        return found.key;
    return readSeedFile(fallbackPath);
}

std::optional<std::string> KeychainKeyStore::publicKeyLine() const
{
    const auto key = privateKey();
    if (!key)
        return std::nullopt;
    return orvane::publicKeyLine(*key);
}

std::string KeychainKeyStore::generate()
{
    const auto key = Ed25519PrivateKey::generate();
    store(key);
    return orvane::publicKeyLine(key);
}

void KeychainKeyStore::importKey(std::string_view openSSH)
{
    store(parseOpenSSHEd25519(openSSH));
}

void KeychainKeyStore::remove()
{
    ErrorHolder e;
    secret_password_clear_sync(keySchema(), nullptr, &e.error, "service", service.c_str(), "account",
                               account.c_str(), nullptr);
    unlink(fallbackPath.c_str());
}

void KeychainKeyStore::store(const Ed25519PrivateKey& key)
{
    // The new key is stored before anything is deleted: the Secret Service replaces an item with
    // the same attributes, so a failure leaves the old key in place.
    ErrorHolder e;
    SecretValue* value = secret_value_new(reinterpret_cast<const gchar*>(key.seed().data()),
                                          gssize(key.seed().size()), "application/octet-stream");
    const gboolean stored = secret_password_store_binary_sync(
        keySchema(), SECRET_COLLECTION_DEFAULT, "Orvane SSH key", value, nullptr, &e.error, "service",
        service.c_str(), "account", account.c_str(), nullptr);
    secret_value_unref(value);
    if (stored) {
        unlink(fallbackPath.c_str()); // no older copy stays on disk
        return;
    }
    // The user turned the request down (a dismissed unlock prompt): respect that.
    if (e.error && g_error_matches(e.error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
        throw SSHKeyError::notStored();
    if (!writeFileAtomically(fallbackPath, key.seed(), 0600))
        throw SSHKeyError::notStored();
}

} // namespace orvane
