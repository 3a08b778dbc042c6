#include "config/MachineSettings.h"

namespace wendlecott::config {

QString machineStorePath(const QString &company, const QString &app, const QString &section)
{
    return QStringLiteral("SOFTWARE\\") + company.trimmed() + QLatin1Char('\\') + app.trimmed() +
           QLatin1Char('\\') + section.trimmed();
}

core::Status checkMachineAddress(const QString &app, const QString &section, const QString &key)
{
    if (app.trimmed().isEmpty())
        return core::Status::failure(core::ErrorCode::InvalidInput, machineErrors::AppNameEmpty);
    if (section.trimmed().isEmpty())
        return core::Status::failure(core::ErrorCode::InvalidInput, machineErrors::SectionEmpty);
    if (key.trimmed().isEmpty())
        return core::Status::failure(core::ErrorCode::InvalidInput, machineErrors::KeyEmpty);
    return core::Status::success();
}

QString permissionDeniedText(const QString &productName)
{
    return productName +
           QStringLiteral(
               " requires read/write access to the system registry and hard drive in order to run "
               "properly.  This user account does not have the proper permissions set.  As a result "
               "some or all of your settings may not be properly saved.  Please contact your system "
               "administrator or change the permission settings for this account.") +
           QStringLiteral("\r\n\r\n") +
           QStringLiteral(
               "If you would like to prevent this error message from being displayed again, please "
               "press 'Ignore'.");
}

MachineSettings::MachineSettings(MachineSettingsStore &machine, SettingsStore &settings,
                                 core::UserNotice &notice)
    : m_machine(machine), m_settings(settings), m_notice(notice)
{
}

core::Result<QString> MachineSettings::read(const SettingKey &key, const QString &defaultValue) const
{
    return read(key.app, kSettingsSection, key.key, defaultValue);
}

core::Result<QString> MachineSettings::read(const QString &app, const QString &section, const QString &key,
                                            const QString &defaultValue) const
{
    return m_machine.getSetting(app, section, key, defaultValue);
}

core::Status MachineSettings::write(const SettingKey &key, const QString &value)
{
    return write(key.app, kSettingsSection, key.key, value);
}

core::Status MachineSettings::write(const QString &app, const QString &section, const QString &key,
                                    const QString &value)
{
    for (;;) {
        const core::Status status = m_machine.saveSetting(app, section, key, value);
        if (status.ok())
            return status;
        // A bad address is the caller's mistake, not a matter of permissions.
        if (status.code() == core::ErrorCode::InvalidInput)
            return status;
        if (readSetting(m_settings, keys::IgnorePermissionDeniedError,
                        defaults::IgnorePermissionDeniedError) == QLatin1String("1"))
            return status;
        switch (m_notice.askAbortRetryIgnore(kPermissionDeniedTitle, permissionDeniedText())) {
        case core::AbortRetryIgnore::Retry:
            continue;
        case core::AbortRetryIgnore::Ignore:
            // Should this write fail too, the question simply comes back next time.
            (void)writeSetting(m_settings, keys::IgnorePermissionDeniedError, QStringLiteral("1"));
            return status;
        case core::AbortRetryIgnore::Abort:
            return status;
        }
        return status;
    }
}

} // namespace wendlecott::config
