#include "UserDefaults.h"

#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <cmath>

namespace orvane {

QString userDefaultsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Orvane/Orvane.conf");
}

namespace {

std::optional<double> number(const QVariant& v)
{
    double d = 0;
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        d = v.toDouble();
        break;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        bool ok = false;
        d = v.toString().trimmed().toDouble(&ok);
        if (!ok)
            return std::nullopt;
        break;
    }
    default:
        return std::nullopt;
    }
    if (std::isnan(d))
        return std::nullopt;
    return d;
}

}  // namespace

std::optional<std::vector<double>> numberArray(const QVariant& value)
{
    if (!value.isValid())
        return std::nullopt;
    QVariantList entries;
    if (value.metaType().id() == QMetaType::QVariantList)
        entries = value.toList();
    else if (value.metaType().id() == QMetaType::QStringList)
        for (const QString& s : value.toStringList())
            entries.append(s);
    else
        entries.append(value);
    std::vector<double> out;
    out.reserve(size_t(entries.size()));
    for (const QVariant& e : entries) {
        const auto d = number(e);
        if (!d)
            return std::nullopt;
        out.push_back(*d);
    }
    return out;
}

}  // namespace orvane
