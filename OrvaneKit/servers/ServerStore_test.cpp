// The server store on real files, real settings and a real watched cloud folder: the merged
// list, edits, failures, and two machines that share one cloud folder.
#include "ServerStore.h"
#include "TestSupport.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace orvane;
using orvane::testing::readFile;
using orvane::testing::spin;
using orvane::testing::waitUntil;
using orvane::testing::writeFile;

namespace {

// Every test of this program runs with HOME and the XDG folders in a temporary folder, so
// that nothing here can reach the user's own settings or files.
class IsolatedHome : public ::testing::Environment {
public:
    void SetUp() override
    {
        tmp_ = std::make_unique<QTemporaryDir>();
        const std::string root = tmp_->path().toStdString();
        setenv("HOME", (root + "/home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    }
    void TearDown() override { tmp_.reset(); }

private:
    std::unique_ptr<QTemporaryDir> tmp_;
};

[[maybe_unused]] ::testing::Environment* const kIsolatedHome =
    ::testing::AddGlobalTestEnvironment(new IsolatedHome);

void makeParents(const std::string& file)
{
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
}

// One machine: its own data folder, home folder and settings, optionally sharing a cloud folder.
class Machine {
public:
    explicit Machine(std::optional<std::string> cloud = std::nullopt) : cloud_(std::move(cloud))
    {
        const std::string root = tmp_.path().toStdString();
        places_ = {root + "/data/Orvane", root + "/home", root + "/config/Orvane/Orvane.conf"};
        std::filesystem::create_directories(places_.home + "/.ssh");
    }

    // A store, as a window makes it.
    std::unique_ptr<ServerStore> open() const
    {
        std::unique_ptr<CloudStore> cloud;
        if (cloud_)
            cloud = std::make_unique<FolderCloudStore>(*cloud_,
                                                       std::vector<std::string>{"servers", "serversStamp"});
        return std::make_unique<ServerStore>(places_, std::move(cloud));
    }
    ServerStore& start()
    {
        store_ = open();
        return *store_;
    }
    ServerStore& store() { return *store_; }

    const ServerStore::Places& places() const { return places_; }
    std::string text() const { return readFile(places_.dir + "/servers"); }
    void setText(const std::string& text) const
    {
        makeParents(places_.dir + "/servers");
        writeFile(places_.dir + "/servers", text);
    }
    std::string hidden() const { return readFile(places_.dir + "/hidden"); }
    void setSSHConfig(const std::string& text) const { writeFile(places_.home + "/.ssh/config", text); }
    double stamp() const
    {
        return QSettings(QString::fromStdString(places_.settings), QSettings::IniFormat)
            .value("Orvane.serversStamp")
            .toDouble();
    }
    void setStamp(double stamp) const
    {
        QSettings settings(QString::fromStdString(places_.settings), QSettings::IniFormat);
        settings.setValue("Orvane.serversStamp", stamp);
    }

private:
    QTemporaryDir tmp_;
    std::optional<std::string> cloud_;
    ServerStore::Places places_;
    std::unique_ptr<ServerStore> store_;
};

// The shared cloud folder, read and written as a third party would.
class Cloud {
public:
    std::string path() const { return tmp_.path().toStdString() + "/Orvane"; }
    std::optional<std::string> text() const { return reader().string("servers"); }
    double stamp() const { return reader().number("serversStamp").value_or(0); }
    void put(const std::string& text, double stamp) const
    {
        FolderCloudStore store(path(), {"servers", "serversStamp"});
        store.setString("servers", text);
        store.setNumber("serversStamp", stamp);
        store.synchronize();
    }
    std::string file(const std::string& key) const { return path() + "/" + key; }

private:
    FolderCloudStore reader() const { return FolderCloudStore(path(), {"servers", "serversStamp"}); }
    QTemporaryDir tmp_;
};

// "name=target" of each server, own ones first as listed, ssh-config hosts marked "ssh:".
std::string listed(const ServerStore& store)
{
    std::string out;
    for (const auto& s : store.servers()) {
        out += out.empty() ? "" : ",";
        out += s.own ? s.name + "=" + s.target + (s.tmux ? "" : "|plain") : "ssh:" + s.name;
    }
    return out;
}

const Server* find(const ServerStore& store, const std::string& name)
{
    for (const auto& s : store.servers()) {
        if (s.name == name)
            return &s;
    }
    return nullptr;
}

// Makes writes of more than `bytes` bytes fail for the scope (as a full disk would).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    sighandler_t oldHandler_;
};

} // namespace

TEST(ServerStore, ListsOwnServersThenVisibleSSHHosts)
{
    Machine m;
    m.setText("# mine\nweb = me@web\nbox\n\nbad line!\n");
    m.setSSHConfig("Host box db other -bad\n");
    writeFile(m.places().dir + "/hidden", "  db\t\n\n");
    ServerStore& store = m.start();
    // "box" is an own server's name and "db" is hidden.
    EXPECT_EQ(listed(store), "web=me@web,box=box,ssh:other");
    EXPECT_EQ(store.servers()[1].line, 2);
    EXPECT_EQ(store.servers()[2], (Server{"other", "other", false, 0, true}));

    int changes = 0;
    QObject::connect(&store, &ServerStore::serversChanged, [&] { ++changes; });
    store.reload();
    EXPECT_EQ(changes, 0);
    m.setText("# mine\nweb = me@web\nbox\n\nbad line, still\n");
    store.reload();
    EXPECT_EQ(changes, 0);  // the text changed, the list did not
    m.setSSHConfig("Host box db other -bad new\n");
    store.reload();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(listed(store), "web=me@web,box=box,ssh:other,ssh:new");
}

TEST(ServerStore, EditsKeepCommentsAndBlankLines)
{
    Machine m;
    m.setText("# mine\na = h1\n\nb = h2 | plain\n");
    m.setSSHConfig("Host cfg other\n");
    ServerStore& store = m.start();

    store.add("c", "h3", true);
    EXPECT_EQ(m.text(), "# mine\na = h1\n\nb = h2 | plain\nc = h3\n");

    store.update(*find(store, "a"), "A", "h1", false);
    EXPECT_EQ(m.text(), "# mine\nA = h1 | plain\n\nb = h2 | plain\nc = h3\n");

    // An ssh-config host that is edited becomes an own line at the end, and is hidden.
    store.update(*find(store, "cfg"), "cfg", "me@cfg", true);
    EXPECT_EQ(m.text(), "# mine\nA = h1 | plain\n\nb = h2 | plain\nc = h3\ncfg = me@cfg\n");
    EXPECT_EQ(m.hidden(), "cfg\n");
    EXPECT_EQ(listed(store), "A=h1|plain,b=h2|plain,c=h3,cfg=me@cfg,ssh:other");

    std::vector<Server> reversed(store.servers().rbegin(), store.servers().rend());
    store.reorder(reversed);
    EXPECT_EQ(m.text(), "# mine\ncfg = me@cfg\n\nc = h3\nb = h2 | plain\nA = h1 | plain\n");

    store.remove(*find(store, "b"));
    EXPECT_EQ(m.text(), "# mine\ncfg = me@cfg\n\nc = h3\nA = h1 | plain\n");
    EXPECT_EQ(listed(store), "cfg=me@cfg,c=h3,A=h1|plain,ssh:other");
}

TEST(ServerStore, RemovedSSHHostsStayHiddenOnThisMachineOnly)
{
    Cloud cloud;
    Machine a(cloud.path());
    Machine b(cloud.path());
    a.setSSHConfig("Host shared\n");
    b.setSSHConfig("Host shared\n");
    a.setText("own\n");
    a.start();
    b.start();
    ASSERT_TRUE(waitUntil([&] { return b.text() == "own\n"; }));
    const double stamp = cloud.stamp();

    a.store().remove(*find(a.store(), "shared"));
    EXPECT_EQ(listed(a.store()), "own=own");
    EXPECT_EQ(a.hidden(), "shared\n");
    EXPECT_EQ(a.text(), "own\n");
    EXPECT_EQ(cloud.stamp(), stamp);  // nothing to send
    EXPECT_EQ(listed(*a.open()), "own=own");
    EXPECT_EQ(listed(b.store()), "own=own,ssh:shared");
}

TEST(ServerStore, EditsBuildOnTheFileAsItIsNow)
{
    Machine m;
    m.setText("a = h1\nb = h2\nc = h3\n");
    const auto one = m.open();  // two windows
    const auto two = m.open();

    one->add("x", "hx", true);
    two->add("y", "hy", true);  // made from a list without x
    EXPECT_EQ(m.text(), "a = h1\nb = h2\nc = h3\nx = hx\ny = hy\n");

    // Window two still shows b on line 1; after one removes a, b is on line 0.
    const Server bInTwo = *find(*two, "b");
    one->remove(*find(*one, "a"));
    two->remove(bInTwo);
    EXPECT_EQ(m.text(), "c = h3\nx = hx\ny = hy\n");

    // The user's own edit of the file in an editor is kept as well.
    m.setText("c = h3\nx = hx\ny = hy\nz = hz\n");
    one->add("q", "hq", false);
    EXPECT_EQ(m.text(), "c = h3\nx = hx\ny = hy\nz = hz\nq = hq | plain\n");

    // A reorder or an edit made from a list that has changed meanwhile is not written back.
    const std::vector<Server> stale = two->servers();
    one->update(*find(*one, "c"), "c", "me@h3", true);
    const std::string edited = m.text();
    two->reorder({stale.rbegin(), stale.rend()});
    EXPECT_EQ(m.text(), edited);
    const Server oldC = stale[0];
    two->update(oldC, "C", "h3", true);
    two->remove(oldC);
    EXPECT_EQ(m.text(), edited);
    EXPECT_EQ(listed(*two), "c=me@h3,x=hx,y=hy,z=hz,q=hq|plain");
}

TEST(ServerStore, AFailedWriteKeepsTheOldFileAndSendsNothing)
{
    Cloud cloud;
    Machine m(cloud.path());
    m.setText("a = h1\n");
    ServerStore& store = m.start();
    const double stamp = cloud.stamp();
    ASSERT_GT(stamp, 0);
    {
        FileSizeLimit limit(64);
        store.add("a name long enough to make the file larger than the limit", "h2", true);
    }
    EXPECT_EQ(m.text(), "a = h1\n");
    EXPECT_EQ(listed(store), "a=h1");
    EXPECT_EQ(cloud.stamp(), stamp);
    EXPECT_EQ(m.stamp(), stamp);
    EXPECT_EQ(cloud.text(), "a = h1\n");

    // A newer cloud list that cannot be written here: this machine's old list must not go
    // back to the cloud under the new stamp.
    const std::string newer = "a = h1\nsomething = quite a lot longer than sixty-four bytes@host\nb = h2\n";
    cloud.put(newer, stamp + 10);
    {
        FileSizeLimit limit(64);
        // The store hears of it through its watcher and fails to write it.
        spin(3 * std::chrono::milliseconds(FolderCloudStore::kQuietTime));
    }
    EXPECT_EQ(m.text(), "a = h1\n");
    EXPECT_EQ(cloud.text(), newer);
    EXPECT_EQ(m.stamp(), stamp);
    // Once writing works again, the next notification brings the list.
    store.mergeFromCloud();
    EXPECT_EQ(m.text(), newer);
    EXPECT_EQ(m.stamp(), stamp + 10);
}

TEST(ServerStore, AListThatCannotBeReadIsNeverReplaced)
{
    Cloud cloud;
    cloud.put("from = the@cloud\n", 5);
    Machine m(cloud.path());
    std::filesystem::create_directories(m.places().dir);
    const std::string path = m.places().dir + "/servers";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    m.setSSHConfig("Host cfg\n");
    ServerStore& store = m.start();  // never blocks on the pipe
    EXPECT_EQ(listed(store), "ssh:cfg");
    store.add("x", "hx", true);
    store.reorder(store.servers());
    store.mergeFromCloud();
    EXPECT_TRUE(std::filesystem::is_fifo(path));
    EXPECT_EQ(m.stamp(), 0);
    EXPECT_EQ(cloud.text(), "from = the@cloud\n");
}

TEST(ServerStore, ReorderWithFewerThanTwoServersStillStampsAndSends)
{
    Cloud cloud;
    Machine m(cloud.path());
    m.setText("# only\none = h1\n");
    ServerStore& store = m.start();
    const double stamp = cloud.stamp();
    spin(std::chrono::milliseconds(5));
    store.reorder(store.servers());
    EXPECT_EQ(m.text(), "# only\none = h1\n");
    EXPECT_GT(cloud.stamp(), stamp);
    EXPECT_EQ(m.stamp(), cloud.stamp());
}

TEST(ServerStore, WithoutACloudFolderTheListStaysLocal)
{
    Machine m;
    EXPECT_EQ(ServerStore::cloudFor(m.places()), nullptr);
    ServerStore& store = m.start();
    store.add("a", "h1", true);
    EXPECT_EQ(m.text(), "a = h1\n");
    EXPECT_EQ(m.stamp(), 0);  // nothing was sent, so the first contact with a cloud still unites

    struct Case {
        QString setting;
        std::string folder;
    } cases[] = {
        {"~/Sync/Orvane", m.places().home + "/Sync/Orvane"},
        {"Sync", m.places().home + "/Sync"},
        {"/srv/shared/", "/srv/shared"},
        {"  ", ""},
    };
    for (const auto& c : cases) {
        QSettings(QString::fromStdString(m.places().settings), QSettings::IniFormat)
            .setValue("cloudFolder", c.setting);
        const auto cloud = ServerStore::cloudFor(m.places());
        const auto* folder = dynamic_cast<FolderCloudStore*>(cloud.get());
        EXPECT_EQ(folder ? folder->folder() : "", c.folder) << c.setting.toStdString();
    }
}

TEST(ServerStore, UserPlacesComeFromTheEnvironment)
{
    const std::string home = std::getenv("HOME");
    const std::string data = std::getenv("XDG_DATA_HOME");
    const std::string config = std::getenv("XDG_CONFIG_HOME");
    const auto places = ServerStore::Places::forUser();
    EXPECT_EQ(places.dir, data + "/Orvane");
    EXPECT_EQ(places.home, home);
    EXPECT_EQ(places.settings, config + "/Orvane/Orvane.conf");

    QSettings(QString::fromStdString(places.settings), QSettings::IniFormat)
        .setValue("cloudFolder", "~/Cloud");
    makeParents(home + "/.ssh/config");
    writeFile(home + "/.ssh/config", "Host mine\n");
    {
        ServerStore store;
        store.add("a", "h1", true);
        EXPECT_EQ(listed(store), "a=h1,ssh:mine");
    }
    EXPECT_EQ(readFile(data + "/Orvane/servers"), "a = h1\n");
    EXPECT_EQ(FolderCloudStore(home + "/Cloud", {"servers"}).string("servers"), "a = h1\n");
}

// Two machines with their own folders and settings sharing one cloud folder.

TEST(ServerStoreSync, FirstContactUnitesThenTheNewerStampWins)
{
    Cloud cloud;
    Machine a(cloud.path());
    Machine b(cloud.path());
    a.setText("# A's list\na1 = a@one\nshared = s@one\n");
    b.setText("# B's list\nb1 = b@one\nsame = s@one\nbad line!\n\nb2 = b@two | plain\n");

    a.start();
    EXPECT_EQ(cloud.text(), a.text());
    EXPECT_GT(a.stamp(), 0);

    // B meets the cloud for the first time: its servers that the cloud lacks are appended.
    b.start();
    const std::string united = "# A's list\na1 = a@one\nshared = s@one\nb1 = b@one\nb2 = b@two | plain\n";
    EXPECT_EQ(b.text(), united);
    EXPECT_EQ(cloud.text(), united);
    EXPECT_GT(b.stamp(), a.stamp());
    ASSERT_TRUE(waitUntil([&] { return a.text() == united; }));
    EXPECT_EQ(listed(a.store()), listed(b.store()));
    EXPECT_EQ(a.stamp(), b.stamp());

    // From now on the newer list wins whole, in both directions, through the notification.
    b.store().add("b3", "b@three", true);
    ASSERT_TRUE(waitUntil([&] { return a.text() == b.text(); }));
    a.store().remove(*find(a.store(), "b1"));
    ASSERT_TRUE(waitUntil([&] { return b.text() == a.text(); }));
    EXPECT_EQ(b.text(), "# A's list\na1 = a@one\nshared = s@one\nb2 = b@two | plain\nb3 = b@three\n");
    EXPECT_EQ(listed(b.store()), "a1=a@one,shared=s@one,b2=b@two|plain,b3=b@three");
    EXPECT_EQ(a.stamp(), b.stamp());
    EXPECT_EQ(cloud.stamp(), a.stamp());
}

TEST(ServerStoreSync, EqualStampsChangeNothing)
{
    Cloud cloud;
    Machine a(cloud.path());
    a.setText("a1 = a@one\n");
    a.start();
    const double stamp = cloud.stamp();
    // An edit of the file by hand is not sent on its own, and the cloud does not undo it.
    a.setText("a1 = a@one\nhand = h@edit\n");
    a.store().mergeFromCloud();
    EXPECT_EQ(a.text(), "a1 = a@one\nhand = h@edit\n");
    EXPECT_EQ(cloud.text(), "a1 = a@one\n");
    EXPECT_EQ(cloud.stamp(), stamp);
    EXPECT_EQ(a.stamp(), stamp);
}

TEST(ServerStoreSync, ANewerLocalStampOverwritesTheCloud)
{
    Cloud cloud;
    cloud.put("old = o@ld\n", 1000);
    Machine a(cloud.path());
    a.setText("mine = m@ine\n");
    a.setStamp(2000);
    a.start();
    EXPECT_EQ(cloud.text(), "mine = m@ine\n");
    EXPECT_EQ(cloud.stamp(), 2000);
    EXPECT_EQ(a.text(), "mine = m@ine\n");
}

TEST(ServerStoreSync, AnOlderLocalStampTakesTheCloudListWhole)
{
    Cloud cloud;
    cloud.put("# theirs\nnew = n@ew\n", 3000);
    Machine a(cloud.path());
    a.setText("mine = m@ine\n");
    a.setStamp(2000);
    a.start();
    EXPECT_EQ(a.text(), "# theirs\nnew = n@ew\n");
    EXPECT_EQ(a.stamp(), 3000);
    EXPECT_EQ(cloud.stamp(), 3000);
}

TEST(ServerStoreSync, ABrokenOrEmptyCloudListNeverReplacesTheLocalOne)
{
    const std::string mine = "mine = m@ine\n";
    struct Case {
        const char* name;
        std::function<void(const Cloud&)> damage;
        bool sendsOwnList;  // the cloud counts as empty, so this machine's list goes there
    } cases[] = {
        {"empty file",
         [](const Cloud& c) {
             writeFile(c.file("servers"), "");
             std::filesystem::remove(c.file("serversStamp"));
         },
         true},
        {"truncated file",
         [](const Cloud& c) {
             const std::string whole = readFile(c.file("servers"));
             writeFile(c.file("servers"), whole.substr(0, whole.size() - 5));
             std::filesystem::remove(c.file("serversStamp"));
         },
         true},
        {"empty text with a newer stamp", [](const Cloud& c) { c.put("", 9e9); }, true},
        {"text of the newer batch not here yet",
         [](const Cloud& c) {
             const std::string text = readFile(c.file("servers"));
             c.put("other = o@ther\n", 9e9);
             writeFile(c.file("servers"), text.substr(0, text.size() / 2));
         },
         false},
    };
    for (const auto& c : cases) {
        Cloud cloud;
        Machine m(cloud.path());
        m.setText(mine);
        m.start();
        const double stamp = m.stamp();
        ASSERT_EQ(cloud.text(), mine) << c.name;
        c.damage(cloud);
        // The store hears of the damage through its watcher.
        if (c.sendsOwnList) {
            EXPECT_TRUE(waitUntil([&] { return cloud.text() == mine; })) << c.name;
        } else {
            spin(3 * std::chrono::milliseconds(FolderCloudStore::kQuietTime));
        }
        m.store().mergeFromCloud();
        EXPECT_EQ(m.text(), mine) << c.name;
        EXPECT_EQ(m.stamp(), stamp) << c.name;
        if (c.sendsOwnList) {
            EXPECT_EQ(cloud.stamp(), stamp) << c.name;
        }
    }
}

TEST(ServerStoreSync, ALostLocalFileIsRestoredFromTheCloud)
{
    Cloud cloud;
    Machine a(cloud.path());
    Machine b(cloud.path());
    a.setText("a1 = a@one\n");
    a.start();
    b.start();
    ASSERT_EQ(b.text(), "a1 = a@one\n");
    const double stamp = cloud.stamp();

    // B loses its data folder but keeps its settings (and so its stamp).
    std::filesystem::remove(b.places().dir + "/servers");
    b.start();
    EXPECT_EQ(b.text(), "a1 = a@one\n");
    EXPECT_EQ(cloud.stamp(), stamp);
    // An edit afterwards adds to the list instead of starting an empty one.
    b.store().add("b1", "b@one", true);
    ASSERT_TRUE(waitUntil([&] { return a.text() == "a1 = a@one\nb1 = b@one\n"; }));
}

TEST(ServerStoreSync, AnEditOnAMachineWithASlowClockStillWins)
{
    Cloud cloud;
    const double future = double(std::time(nullptr)) + 86400.0 * 365;  // a peer's clock far ahead
    cloud.put("theirs = t@heirs\n", future);
    Machine a(cloud.path());
    Machine b(cloud.path());
    a.start();
    b.start();
    ASSERT_EQ(a.text(), "theirs = t@heirs\n");
    a.store().add("mine", "m@ine", true);
    EXPECT_GT(cloud.stamp(), future);
    ASSERT_TRUE(waitUntil([&] { return b.text() == a.text(); }));
    EXPECT_EQ(b.text(), "theirs = t@heirs\nmine = m@ine\n");
}

TEST(ServerStoreSync, AChangeThatHasOnlyPartlyArrivedIsAwaited)
{
    Cloud cloud;
    Cloud elsewhere;  // the other machine's folder, before the tool has copied all of it
    elsewhere.put("theirs = t@heirs\n", 5000);
    std::filesystem::create_directories(cloud.path());
    std::filesystem::copy_file(elsewhere.file("serversStamp"), cloud.file("serversStamp"));

    Machine b(cloud.path());
    b.setText("mine = m@ine\n");
    b.start();
    spin(3 * std::chrono::milliseconds(FolderCloudStore::kQuietTime));
    EXPECT_EQ(b.text(), "mine = m@ine\n");
    EXPECT_EQ(b.stamp(), 0);
    EXPECT_EQ(readFile(cloud.file("serversStamp")), readFile(elsewhere.file("serversStamp")));
    EXPECT_FALSE(std::filesystem::exists(cloud.file("servers")));

    std::filesystem::copy_file(elsewhere.file("servers"), cloud.file("servers"));
    ASSERT_TRUE(waitUntil([&] { return b.text() == "theirs = t@heirs\nmine = m@ine\n"; }));
    EXPECT_EQ(cloud.text(), b.text());
}
