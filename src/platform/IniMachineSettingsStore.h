#pragma once

#include "config/ProgramFolder.h"
#include "config/SettingsStore.h"

#include <QString>

namespace wendlecott::platform {

// The machine-wide store as one INI file kept by QSettings, addressed like the registry it
// stands for: the group is the store path "SOFTWARE\Brindlemoor\<application key>\<section>"
// (QSettings takes the backslashes as its own group separators), the key the value name.
// A value that QSettings reads as something other than one text (a list, "@ByteArray(..)",
// "@Variant(..)") is no text, and reading it is an error, as reading such a registry value was.
class IniMachineSettingsStore final : public config::MachineSettingsStore {
public:
    explicit IniMachineSettingsStore(QString filePath, QString companyName = config::kCompanyName);

    // The machine-wide configuration folder (/etc/xdg) + "/Brindlemoor/machine.ini"; only an
    // administrator can write there.
    static QString defaultPath();

    QString filePath() const { return m_filePath; }

    core::Result<QString> getSetting(const QString &app, const QString &section, const QString &key,
                                     const QString &defaultValue) const override;
    core::Status saveSetting(const QString &app, const QString &section, const QString &key,
                             const QString &value) override;

private:
    QString settingsKey(const QString &app, const QString &section, const QString &key) const;

    QString m_filePath;
    QString m_company;
};

} // namespace wendlecott::platform
