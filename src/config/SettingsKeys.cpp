#include "config/SettingsKeys.h"

#include <QtNumeric>

namespace wendlecott::config {

QList<SettingKey> allSettingKeys()
{
    using namespace keys;
    return {Throttle,
            DefaultExt,
            DefaultSearch,
            ChkProxy,
            UseRdap,
            Jobs,
            DnsFirst,
            DnsServer,
            DnsQueriesPerSecond,
            WatchHours,
            ReuseRegisteredDays,
            ShowHelp,
            FirstUse,
            TxtMake,
            ChkAdd0,
            ChkAdd1,
            ChkAdd2,
            IgnorePermissionDeniedError,
            GoogleSearchScheme,
            GoogleSearchHost,
            YahooSearchScheme,
            YahooSearchHost,
            WordNumber,
            FullWordNum,
            TwoWordNum,
            ThreeWordNum,
            FourWordNum,
            CustWordNum,
            YahooWordNum,
            GoogleWordNum};
}

SettingKey chkAddKey(int index)
{
    switch (index) {
    case 0:
        return keys::ChkAdd0;
    case 1:
        return keys::ChkAdd1;
    case 2:
        return keys::ChkAdd2;
    default:
        return {kProductName, QStringLiteral("chkAdd") + QString::number(index)};
    }
}

QString readSetting(const SettingsStore &store, const SettingKey &key, const QString &defaultValue)
{
    return store.getSetting(key.app, kSettingsSection, key.key, defaultValue);
}

core::Status writeSetting(SettingsStore &store, const SettingKey &key, const QString &value)
{
    return store.saveSetting(key.app, kSettingsSection, key.key, value);
}

std::optional<qint32> toInt32(const QString &text)
{
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<bool> toTruth(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const qlonglong n = t.toLongLong(&ok, 10);
    if (ok)
        return n != 0;
    // Larger whole numbers and fractions still say yes or no ("0.0" is false).
    const double d = t.toDouble(&ok);
    if (!ok || !qIsFinite(d))
        return std::nullopt;
    return d != 0.0;
}

std::optional<qint32> readInt32Setting(const SettingsStore &store, const SettingKey &key,
                                       const QString &defaultValue)
{
    return toInt32(readSetting(store, key, defaultValue));
}

std::optional<bool> readTruthSetting(const SettingsStore &store, const SettingKey &key,
                                     const QString &defaultValue)
{
    return toTruth(readSetting(store, key, defaultValue));
}

} // namespace wendlecott::config
