#include "RemoteLink.h"

#include "UserDefaults.h"
#include "Utf8.h"

#include <QSettings>
#include <QVariantMap>

namespace orvane {

void RemoteLink::appendLoginText(std::span<const uint8_t> bytes)
{
    loginText += sanitizeUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    // Keep the last characters (not bytes): cut at a character boundary.
    const QString text = QString::fromStdString(loginText);
    if (text.size() > qsizetype(kLoginTextLimit))
        loginText = text.right(qsizetype(kLoginTextLimit)).toStdString();
}

Server localTmuxServer()
{
    return Server{"Local tmux", "", false, 0, true};
}

std::map<std::string, bool>& keyLoginRecord()
{
    static std::map<std::string, bool> record = [] {
        std::map<std::string, bool> r;
        const QSettings settings(userDefaultsPath(), QSettings::IniFormat);
        const QVariantMap stored = settings.value(QStringLiteral("orvaneAuthKey")).toMap();
        for (auto it = stored.begin(); it != stored.end(); ++it) {
            const QString v = it.value().toString();
            if (it.value().typeId() != QMetaType::Bool && v != u"true" && v != u"false")
                return std::map<std::string, bool>();  // not all Booleans: start empty
            r[it.key().toStdString()] = it.value().typeId() == QMetaType::Bool ? it.value().toBool() : v == u"true";
        }
        return r;
    }();
    return record;
}

void saveKeyLoginRecord()
{
    QVariantMap map;
    for (const auto& [id, key] : keyLoginRecord())
        map.insert(QString::fromStdString(id), key);
    QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("orvaneAuthKey"), map);
}

std::string loginClosedMessage(const std::string& loginText, const std::string& serverName)
{
    const std::string closed = "\r\n[Connection closed. Close this window with \u2318W.]\r\n";
    const QString lower = QString::fromStdString(loginText).toLower();
    if (lower.contains(u"tmux") && (lower.contains(u"not found") || lower.contains(u"no such file")))
        return "\r\n[tmux does not seem to be installed on " + serverName +
               ". Install it there (e.g. apt install tmux).]" + closed;
    return closed;
}

}  // namespace orvane
