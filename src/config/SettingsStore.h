#pragma once

#include "core/Result.h"

#include <QString>

namespace wendlecott::config {

// Application keys: run positions live under "Tarnhollow", preferences under the product name.
inline const QString kPositionsApp = QStringLiteral("Tarnhollow");
inline const QString kSettingsSection = QStringLiteral("Settings");

// The per-user store of text values addressed by (application key, section, key).
// Reading a missing key gives the reader's default; a write takes effect at once.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString getSetting(const QString &app, const QString &section, const QString &key,
                               const QString &defaultValue) const = 0;
    virtual core::Status saveSetting(const QString &app, const QString &section, const QString &key,
                                     const QString &value) = 0;
};

// The machine-wide store. Reads of a missing path or value give the default; an empty
// part of the address, a path that cannot be opened or a value that is not text is an
// error with one of the texts of MachineSettingsStore.cpp.
class MachineSettingsStore {
public:
    virtual ~MachineSettingsStore() = default;
    virtual core::Result<QString> getSetting(const QString &app, const QString &section, const QString &key,
                                             const QString &defaultValue) const = 0;
    virtual core::Status saveSetting(const QString &app, const QString &section, const QString &key,
                                     const QString &value) = 0;
};

}  // namespace wendlecott::config
