#pragma once

#include "config/SettingsStore.h"

#include <QString>

#include <map>
#include <memory>

class QSettings;

namespace wendlecott::platform {

// The per-user settings store: one INI file per application key ("Wendlecott.ini",
// "Tarnhollow.ini") in the user's configuration folder under "Brindlemoor/", the section as
// the INI group, kept by QSettings.
//
// Both programs share the files. A write is on disk before it returns: QSettings rewrites
// the file atomically under its lock file, keeping what another program wrote meanwhile. A
// read first looks whether the file changed (one stat when it did not) and reads it again if
// it did, so it sees every write that has returned anywhere.
//
// A write that cannot be stored is a WriteFailed status. When the folder or the file cannot
// be written at all, nothing of it is kept; when the file could be opened but the write
// failed part-way (a full disk), QSettings keeps the value in memory, this store reads it,
// and it is stored with the next write that succeeds.
//
// Files of the store's earlier layout are taken over on first use (OldIniLayout.h).
class IniSettingsStore final : public config::SettingsStore {
public:
    // `folder` holds the INI files; empty means defaultFolder().
    explicit IniSettingsStore(QString folder = {});
    ~IniSettingsStore() override;
    IniSettingsStore(const IniSettingsStore &) = delete;
    IniSettingsStore &operator=(const IniSettingsStore &) = delete;

    // The configuration folder (XDG_CONFIG_HOME, else ~/.config) + "/Brindlemoor".
    static QString defaultFolder();

    QString folder() const { return m_folder; }
    // The file that holds `app`'s settings (matched without regard to case when it exists).
    QString fileFor(const QString &app) const;

    QString getSetting(const QString &app, const QString &section, const QString &key,
                       const QString &defaultValue) const override;
    core::Status saveSetting(const QString &app, const QString &section, const QString &key,
                             const QString &value) override;
    core::Status saveSettings(const QString &app, const QString &section,
                              const QList<config::SettingValue> &values) override;

private:
    QSettings &settingsFor(const QString &app) const;
    static void reopen(std::unique_ptr<QSettings> &slot);

    QString m_folder;
    mutable std::map<QString, std::unique_ptr<QSettings>> m_files;
};

} // namespace wendlecott::platform
