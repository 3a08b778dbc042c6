#pragma once

#include "config/SettingsStore.h"

#include <QString>

#include <map>
#include <memory>
#include <mutex>

namespace wendlecott::platform {

// The per-user settings store: one INI file per application key ("Wendlecott.ini",
// "Tarnhollow.ini") in the user's configuration folder under "Brindlemoor/", the section
// as the INI group.
//
// A check run stores its positions for every name it takes, so a write must cost
// microseconds, not the rewrite of a file. A write therefore appends one record to a
// journal beside the INI file ("Tarnhollow.ini.journal", see IniJournal.h) with a single
// write, and a read takes the INI file with the journal played over it. Once the journal
// passes journalLimit() the writer folds it into the INI file: it rewrites the INI file
// atomically, then removes the journal. Dying between the two steps leaves both, and
// playing the journal again over the new INI file changes nothing.
//
// Both programs share the files, so every call looks at them: a write takes effect for
// every other store (and the other program) before it returns, and a read sees every
// write that has returned anywhere. What the store keeps in memory is checked against
// the files on each call (their identity, size and modification time) and refreshed
// from them, reading only what the journal gained since.
//
// Calls hold a lock on the folder: shared while reading or appending, exclusive while
// rewriting an INI file, so that no append is lost to a rewrite in progress and no read
// sees a rewritten INI file with the old journal.
class IniSettingsStore final : public config::SettingsStore {
public:
    // `folder` holds the INI files; empty means defaultFolder().
    explicit IniSettingsStore(QString folder = {});
    ~IniSettingsStore() override;
    IniSettingsStore(const IniSettingsStore &) = delete;
    IniSettingsStore &operator=(const IniSettingsStore &) = delete;

    // The configuration folder (XDG_CONFIG_HOME, else ~/.config) + "/Brindlemoor".
    static QString defaultFolder();
    // The journal kept beside an INI file.
    static QString journalFor(const QString &iniFile) { return iniFile + QStringLiteral(".journal"); }

    static constexpr qint64 kDefaultJournalLimit = 64 * 1024;
    // The size in bytes past which a write folds the journal into the INI file.
    qint64 journalLimit() const { return m_journalLimit; }
    void setJournalLimit(qint64 bytes) { m_journalLimit = bytes; }

    QString folder() const { return m_folder; }
    // The file that holds `app`'s settings (matched without regard to case when it exists).
    QString fileFor(const QString &app) const;

    QString getSetting(const QString &app, const QString &section, const QString &key,
                       const QString &defaultValue) const override;
    core::Status saveSetting(const QString &app, const QString &section, const QString &key,
                             const QString &value) override;

    // Folds `app`'s journal into its INI file now. Writes do this by themselves; it is here
    // for a caller that wants the INI file to hold everything (and for tests).
    core::Status compact(const QString &app);

private:
    struct AppFile;
    enum class Refresh { Ok, Unreadable };

    AppFile &appFile(const QString &app) const;
    bool openFolder(bool create) const;
    void closeFolder() const;
    Refresh refresh(AppFile &file) const;
    Refresh refreshJournal(AppFile &file) const;
    void resolve(AppFile &file) const;
    core::Status append(AppFile &file, const QString &section, const QString &key, const QString &value);
    core::Status rewrite(AppFile &file, const QString *section, const QString *key, const QString *value);
    core::Status unreadable(const AppFile &file) const;

    QString m_folder;
    qint64 m_journalLimit = kDefaultJournalLimit;
    mutable std::mutex m_mutex;
    QByteArray m_folderNative;
    // The folder held open for its lock, and which folder it is (replaced folders are reopened).
    mutable int m_folderFd = -1;
    mutable quint64 m_folderDev = 0;
    mutable quint64 m_folderIno = 0;
    mutable bool m_folderKnown = false;
    mutable std::map<QString, std::unique_ptr<AppFile>> m_files;
};

} // namespace wendlecott::platform
