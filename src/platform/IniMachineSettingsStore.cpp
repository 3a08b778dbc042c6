#include "platform/IniMachineSettingsStore.h"

#include "config/MachineSettings.h"
#include "core/base/TextFile.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace wendlecott::platform {

IniMachineSettingsStore::IniMachineSettingsStore(QString filePath, QString companyName)
    : m_filePath(std::move(filePath)), m_company(std::move(companyName))
{
}

QString IniMachineSettingsStore::defaultPath()
{
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    // The last location is the system-wide one; the first is the user's own.
    const QString base = locations.size() > 1 ? locations.last() : QStringLiteral("/etc/xdg");
    return QDir::cleanPath(base + QLatin1Char('/') + config::kCompanyName + QStringLiteral("/machine.ini"));
}

QString IniMachineSettingsStore::settingsKey(const QString &app, const QString &section,
                                             const QString &key) const
{
    QString path = config::machineStorePath(m_company, app, section);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path + QLatin1Char('/') + key;
}

core::Result<QString> IniMachineSettingsStore::getSetting(const QString &app, const QString &section,
                                                          const QString &key,
                                                          const QString &defaultValue) const
{
    if (const core::Status address = config::checkMachineAddress(app, section, key); !address)
        return address.error();
    // Only a regular file is read: a FIFO would hold the program.
    if (!core::checkWriteTarget(m_filePath))
        return core::Result<QString>::failure(core::ErrorCode::ReadFailed,
                                              config::machineErrors::CannotOpenSection);
    const QSettings settings(m_filePath, QSettings::IniFormat);
    if (settings.status() == QSettings::AccessError)
        return core::Result<QString>::failure(core::ErrorCode::ReadFailed,
                                              config::machineErrors::CannotOpenSection);
    const QVariant value = settings.value(settingsKey(app, section, key));
    if (!value.isValid())
        return defaultValue;
    if (value.typeId() != QMetaType::QString)
        return core::Result<QString>::failure(core::ErrorCode::InvalidInput,
                                              config::machineErrors::NotAString);
    const QString text = value.toString();
    return text.isNull() ? QStringLiteral("") : text;
}

core::Status IniMachineSettingsStore::saveSetting(const QString &app, const QString &section,
                                                  const QString &key, const QString &value)
{
    if (const core::Status address = config::checkMachineAddress(app, section, key); !address)
        return address;
    // Nothing but a regular file is replaced (QSettings would follow a link onto a device).
    if (const core::Status target = core::checkWriteTarget(m_filePath); !target)
        return target;
    QSettings::Status status = QSettings::NoError;
    {
        QSettings settings(m_filePath, QSettings::IniFormat);
        if (settings.status() == QSettings::AccessError)
            return core::Status::failure(core::ErrorCode::WriteFailed,
                                         config::machineErrors::CannotOpenSection);
        // Checked first, so that a write given up is not kept in memory either.
        if (!settings.isWritable())
            return core::Status::failure(core::ErrorCode::WriteFailed,
                                         QStringLiteral("Could not write %1").arg(m_filePath));
        settings.setValue(settingsKey(app, section, key), value);
        settings.sync();
        status = settings.status();
    }
    if (status == QSettings::FormatError) // no later error is recorded over that one
        status = QSettings(m_filePath, QSettings::IniFormat).status();
    if (status == QSettings::AccessError)
        return core::Status::failure(core::ErrorCode::WriteFailed,
                                     QStringLiteral("Could not write %1").arg(m_filePath));
    return core::Status::success();
}

} // namespace wendlecott::platform
