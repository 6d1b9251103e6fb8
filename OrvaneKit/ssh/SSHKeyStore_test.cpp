// The key stores: in memory, in a real Secret Service (gnome-keyring on the private session bus
// that private-session.sh starts), and in the file used when no Secret Service answers.
// GLib's headers come before Qt's, whose "signals" keyword they use as a name.
#include <libsecret/secret.h>

#include "Files.h"
#include "SSHKeyStore.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvane;
using orvane::testing::readFile;
using orvane::testing::runCommand;
using orvane::testing::writeFile;

namespace {

const SecretSchema kSchema = {"org.freedesktop.Secret.Generic",
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

// How many items the Secret Service holds under the store's two names, asked over D-Bus.
size_t storedItemCount()
{
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    GVariantBuilder attributes;
    g_variant_builder_init(&attributes, G_VARIANT_TYPE("a{ss}"));
    g_variant_builder_add(&attributes, "{ss}", "service", "org.orvane.Orvane.ssh");
    g_variant_builder_add(&attributes, "{ss}", "account", "ed25519");
    GVariant* reply = bus ? g_dbus_connection_call_sync(bus, "org.freedesktop.secrets", "/org/freedesktop/secrets",
                                                        "org.freedesktop.Secret.Service", "SearchItems",
                                                        g_variant_new("(a{ss})", &attributes),
                                                        G_VARIANT_TYPE("(aoao)"), G_DBUS_CALL_FLAGS_NONE, -1,
                                                        nullptr, &error)
                          : nullptr;
    size_t count = 0;
    if (reply) {
        GVariant* unlocked = g_variant_get_child_value(reply, 0);
        GVariant* locked = g_variant_get_child_value(reply, 1);
        count = g_variant_n_children(unlocked) + g_variant_n_children(locked);
        g_variant_unref(unlocked);
        g_variant_unref(locked);
        g_variant_unref(reply);
    } else {
        g_variant_builder_clear(&attributes);
    }
    if (error) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
    }
    if (bus)
        g_object_unref(bus);
    return count;
}

// The secret of the item the store finds.
std::vector<uint8_t> storedSecret()
{
    SecretValue* value = secret_password_lookup_binary_sync(&kSchema, nullptr, nullptr, "service",
                                                            "org.orvane.Orvane.ssh", "account", "ed25519", nullptr);
    if (!value)
        return {};
    gsize length = 0;
    const auto* data = reinterpret_cast<const uint8_t*>(secret_value_get(value, &length));
    std::vector<uint8_t> bytes(data, data + length);
    secret_value_unref(value);
    return bytes;
}

std::string keygenFile(const QTemporaryDir& dir, const std::string& options)
{
    const std::string path = dir.path().toStdString() + "/key";
    EXPECT_EQ(runCommand("rm -f " + path + "*; ssh-keygen -q " + options + " -f " + path), 0);
    return readFile(path);
}

// Tests of the keychain need the private session bus: they must never reach the user's own.
class Keychain : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("ORVANE_TEST_KEYRING"))
            GTEST_SKIP() << "needs the private keyring session of private-session.sh (run through ctest)";
        store.remove();
    }
    void TearDown() override
    {
        if (std::getenv("ORVANE_TEST_KEYRING"))
            store.remove();
    }

    QTemporaryDir dir;
    KeychainKeyStore store{dir.path().toStdString() + "/seed"};
};

} // namespace

TEST(MemoryKeyStore, HoldsItsKey)
{
    EXPECT_FALSE(MemoryKeyStore(std::nullopt).privateKey());
    EXPECT_FALSE(MemoryKeyStore(std::nullopt).publicKeyLine());
    const auto key = Ed25519PrivateKey::generate();
    const MemoryKeyStore store(key);
    EXPECT_EQ(store.privateKey(), key);
    EXPECT_EQ(store.publicKeyLine(), publicKeyLine(key));
}

TEST(KeychainKeyStore, NamesAndDefaultFile)
{
    const KeychainKeyStore store;
    EXPECT_EQ(store.service, "org.orvane.Orvane.ssh");
    EXPECT_EQ(store.account, "ed25519");
    EXPECT_EQ(store.fallbackPath, dataFolder() + "/ssh-ed25519.seed");
}

TEST_F(Keychain, GenerateKeepsOneItemWithTheNewestSeed)
{
    EXPECT_FALSE(store.hasKey());
    const std::string first = store.generate();
    const std::string second = store.generate();
    EXPECT_NE(first, second);
    ASSERT_EQ(storedItemCount(), 1u);
    const auto seed = storedSecret();
    EXPECT_EQ(seed.size(), 32u);
    const auto key = Ed25519PrivateKey::fromSeed(seed);
    ASSERT_TRUE(key);
    EXPECT_EQ(publicKeyLine(*key), second);
    EXPECT_TRUE(store.hasKey());
    EXPECT_EQ(store.publicKeyLine(), second);
    EXPECT_EQ(store.privateKey(), key);
    // Kept in the Secret Service, so nothing is written to disk.
    EXPECT_NE(access(store.fallbackPath.c_str(), F_OK), 0);
    // Read anew each time: another store object sees the same key.
    EXPECT_EQ(KeychainKeyStore(store.fallbackPath).publicKeyLine(), second);
}

TEST_F(Keychain, ImportReplacesTheKeyAndAFailedImportKeepsIt)
{
    const std::string ed = keygenFile(dir, "-t ed25519 -N ''");
    store.importKey(ed);
    const auto imported = store.publicKeyLine();
    EXPECT_EQ(imported, publicKeyLine(parseOpenSSHEd25519(ed)));
    EXPECT_THROW(store.importKey(keygenFile(dir, "-t rsa -b 2048 -N ''")), SSHKeyError);
    EXPECT_THROW(store.importKey("garbage"), SSHKeyError);
    EXPECT_EQ(store.publicKeyLine(), imported);
    EXPECT_EQ(storedItemCount(), 1u);
}

TEST_F(Keychain, RemoveForgetsTheKey)
{
    store.remove(); // nothing stored: no error
    store.generate();
    store.remove();
    EXPECT_FALSE(store.hasKey());
    EXPECT_FALSE(store.publicKeyLine());
    EXPECT_FALSE(store.privateKey());
    EXPECT_EQ(storedItemCount(), 0u);
}

TEST_F(Keychain, ABadItemIsNoKey)
{
    SecretValue* value = secret_value_new("short", 5, "application/octet-stream");
    ASSERT_TRUE(secret_password_store_binary_sync(&kSchema, SECRET_COLLECTION_DEFAULT, "bad", value, nullptr,
                                                  nullptr, "service", "org.orvane.Orvane.ssh", "account",
                                                  "ed25519", nullptr));
    secret_value_unref(value);
    EXPECT_FALSE(store.hasKey());
    EXPECT_FALSE(store.publicKeyLine());
}

TEST_F(Keychain, AKeyLeftInTheFileIsStillFound)
{
    // A key stored while the Secret Service did not answer stays usable once it answers again.
    const auto key = Ed25519PrivateKey::generate();
    writeFile(store.fallbackPath, std::string(key.seed().begin(), key.seed().end()), 0600);
    EXPECT_EQ(store.privateKey(), key);
    // The next store puts the key into the Secret Service and deletes the file.
    store.generate();
    EXPECT_NE(access(store.fallbackPath.c_str(), F_OK), 0);
    EXPECT_NE(store.privateKey(), key);
}

// Without a Secret Service the key goes to a file of mode 0600 in the data folder. This runs
// the store in a child process whose session bus is unreachable.
TEST(KeychainFallback, WithoutSecretServiceTheKeyLivesInAPrivateFile)
{
    QTemporaryDir dir;
    const std::string data = dir.path().toStdString() + "/data";
    const std::string out = dir.path().toStdString() + "/out";
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const auto child = [&](const std::string& action) {
        return runCommand("DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir.path().toStdString() +
                          "/no-bus XDG_DATA_HOME=" + data + " ORVANE_KEYSTORE_CHILD=" + action +
                          " ORVANE_KEYSTORE_OUT=" + out + " " + self +
                          " --gtest_filter=KeychainFallback.Child >/dev/null 2>&1");
    };
    const std::string file = data + "/Orvane/ssh-ed25519.seed";

    ASSERT_EQ(child("generate"), 0);
    const std::string line = readFile(out);
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string seed = readFile(file);
    ASSERT_EQ(seed.size(), 32u);
    const auto key =
        Ed25519PrivateKey::fromSeed(std::span(reinterpret_cast<const uint8_t*>(seed.data()), 32));
    EXPECT_EQ(line, publicKeyLine(*key));

    ASSERT_EQ(child("read"), 0);
    EXPECT_EQ(readFile(out), line);
    ASSERT_EQ(child("remove"), 0);
    EXPECT_NE(access(file.c_str(), F_OK), 0);
    ASSERT_EQ(child("read"), 0);
    EXPECT_EQ(readFile(out), "none");
}

TEST(KeychainFallback, Child)
{
    const char* action = std::getenv("ORVANE_KEYSTORE_CHILD");
    if (!action)
        GTEST_SKIP() << "runs as the child of WithoutSecretServiceTheKeyLivesInAPrivateFile";
    KeychainKeyStore store;
    std::string result;
    if (std::string(action) == "generate")
        result = store.generate();
    else if (std::string(action) == "read")
        result = store.publicKeyLine().value_or("none");
    else
        store.remove();
    writeFile(std::getenv("ORVANE_KEYSTORE_OUT"), result, 0600);
}

TEST(KeychainFallback, AKeyThatCannotBeKeptAnywhereIsReported)
{
    QTemporaryDir dir;
    // The file's folder would have to be inside a regular file.
    writeFile(dir.path().toStdString() + "/plain", "", 0600);
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const int status = runCommand("DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent XDG_DATA_HOME=" +
                                  dir.path().toStdString() + "/plain ORVANE_KEYSTORE_CHILD=unkept " + self +
                                  " --gtest_filter=KeychainFallback.UnkeptChild >/dev/null 2>&1");
    EXPECT_EQ(status, 0);
}

TEST(KeychainFallback, UnkeptChild)
{
    if (!std::getenv("ORVANE_KEYSTORE_CHILD"))
        GTEST_SKIP() << "runs as the child of AKeyThatCannotBeKeptAnywhereIsReported";
    KeychainKeyStore store;
    try {
        store.generate();
        ADD_FAILURE() << "generate reported a key it could not store";
    } catch (const SSHKeyError& e) {
        EXPECT_EQ(e.kind, SSHKeyError::Kind::notStored);
        EXPECT_EQ(e.message, "The key can't be stored.");
    }
    EXPECT_FALSE(store.hasKey());
}
