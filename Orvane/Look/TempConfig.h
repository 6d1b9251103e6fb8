// For tests: XDG_CONFIG_HOME points at a fresh temporary folder while this object lives.
#pragma once

#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace orvane::testing {

class TempConfig {
public:
    TempConfig() : old_(qgetenv("XDG_CONFIG_HOME")) { qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit()); }
    ~TempConfig() { qputenv("XDG_CONFIG_HOME", old_); }
    TempConfig(const TempConfig&) = delete;
    TempConfig& operator=(const TempConfig&) = delete;

    // Replaces the user defaults file with `text`, as a user editing it by hand would.
    void write(const QByteArray& text) const
    {
        const QString path = userDefaultsPath();
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(text);
    }
    QByteArray read() const
    {
        QFile file(userDefaultsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QByteArray old_;
    QTemporaryDir dir_;
};

}  // namespace orvane::testing
