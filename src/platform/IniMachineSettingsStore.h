#pragma once

#include "config/ProgramFolder.h"
#include "config/SettingsStore.h"

#include <QString>

namespace wendlecott::platform {

// The machine-wide store as one INI file laid out like a registry export: the group is the
// store path "SOFTWARE\Brindlemoor\<application key>\<section>", the INI key the value
// name. Text values are written in double quotes; a value written as typed data
// ("dword:00000001", "hex:..", "hex(7):..", "qword:..") is not text and reading it is an
// error, as reading such a registry value was.
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
    QString m_filePath;
    QString m_company;
};

} // namespace wendlecott::platform
