// The folder cloud store: values through files, broken and half-arrived files, and change
// notifications from the folder watcher.
#include "CloudStore.h"
#include "TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace orvane;
using orvane::testing::readFile;
using orvane::testing::spin;
using orvane::testing::waitUntil;
using orvane::testing::writeFile;
using namespace std::chrono_literals;

namespace {

const std::vector<std::string> kKeys = {"servers", "serversStamp"};

struct Folder {
    QTemporaryDir tmp;
    std::string path() const { return tmp.path().toStdString() + "/cloud"; }
    std::string file(const std::string& key) const { return path() + "/" + key; }
};

void put(FolderCloudStore& store, const std::string& text, double stamp)
{
    store.setString("servers", text);
    store.setNumber("serversStamp", stamp);
    store.synchronize();
}

// Counts the change notifications of a store.
struct Changes {
    explicit Changes(CloudStore& store)
    {
        QObject::connect(&store, &CloudStore::changedExternally, &store, [this] { ++count; });
    }
    int count = 0;
};

} // namespace

TEST(FolderCloudStore, KeepsValuesInFilesNamedByTheirKeys)
{
    Folder folder;
    FolderCloudStore a(folder.path(), kKeys);
    EXPECT_EQ(a.string("servers"), std::nullopt);
    EXPECT_EQ(a.number("serversStamp"), std::nullopt);
    EXPECT_TRUE(a.settled());

    put(a, "web = me@h\n\xe2\x82\xac\n", 1712345678.123);
    // Values read back as numbers of the right kind only.
    EXPECT_EQ(a.string("serversStamp"), std::nullopt);
    EXPECT_EQ(a.number("servers"), std::nullopt);

    FolderCloudStore b(folder.path(), kKeys);
    EXPECT_EQ(b.string("servers"), "web = me@h\n\xe2\x82\xac\n");
    EXPECT_EQ(b.number("serversStamp"), 1712345678.123);
    EXPECT_NE(readFile(folder.file("servers")).find("web = me@h"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(folder.file("serversStamp")));
}

TEST(FolderCloudStore, BrokenFilesAreAbsentAndHalfArrivedChangesUnsettled)
{
    Folder folder;
    {
        FolderCloudStore writer(folder.path(), kKeys);
        put(writer, "a = h1\n", 100);
    }
    const std::string whole = readFile(folder.file("servers"));
    const std::string wholeStamp = readFile(folder.file("serversStamp"));
    struct Case {
        const char* name;
        std::optional<std::string> servers;  // file content; none: no file
        std::optional<std::string> stamp;
        bool settled;
        std::optional<std::string> text;
    } cases[] = {
        {"whole", whole, wholeStamp, true, "a = h1\n"},
        {"empty servers file, no stamp file", "", std::nullopt, true, std::nullopt},
        {"truncated servers file, no stamp file", whole.substr(0, whole.size() / 2), std::nullopt, true,
         std::nullopt},
        {"not JSON", "a = h1\n", std::nullopt, true, std::nullopt},
        {"JSON of another shape", "{\"value\": \"a = h1\"}", std::nullopt, true, std::nullopt},
        {"stamp of the batch not here yet", whole, std::nullopt, false, std::nullopt},
        {"servers of the batch not here yet", std::nullopt, wholeStamp, false, std::nullopt},
        {"stamp file half written", whole, wholeStamp.substr(0, 20), false, std::nullopt},
        {"servers file half written", whole.substr(0, 30), wholeStamp, false, std::nullopt},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(folder.path());
        std::filesystem::create_directories(folder.path());
        if (c.servers)
            writeFile(folder.file("servers"), *c.servers);
        if (c.stamp)
            writeFile(folder.file("serversStamp"), *c.stamp);
        const FolderCloudStore store(folder.path(), kKeys);
        EXPECT_EQ(store.settled(), c.settled) << c.name;
        EXPECT_EQ(store.string("servers"), c.text) << c.name;
    }

    // Files of two different batches: the pair is not whole.
    FolderCloudStore mixed(folder.path(), kKeys);
    put(mixed, "a = h1\n", 100);
    const std::string otherBatch = readFile(folder.file("serversStamp"));
    put(mixed, "c = h3\n", 300);
    writeFile(folder.file("serversStamp"), otherBatch);
    EXPECT_FALSE(FolderCloudStore(folder.path(), kKeys).settled());

    // A folder where a key file is a folder.
    std::filesystem::remove_all(folder.path());
    std::filesystem::create_directories(folder.file("servers"));
    FolderCloudStore odd(folder.path(), kKeys);
    EXPECT_EQ(odd.string("servers"), std::nullopt);
    put(odd, "a = h1\n", 1);
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("servers")));
}

TEST(FolderCloudStore, NeverOverwritesAFileOfSomeoneElse)
{
    Folder folder;
    std::filesystem::create_directories(folder.path());
    writeFile(folder.file("servers"), "my own notes about servers\n");
    FolderCloudStore store(folder.path(), kKeys);
    put(store, "a = h1\n", 1);
    EXPECT_EQ(readFile(folder.file("servers")), "my own notes about servers\n");
}

TEST(FolderCloudStore, ReportsChangesOfOthersOnly)
{
    Folder folder;
    FolderCloudStore a(folder.path(), kKeys);
    FolderCloudStore b(folder.path(), kKeys);
    Changes aChanges(a);
    Changes bChanges(b);

    put(a, "a = h1\n", 1);
    ASSERT_TRUE(waitUntil([&] { return bChanges.count == 1; }));
    EXPECT_EQ(b.string("servers"), "a = h1\n");
    EXPECT_EQ(b.number("serversStamp"), 1);

    // Writing what is there already changes no file.
    const auto before = std::filesystem::last_write_time(folder.file("servers"));
    put(b, "a = h1\n", 1);
    EXPECT_EQ(std::filesystem::last_write_time(folder.file("servers")), before);

    put(b, "b = h2\n", 2);
    ASSERT_TRUE(waitUntil([&] { return aChanges.count == 1; }));
    EXPECT_EQ(a.string("servers"), "b = h2\n");
    spin(3 * std::chrono::milliseconds(FolderCloudStore::kQuietTime));
    EXPECT_EQ(aChanges.count, 1);
    EXPECT_EQ(bChanges.count, 1);  // its own writes are no news to b
}

TEST(FolderCloudStore, AHalfArrivedChangeIsReportedWhenWhole)
{
    Folder folder;
    Folder elsewhere;
    {
        FolderCloudStore writer(folder.path(), kKeys);
        put(writer, "a = h1\n", 1);
        FolderCloudStore remote(elsewhere.path(), kKeys);
        put(remote, "b = h2\n", 2);
    }
    FolderCloudStore store(folder.path(), kKeys);
    Changes changes(store);

    // The synchronising tool brings the stamp first...
    std::filesystem::copy_file(elsewhere.file("serversStamp"), folder.file("serversStamp.tmp"));
    std::filesystem::rename(folder.file("serversStamp.tmp"), folder.file("serversStamp"));
    spin(3 * std::chrono::milliseconds(FolderCloudStore::kQuietTime));
    EXPECT_EQ(changes.count, 0);
    EXPECT_FALSE(store.settled());
    EXPECT_EQ(store.string("servers"), "a = h1\n");
    EXPECT_EQ(store.number("serversStamp"), 1);

    // ...and the text later, written in place.
    writeFile(folder.file("servers"), readFile(elsewhere.file("servers")));
    ASSERT_TRUE(waitUntil([&] { return changes.count == 1; }));
    EXPECT_TRUE(store.settled());
    EXPECT_EQ(store.string("servers"), "b = h2\n");
    EXPECT_EQ(store.number("serversStamp"), 2);
}

TEST(FolderCloudStore, KeepsWatchingFilesReplacedByRenames)
{
    Folder folder;
    FolderCloudStore writer(folder.path(), kKeys);
    put(writer, "a = h1\n", 1);
    FolderCloudStore store(folder.path(), kKeys);
    Changes changes(store);

    // An atomic replacement (rename) drops the watch on the old file...
    put(writer, "b = h2\n", 2);
    ASSERT_TRUE(waitUntil([&] { return changes.count == 1; }));
    // ...so a later change in place is only seen through a watch made anew.
    const std::string text = readFile(folder.file("servers"));
    std::string edited = text;
    edited.replace(edited.find("b = h2"), 6, "c = h3");
    spin(50ms);
    // Written in place without touching the folder's entries (no rename, no chmod).
    std::ofstream(folder.file("servers"), std::ios::binary | std::ios::trunc) << edited;
    ASSERT_TRUE(waitUntil([&] { return changes.count == 2; }));
    EXPECT_EQ(store.string("servers"), "c = h3\n");
}

TEST(FolderCloudStore, WaitsForAFolderThatDoesNotExistYet)
{
    Folder folder;
    FolderCloudStore store(folder.path(), kKeys);
    Changes changes(store);
    FolderCloudStore writer(folder.path(), kKeys);
    put(writer, "a = h1\n", 1);
    ASSERT_TRUE(waitUntil([&] { return changes.count == 1; }));
    EXPECT_EQ(store.string("servers"), "a = h1\n");
}
