#include "config/SettingsKeys.h"

namespace wendlecott::config {

QList<SettingKey> allSettingKeys()
{
    using namespace keys;
    return {Throttle,
            DefaultExt,
            DefaultSearch,
            ChkProxy,
            ShowHelp,
            FirstUse,
            TxtMake,
            ChkAdd0,
            ChkAdd1,
            ChkAdd2,
            IgnorePermissionDeniedError,
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
    default:
        return keys::ChkAdd2;
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
    if (!ok)
        return std::nullopt;
    return n != 0;
}

} // namespace wendlecott::config
