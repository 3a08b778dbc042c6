#pragma once

#include "core/base/Result.h"

#include <QList>
#include <QString>

namespace wendlecott::config {

// Application keys: run positions live under "Tarnhollow", preferences under the product name.
inline const QString kPositionsApp = QStringLiteral("Tarnhollow");
inline const QString kSettingsSection = QStringLiteral("Settings");

// One value of several written together.
struct SettingValue {
    QString key;
    QString value;
};

// The per-user store of text values addressed by (application key, section, key).
// Reading a missing key gives the reader's default; a write takes effect at once and
// reports a failure (a folder that cannot be written) as a WriteFailed status. An empty
// application key, section or key reads as the default and cannot be written.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString getSetting(const QString &app, const QString &section, const QString &key,
                               const QString &defaultValue) const = 0;
    virtual core::Status saveSetting(const QString &app, const QString &section, const QString &key,
                                     const QString &value) = 0;
    // Several values of one application key and section, as one write where the store can
    // (a file store rewrites its file once). The first failure is returned.
    virtual core::Status saveSettings(const QString &app, const QString &section,
                                      const QList<SettingValue> &values)
    {
        core::Status first;
        for (const SettingValue &value : values) {
            const core::Status status = saveSetting(app, section, value.key, value.value);
            if (!status && first)
                first = status;
        }
        return first;
    }
};

// The machine-wide store. Reads of a missing path or value give the default; an empty
// part of the address, a path that cannot be opened or a value that is not text is an
// error with one of the texts of config/MachineSettings.h (machineErrors). A write that
// cannot be stored is a WriteFailed error; config::MachineSettings turns that into the
// "Permission Denied" question.
class MachineSettingsStore {
public:
    virtual ~MachineSettingsStore() = default;
    virtual core::Result<QString> getSetting(const QString &app, const QString &section, const QString &key,
                                             const QString &defaultValue) const = 0;
    virtual core::Status saveSetting(const QString &app, const QString &section, const QString &key,
                                     const QString &value) = 0;
};

} // namespace wendlecott::config
