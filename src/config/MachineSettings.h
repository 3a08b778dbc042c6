#pragma once

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "core/base/Result.h"
#include "core/base/UserNotice.h"

#include <QString>

namespace wendlecott::config {

// The texts of the machine-wide store's errors, as callers see them.
namespace machineErrors {
inline const QString AppNameEmpty = QStringLiteral("AppName may not be empty");
inline const QString SectionEmpty = QStringLiteral("Section may not be empty");
inline const QString KeyEmpty = QStringLiteral("Key may not be empty");
inline const QString CannotOpenSection = QStringLiteral("Could not open registry section");
inline const QString NotAString = QStringLiteral("Registry data not a string");
} // namespace machineErrors

inline const QString kPermissionDeniedTitle = QStringLiteral("Permission Denied");

// Where a value lives in the machine-wide store: "SOFTWARE\" + company + "\" + application
// key + "\" + section, each part trimmed of blanks.
QString machineStorePath(const QString &company, const QString &app, const QString &section);

// Checks the address of a machine-store read or write: an application key, section or key
// that is empty (or only blanks) is an InvalidInput error with its own text.
core::Status checkMachineAddress(const QString &app, const QString &section, const QString &key);

// The question shown when the machine-wide store cannot be written.
QString permissionDeniedText(const QString &productName = kProductName);

// Reads and writes the machine-wide store for the windows. A write that fails because the
// store cannot be written asks the user "Permission Denied" with Abort, Retry and Ignore,
// unless the user has already chosen Ignore once ("IgnorePermissionDeniedError" = "1" in
// the per-user store); then failed writes are given up silently.
class MachineSettings {
public:
    MachineSettings(MachineSettingsStore &machine, SettingsStore &settings, core::UserNotice &notice);

    core::Result<QString> read(const SettingKey &key, const QString &defaultValue) const;
    core::Result<QString> read(const QString &app, const QString &section, const QString &key,
                               const QString &defaultValue) const;

    // Success when the value was written; otherwise the last failure of the write (an
    // address error is returned at once, without asking the user).
    core::Status write(const SettingKey &key, const QString &value);
    core::Status write(const QString &app, const QString &section, const QString &key, const QString &value);

private:
    MachineSettingsStore &m_machine;
    SettingsStore &m_settings;
    core::UserNotice &m_notice;
};

} // namespace wendlecott::config
