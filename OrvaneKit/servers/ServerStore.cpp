#include "ServerStore.h"

#include "SSHConfig.h"
#include "TextFiles.h"

#include <QDateTime>
#include <QDir>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <pwd.h>
#include <set>
#include <tuple>
#include <unistd.h>

namespace orvane {

namespace {

double now()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

// A stamp as stored: anything but a finite positive number is "never".
double stampValue(double stamp)
{
    return std::isfinite(stamp) && stamp > 0 ? stamp : 0;
}

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

// An XDG base folder: the variable when it holds an absolute path, else the default.
std::string xdgFolder(const char* variable, const std::string& fallback)
{
    if (const char* value = std::getenv(variable); value && value[0] == '/')
        return value;
    return fallback;
}

QString qstr(const std::string& s)
{
    return QString::fromStdString(s);
}

std::vector<std::string_view> lines(std::string_view text)
{
    std::vector<std::string_view> out;
    size_t start = 0;
    for (;;) {
        const auto lf = text.find('\n', start);
        out.push_back(text.substr(start, lf == std::string_view::npos ? std::string_view::npos : lf - start));
        if (lf == std::string_view::npos)
            return out;
        start = lf + 1;
    }
}

std::string_view withoutCR(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::set<std::string> hiddenNames(const std::string& text)
{
    std::set<std::string> names;
    for (std::string_view line : lines(text)) {
        line = withoutCR(line);
        if (line.empty())
            continue;
        const auto first = line.find_first_not_of(" \t");
        names.emplace(first == std::string_view::npos
                          ? std::string_view()
                          : line.substr(first, line.find_last_not_of(" \t") - first + 1));
    }
    return names;
}

auto listKey(const Server& s)
{
    return std::tie(s.name, s.target, s.tmux);
}

// The cloud's list united with the servers of this machine's list that it lacks: the cloud
// text, then each line of the own text that is a server with a target the cloud list does not
// have. Comments, blank and invalid lines of the own text are not carried over.
std::string unitedText(const std::string& remote, const std::string& own)
{
    std::set<std::string> remoteTargets;
    for (const auto& server : parseOwnServers(remote))
        remoteTargets.insert(server.target);
    std::vector<std::string_view> kept;
    for (std::string_view line : lines(own)) {
        line = withoutCR(line);
        if (line.empty())
            continue;
        const auto servers = parseOwnServers(line);
        if (servers.size() == 1 && !remoteTargets.contains(servers[0].target))
            kept.push_back(line);
    }
    if (kept.empty())
        return remote;
    std::string text = remote;
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    for (const auto line : kept) {
        text += line;
        text += '\n';
    }
    return text;
}

} // namespace

ServerStore::Places ServerStore::Places::forUser()
{
    const std::string home = homeFolder();
    return {xdgFolder("XDG_DATA_HOME", home + "/.local/share") + "/Orvane", home,
            xdgFolder("XDG_CONFIG_HOME", home + "/.config") + "/Orvane/Orvane.conf"};
}

ServerStore::ServerStore(QObject* parent)
    : ServerStore(Places::forUser(), cloudFor(Places::forUser()), parent)
{
}

ServerStore::ServerStore(Places places, std::unique_ptr<CloudStore> cloud, QObject* parent)
    : QObject(parent), places_(std::move(places)),
      settings_(std::make_unique<QSettings>(qstr(places_.settings), QSettings::IniFormat)),
      cloud_(std::move(cloud))
{
    QDir().mkpath(qstr(places_.dir));
    reload();
    if (!cloud_)
        return;
    cloud_->synchronize();
    mergeFromCloud();
    connect(cloud_.get(), &CloudStore::changedExternally, this, &ServerStore::mergeFromCloud);
}

ServerStore::~ServerStore() = default;

std::unique_ptr<CloudStore> ServerStore::cloudFor(const Places& places)
{
    const QSettings settings(qstr(places.settings), QSettings::IniFormat);
    std::string folder = settings.value(kCloudFolderKey).toString().trimmed().toStdString();
    if (folder.empty())
        return nullptr;
    if (folder == "~" || folder.starts_with("~/"))
        folder = places.home + folder.substr(1);
    else if (folder.front() != '/')
        folder = places.home + "/" + folder;
    return std::make_unique<FolderCloudStore>(folder, std::vector<std::string>{kServersKey, kStampKey});
}

void ServerStore::reload()
{
    const TextFile own = readTextFile(ownPath());
    ownUnreadable_ = own.state == TextFile::unreadable;
    ownText_ = own.state == TextFile::read ? own.text : std::string();

    std::vector<Server> list = parseOwnServers(ownText_);
    const TextFile hidden = readTextFile(hiddenPath());
    std::set<std::string> skipped = hiddenNames(hidden.text);
    for (const auto& server : list)
        skipped.insert(server.name);
    for (auto& host : loadSSHConfigHosts(places_.home)) {
        if (!skipped.contains(host))
            list.push_back(Server{host, host, false, 0, true});
    }
    if (list != servers_) {
        servers_ = std::move(list);
        emit serversChanged();
    }
}

bool ServerStore::readForEdit()
{
    reload();
    return !ownUnreadable_;
}

std::optional<int> ServerStore::lineOf(const Server& server) const
{
    const auto own = parseOwnServers(ownText_);
    for (const auto& s : own) {
        if (s.line == server.line && listKey(s) == listKey(server))
            return s.line;
    }
    for (const auto& s : own) {
        if (listKey(s) == listKey(server))
            return s.line;
    }
    return std::nullopt;
}

void ServerStore::add(std::string name, std::string target, bool tmux)
{
    if (!readForEdit())
        return;
    saveOwnText(editServerLines(ownText_, std::nullopt, std::pair{name, target}, tmux));
}

void ServerStore::update(Server server, std::string name, std::string target, bool tmux)
{
    if (!readForEdit())
        return;
    std::optional<int> line;
    if (server.own) {
        line = lineOf(server);
        if (!line)
            return;  // gone meanwhile: the list as it is now has been published
    } else {
        hide(server.name);
    }
    saveOwnText(editServerLines(ownText_, line, std::pair{name, target}, tmux));
}

void ServerStore::reorder(std::vector<Server> list)
{
    if (!readForEdit())
        return;
    std::vector<Server> own;
    for (const auto& server : list) {
        if (server.own)
            own.push_back(server);
    }
    // Only a new order of the list as it is: a list that changed meanwhile is not written back.
    auto current = parseOwnServers(ownText_);
    auto given = own;
    const auto byKey = [](const Server& a, const Server& b) { return listKey(a) < listKey(b); };
    std::sort(current.begin(), current.end(), byKey);
    std::sort(given.begin(), given.end(), byKey);
    if (!std::equal(current.begin(), current.end(), given.begin(), given.end(),
                    [](const Server& a, const Server& b) { return listKey(a) == listKey(b); }))
        return;
    saveOwnText(reorderedServerLines(ownText_, own));
}

void ServerStore::remove(Server server)
{
    if (!server.own) {
        hide(server.name);
        reload();
        return;
    }
    if (!readForEdit())
        return;
    if (const auto line = lineOf(server))
        saveOwnText(editServerLines(ownText_, *line, std::nullopt, true));
}

void ServerStore::hide(const std::string& name)
{
    TextFile hidden = readTextFile(hiddenPath());
    if (hidden.state == TextFile::unreadable)
        return;
    std::string text = std::move(hidden.text);
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    text += name;
    text += '\n';
    QDir().mkpath(qstr(places_.dir));
    writeTextFile(hiddenPath(), text);
}

void ServerStore::saveOwnText(const std::string& text)
{
    QDir().mkpath(qstr(places_.dir));
    const bool written = writeTextFile(ownPath(), text);
    reload();
    // A failed write changed nothing here, so there is nothing new to send.
    if (written)
        pushToCloud(newStamp());
}

double ServerStore::newStamp() const
{
    // A change is newer than everything it was made from, even on a machine whose clock is
    // behind another's: a smaller stamp would make the change lose against older text.
    double stamp = std::max(now(), std::nextafter(localStamp(), HUGE_VAL));
    if (cloud_)
        stamp = std::max(stamp, std::nextafter(stampValue(cloud_->number(kStampKey).value_or(0)), HUGE_VAL));
    return stamp;
}

double ServerStore::localStamp() const
{
    bool ok = false;
    const double stamp = settings_->value(kLocalStampKey).toDouble(&ok);
    return ok ? stampValue(stamp) : 0;
}

void ServerStore::pushToCloud(double stamp)
{
    if (!cloud_ || ownUnreadable_)
        return;
    settings_->setValue(kLocalStampKey, stamp);
    settings_->sync();
    cloud_->setString(kServersKey, ownText_);
    cloud_->setNumber(kStampKey, stamp);
    cloud_->synchronize();
}

void ServerStore::mergeFromCloud()
{
    if (!cloud_ || !cloud_->settled() || !readForEdit())
        return;
    const double local = localStamp();
    // An empty text is no list: it is what a lost or half-made file looks like.
    const auto remote = cloud_->string(kServersKey);
    if (!remote || remote->empty()) {
        if (!ownText_.empty())
            pushToCloud(local > 0 ? local : now());
        return;
    }
    const double remoteStamp = stampValue(cloud_->number(kStampKey).value_or(0));
    // An empty own text is a missing file, never the user's choice (an emptied list keeps its
    // line feed): it takes the cloud's list instead of sending nothing back.
    if (local < remoteStamp || ownText_.empty()) {
        const std::string text = local == 0 && !ownText_.empty() ? unitedText(*remote, ownText_) : *remote;
        QDir().mkpath(qstr(places_.dir));
        if (!writeTextFile(ownPath(), text))
            return;  // stamps stay as they are: the next change tries again
        reload();
        pushToCloud(text == *remote ? remoteStamp : newStamp());
    } else if (local > remoteStamp) {
        pushToCloud(local);
    }
}

} // namespace orvane
