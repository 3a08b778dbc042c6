#pragma once

#include "config/SettingsStore.h"

#include <QString>

namespace wendlecott::platform {

// The per-user settings store: one INI file per application key ("Wendlecott.ini",
// "Tarnhollow.ini") in the user's configuration folder under "Brindlemoor/", the section
// as the INI group. Every read goes to the file, so a second store (or the other program)
// sees a write at once; every write rewrites the file atomically before it returns.
class IniSettingsStore final : public config::SettingsStore {
public:
    // `folder` holds the INI files; empty means defaultFolder().
    explicit IniSettingsStore(QString folder = {});

    // The configuration folder (XDG_CONFIG_HOME, else ~/.config) + "/Brindlemoor".
    static QString defaultFolder();

    QString folder() const { return m_folder; }
    // The file that holds `app`'s settings (matched without regard to case when it exists).
    QString fileFor(const QString &app) const;

    QString getSetting(const QString &app, const QString &section, const QString &key,
                       const QString &defaultValue) const override;
    core::Status saveSetting(const QString &app, const QString &section, const QString &key,
                             const QString &value) override;

private:
    QString m_folder;
};

} // namespace wendlecott::platform
