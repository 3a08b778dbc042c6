#pragma once

#include "config/MachineSettings.h"
#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "core/base/Result.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace wendlecott::testing {

// Settings held in memory, matched without regard to case like the INI store. Tests can
// make writes fail and look at what was written.
class MemorySettingsStore final : public config::SettingsStore {
public:
    QString getSetting(const QString &app, const QString &section, const QString &key,
                       const QString &defaultValue) const override
    {
        if (app.isEmpty() || section.isEmpty() || key.isEmpty())
            return defaultValue;
        return m_values.value(address(app, section, key), defaultValue);
    }

    core::Status saveSetting(const QString &app, const QString &section, const QString &key,
                             const QString &value) override
    {
        ++writeAttempts;
        if (app.isEmpty() || section.isEmpty() || key.isEmpty())
            return core::Status::failure(core::ErrorCode::InvalidInput,
                                         QStringLiteral("empty settings address"));
        if (failWrites)
            return core::Status::failure(core::ErrorCode::WriteFailed,
                                         QStringLiteral("writes fail in this test"));
        m_values.insert(address(app, section, key), value);
        writes.append(key + QLatin1Char('=') + value);
        return core::Status::success();
    }

    core::Status saveSettings(const QString &app, const QString &section,
                              const QList<config::SettingValue> &values) override
    {
        ++batchWrites;
        return config::SettingsStore::saveSettings(app, section, values);
    }

    // Shortcuts over the key table.
    QString value(const config::SettingKey &key, const QString &defaultValue = {}) const
    {
        return config::readSetting(*this, key, defaultValue);
    }
    bool contains(const config::SettingKey &key) const
    {
        return m_values.contains(address(key.app, config::kSettingsSection, key.key));
    }
    void set(const config::SettingKey &key, const QString &value)
    {
        m_values.insert(address(key.app, config::kSettingsSection, key.key), value);
    }
    void clear() { m_values.clear(); }

    bool failWrites = false;
    int writeAttempts = 0;
    int batchWrites = 0; // saveSettings calls
    QStringList writes;  // "key=value", in the order written

private:
    static QString address(const QString &app, const QString &section, const QString &key)
    {
        return app.toCaseFolded() + QLatin1Char('\n') + section.toCaseFolded() + QLatin1Char('\n') +
               key.toCaseFolded();
    }
    QMap<QString, QString> m_values;
};

// The machine-wide store in memory, with the real store's address checks and error texts.
// `failNextWrites` writes fail (then writes succeed again); `failAllWrites` makes every
// write fail, as an account without permission would see.
class MemoryMachineSettingsStore final : public config::MachineSettingsStore {
public:
    core::Result<QString> getSetting(const QString &app, const QString &section, const QString &key,
                                     const QString &defaultValue) const override
    {
        if (const core::Status status = config::checkMachineAddress(app, section, key); !status)
            return status.error();
        return m_values.value(address(app, section, key), defaultValue);
    }

    core::Status saveSetting(const QString &app, const QString &section, const QString &key,
                             const QString &value) override
    {
        ++writeAttempts;
        if (const core::Status status = config::checkMachineAddress(app, section, key); !status)
            return status;
        if (failAllWrites || failNextWrites > 0) {
            if (failNextWrites > 0)
                --failNextWrites;
            return core::Status::failure(core::ErrorCode::WriteFailed, QStringLiteral("access denied"));
        }
        m_values.insert(address(app, section, key), value);
        return core::Status::success();
    }

    bool contains(const QString &app, const QString &section, const QString &key) const
    {
        return m_values.contains(address(app, section, key));
    }

    bool failAllWrites = false;
    int failNextWrites = 0;
    int writeAttempts = 0;

private:
    static QString address(const QString &app, const QString &section, const QString &key)
    {
        return config::machineStorePath(config::kCompanyName, app, section).toCaseFolded() +
               QLatin1Char('\n') + key.toCaseFolded();
    }
    QMap<QString, QString> m_values;
};

} // namespace wendlecott::testing
