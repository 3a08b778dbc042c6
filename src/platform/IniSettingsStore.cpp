#include "platform/IniSettingsStore.h"

#include "config/ProgramFolder.h"
#include "core/Paths.h"
#include "core/TextFile.h"
#include "platform/FolderLock.h"
#include "platform/IniDocument.h"
#include "platform/IniJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wendlecott::platform {

namespace {

// An application key as a file name: letters, digits, blanks, "-", "_" and inner dots stay;
// anything else (a separator, "%", a leading dot that would hide the file) is %-escaped.
QString fileNameFor(const QString &app)
{
    QString name;
    for (qsizetype i = 0; i < app.size(); ++i) {
        const QChar c = app.at(i);
        const bool plain = (c.unicode() < 0x80 && c.isLetterOrNumber()) || c == QLatin1Char(' ') ||
                           c == QLatin1Char('-') || c == QLatin1Char('_') || (c == QLatin1Char('.') && i > 0);
        if (plain)
            name += c;
        else
            for (const char byte : QString(c).toUtf8())
                name += QStringLiteral("%%1").arg(uint(uchar(byte)), 2, 16, QLatin1Char('0')).toUpper();
    }
    return name + QStringLiteral(".ini");
}

bool isAddressable(const QString &app, const QString &section, const QString &key)
{
    return !app.isEmpty() && !section.isEmpty() && !key.isEmpty();
}

// What tells one version of a file from another without reading it. Every rewrite puts a
// new file in place (a new inode), and a hand edit changes the size or the times.
struct Stamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    timespec mtime{};
    timespec ctime{};
    mode_t mode = 0;

    static Stamp of(const struct stat &st)
    {
        return Stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim, st.st_mode};
    }
    bool operator==(const Stamp &other) const
    {
        return dev == other.dev && ino == other.ino && size == other.size &&
               mtime.tv_sec == other.mtime.tv_sec && mtime.tv_nsec == other.mtime.tv_nsec &&
               ctime.tv_sec == other.ctime.tv_sec && ctime.tv_nsec == other.ctime.tv_nsec;
    }
};

int openFile(const QByteArray &path, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::open(path.constData(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Bytes [from, to) of an open file; nothing when they cannot be read.
std::optional<QByteArray> readRange(int fd, qint64 from, qint64 to)
{
    QByteArray bytes(to - from, Qt::Uninitialized);
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, size_t(bytes.size() - done), off_t(from + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        done += n;
    }
    return bytes;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

// What the store knows of one application key's files.
struct IniSettingsStore::AppFile {
    QString fileName; // fileNameFor(app)
    QString iniPath;  // resolved against the folder; empty until first needed
    QByteArray iniNative;
    QByteArray journalNative;

    // `doc` and `iniStamp` describe the INI file as it was last seen.
    bool loaded = false;
    bool iniExists = false;
    bool iniUnreadable = false;
    Stamp iniStamp;
    IniDocument doc;

    // The journal as read so far: its values, the descriptor it was read through (which
    // appends go to when it is writable) and how far it has been read.
    IniJournalValues journal;
    int journalFd = -1;
    bool journalWritable = false;
    bool journalUnreadable = false;
    qint64 journalSize = 0;
    qint64 consumed = 0;
    // A journal that could not be folded in is tried again only after it has grown this far.
    qint64 compactAt = 0;

    AppFile() = default;
    AppFile(const AppFile &) = delete;
    AppFile &operator=(const AppFile &) = delete;
    ~AppFile() { closeJournal(); }

    void closeJournal()
    {
        if (journalFd >= 0)
            ::close(journalFd);
        journalFd = -1;
        journalWritable = false;
    }
    void forgetJournal()
    {
        closeJournal();
        journal.clear();
        journalUnreadable = false;
        journalSize = 0;
        consumed = 0;
    }
    void forgetAll()
    {
        forgetJournal();
        loaded = false;
        iniExists = false;
        iniUnreadable = false;
        iniStamp = Stamp();
        doc = IniDocument();
    }
    void setPath(const QString &path)
    {
        if (path == iniPath)
            return;
        forgetAll();
        iniPath = path;
        iniNative = QFile::encodeName(path);
        journalNative = QFile::encodeName(journalFor(path));
    }
    std::optional<QString> value(const QString &section, const QString &key) const
    {
        if (const QString *fromJournal = journal.find(section, key))
            return *fromJournal;
        return doc.value(section, key);
    }
};

IniSettingsStore::IniSettingsStore(QString folder)
    : m_folder(folder.isEmpty() ? defaultFolder() : QDir::cleanPath(folder))
    , m_folderNative(QFile::encodeName(m_folder))
{
}

IniSettingsStore::~IniSettingsStore()
{
    m_files.clear();
    closeFolder();
}

QString IniSettingsStore::defaultFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QLatin1Char('/') + config::kCompanyName);
}

QString IniSettingsStore::fileFor(const QString &app) const
{
    return core::resolveUnder(m_folder, fileNameFor(app));
}

IniSettingsStore::AppFile &IniSettingsStore::appFile(const QString &app) const
{
    std::unique_ptr<AppFile> &slot = m_files[app];
    if (!slot) {
        slot = std::make_unique<AppFile>();
        slot->fileName = fileNameFor(app);
    }
    return *slot;
}

// Keeps the folder open for its lock. One stat a call tells whether it is still the folder
// at our path; a folder that was removed or replaced is opened anew, and what we knew of
// its files is dropped with it. False when there is no folder (and none could be made).
// A folder that is there but cannot be opened is used without the lock, as FolderLock
// goes ahead without one rather than fail.
bool IniSettingsStore::openFolder(bool create) const
{
    struct stat st;
    if (::stat(m_folderNative.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        closeFolder();
        if (!create || !QDir().mkpath(m_folder) || ::stat(m_folderNative.constData(), &st) != 0)
            return false;
    } else if (m_folderKnown && quint64(st.st_dev) == m_folderDev && quint64(st.st_ino) == m_folderIno) {
        return true;
    }
    closeFolder();
    m_folderFd = openFile(m_folderNative, O_RDONLY | O_DIRECTORY);
    m_folderDev = quint64(st.st_dev);
    m_folderIno = quint64(st.st_ino);
    m_folderKnown = true;
    return true;
}

void IniSettingsStore::closeFolder() const
{
    if (m_folderFd >= 0)
        ::close(m_folderFd);
    m_folderFd = -1;
    m_folderKnown = false;
    for (auto &entry : m_files)
        entry.second->forgetAll();
}

// Finds the INI file without regard to case; only a file that is not there with the case
// we asked for costs a look through the folder.
void IniSettingsStore::resolve(AppFile &file) const
{
    file.setPath(core::resolveUnder(m_folder, file.fileName));
}

// Brings what `file` knows up to date with the files, under the folder lock: the INI file
// is read again only when it is another file than last time, the journal only from where
// the last call stopped. Costs two or three system calls when nothing changed.
IniSettingsStore::Refresh IniSettingsStore::refresh(AppFile &file) const
{
    if (file.iniPath.isEmpty())
        resolve(file);
    struct stat st;
    int result = ::stat(file.iniNative.constData(), &st);
    if (result != 0 && errno == ENOENT) {
        // Perhaps there under another case now.
        resolve(file);
        result = ::stat(file.iniNative.constData(), &st);
    }
    if (result != 0) {
        if (errno != ENOENT) {
            file.forgetAll();
            file.iniUnreadable = true;
            return Refresh::Unreadable;
        }
        if (!file.loaded || file.iniExists) {
            file.doc = IniDocument();
            file.iniStamp = Stamp();
        }
        file.loaded = true;
        file.iniExists = false;
        file.iniUnreadable = false;
    } else {
        const Stamp stamp = Stamp::of(st);
        if (!file.loaded || !file.iniExists || !(stamp == file.iniStamp)) {
            // Another file than last time: rewritten by a store, which took the journal in
            // and removed it (so ours is read anew), or edited by hand.
            file.forgetAll();
            const core::Result<QString> text =
                S_ISREG(st.st_mode) ? core::readTextFile(file.iniPath)
                                    : core::Result<QString>::failure(core::ErrorCode::ReadFailed, QString());
            if (!text) {
                file.iniUnreadable = true;
                return Refresh::Unreadable;
            }
            file.doc = IniDocument::parse(text.value());
            file.iniStamp = stamp;
            file.iniExists = true;
            file.loaded = true;
        }
    }
    return refreshJournal(file);
}

// The journal half of refresh: takes in what was appended since the last call.
IniSettingsStore::Refresh IniSettingsStore::refreshJournal(AppFile &file) const
{
    struct stat js {};
    if (file.journalFd >= 0 && (::fstat(file.journalFd, &js) != 0 || js.st_nlink == 0))
        file.forgetJournal(); // folded in and removed by a store
    if (file.journalFd < 0) {
        file.forgetJournal();
        int fd = openFile(file.journalNative, O_RDWR | O_APPEND);
        file.journalWritable = fd >= 0;
        if (fd < 0 && errno == EACCES)
            fd = openFile(file.journalNative, O_RDONLY);
        if (fd < 0) {
            file.journalUnreadable = errno != ENOENT;
            return Refresh::Ok;
        }
        file.journalFd = fd;
        if (::fstat(fd, &js) != 0 || !S_ISREG(js.st_mode)) {
            file.closeJournal();
            file.journalUnreadable = true;
            return Refresh::Ok;
        }
    }
    const qint64 size = js.st_size;
    if (size < file.consumed) {
        // Cut back by hand: read it again from the start.
        file.journal.clear();
        file.consumed = 0;
    }
    if (size > file.consumed) {
        const std::optional<QByteArray> bytes = readRange(file.journalFd, file.consumed, size);
        if (!bytes) {
            file.journalUnreadable = true;
            return Refresh::Ok;
        }
        IniJournalChunk chunk = parseIniJournal(*bytes);
        for (IniJournalEntry &entry : chunk.entries)
            file.journal.set(std::move(entry));
        file.consumed += chunk.consumed;
    }
    file.journalUnreadable = false;
    file.journalSize = size;
    return Refresh::Ok;
}

core::Status IniSettingsStore::unreadable(const AppFile &file) const
{
    // Writing beside a file we could not read would hide or lose what it holds.
    const QString path = file.iniUnreadable ? file.iniPath : journalFor(file.iniPath);
    return core::Status::failure(core::ErrorCode::WriteFailed,
                                 QStringLiteral("Could not read %1").arg(QDir::toNativeSeparators(path)));
}

// One record on the end of the journal, in a single write, so that it lands whole after
// every record written before it, by any store.
core::Status IniSettingsStore::append(AppFile &file, const QString &section, const QString &key,
                                      const QString &value)
{
    const auto failure = [&file](const QString &reason) {
        return core::Status::failure(core::ErrorCode::WriteFailed,
                                     QStringLiteral("Could not write %1: %2")
                                         .arg(QFileInfo(journalFor(file.iniPath)).fileName(), reason));
    };
    if (file.journalFd >= 0 && !file.journalWritable)
        return failure(systemError(EACCES));
    if (file.journalFd < 0) {
        // A new journal is as private as the INI file beside it.
        const mode_t mode = file.iniExists ? (file.iniStamp.mode & 0666) : 0644;
        const int fd = openFile(file.journalNative, O_RDWR | O_APPEND | O_CREAT, mode);
        if (fd < 0)
            return failure(systemError(errno));
        // Another store may have made it first and written to it; the next refresh reads
        // whatever it holds from the start.
        file.journalFd = fd;
        file.journalWritable = true;
        file.journal.clear();
        file.consumed = 0;
    }

    const QByteArray record = encodeIniJournalRecord(section, key, value);
    const qint64 faultAfter = core::writeFaultAfterBytes();
    const bool faulted = faultAfter >= 0 && record.size() > faultAfter;
    const qsizetype length = faulted ? qsizetype(faultAfter) : record.size();
    ssize_t written;
    do {
        written = ::write(file.journalFd, record.constData(), size_t(length));
    } while (written < 0 && errno == EINTR);
    if (written < 0)
        return failure(systemError(errno));
    if (faulted || written != record.size()) {
        // What went out is a record without its line end, which no reader takes; the rest
        // is not written after it, where another store's record may already stand.
        return failure(QStringLiteral("the disk is full"));
    }
    file.journalSize += record.size();
    return core::Status::success();
}

// Rewrites the INI file with the journal's values (and the one value given, if any) and
// then removes the journal. Called under the exclusive lock, after a refresh.
core::Status IniSettingsStore::rewrite(AppFile &file, const QString *section, const QString *key,
                                       const QString *value)
{
    if (file.iniUnreadable || file.journalUnreadable)
        return unreadable(file);
    IniDocument doc = file.doc;
    for (const IniJournalEntry &entry : file.journal.entries())
        doc.setValue(entry.section, entry.key, entry.value);
    if (section)
        doc.setValue(*section, *key, *value);
    const core::Status written =
        core::writeTextAtomically(file.iniPath, doc.toText(), core::Durability::Unsynced);
    if (!written)
        return written;
    // Only now that the INI file holds all of it may the journal go. Dying before this
    // line leaves a journal whose values the INI file already has; reading it again over
    // them changes nothing.
    const bool removed = ::unlink(file.journalNative.constData()) == 0 || errno == ENOENT;
    file.forgetJournal();
    file.compactAt = 0;
    struct stat st;
    if (::stat(file.iniNative.constData(), &st) == 0) {
        file.doc = std::move(doc);
        file.iniStamp = Stamp::of(st);
        file.iniExists = true;
        file.iniUnreadable = false;
        file.loaded = true;
    } else {
        file.loaded = false;
    }
    // A journal left behind would play its older values over the one just written.
    if (!removed)
        return core::Status::failure(
            core::ErrorCode::WriteFailed,
            QStringLiteral("Could not remove %1: %2")
                .arg(QFileInfo(journalFor(file.iniPath)).fileName(), systemError(errno)));
    return core::Status::success();
}

QString IniSettingsStore::getSetting(const QString &app, const QString &section, const QString &key,
                                     const QString &defaultValue) const
{
    if (!isAddressable(app, section, key))
        return defaultValue;
    const std::lock_guard<std::mutex> guard(m_mutex);
    if (!openFolder(false))
        return defaultValue; // nothing stored yet
    AppFile &file = appFile(app);
    const FolderLock lock(m_folderFd, FolderLock::Mode::Shared);
    if (refresh(file) != Refresh::Ok)
        return defaultValue;
    return file.value(section, key).value_or(defaultValue);
}

core::Status IniSettingsStore::saveSetting(const QString &app, const QString &section, const QString &key,
                                           const QString &value)
{
    if (!isAddressable(app, section, key))
        return core::Status::failure(
            core::ErrorCode::InvalidInput,
            QStringLiteral("A setting needs an application key, a section and a key"));
    const std::lock_guard<std::mutex> guard(m_mutex);
    if (!openFolder(true))
        return core::Status::failure(core::ErrorCode::WriteFailed,
                                     QStringLiteral("Could not create the settings folder %1").arg(m_folder));
    AppFile &file = appFile(app);

    FolderLock shared(m_folderFd, FolderLock::Mode::Shared);
    if (refresh(file) != Refresh::Ok || file.journalUnreadable)
        return unreadable(file);
    if (file.value(section, key) == value)
        return core::Status::success();

    if (!file.iniExists) {
        // The first value of this application key makes its INI file, so that the file is
        // there to be found (and read) from then on.
        shared.unlock();
        const FolderLock exclusive(m_folderFd, FolderLock::Mode::Exclusive);
        if (refresh(file) != Refresh::Ok || file.journalUnreadable)
            return unreadable(file);
        if (!file.iniExists)
            return rewrite(file, &section, &key, &value);
        if (file.value(section, key) == value)
            return core::Status::success();
        return append(file, section, key, value);
    }

    if (const core::Status appended = append(file, section, key, value); !appended)
        return appended;

    if (file.journalSize > std::max(m_journalLimit, file.compactAt)) {
        // The write has taken effect; folding the journal in is housekeeping, and waits
        // only briefly for readers and writers elsewhere to let go of the folder.
        shared.unlock();
        const FolderLock exclusive(m_folderFd, FolderLock::Mode::Exclusive, 100);
        bool folded = false;
        if (exclusive.isLocked() && refresh(file) == Refresh::Ok)
            folded = file.journalSize <= m_journalLimit || rewrite(file, nullptr, nullptr, nullptr).ok();
        if (!folded)
            file.compactAt = file.journalSize + std::max<qint64>(m_journalLimit / 4, 1);
    }
    return core::Status::success();
}

core::Status IniSettingsStore::compact(const QString &app)
{
    if (app.isEmpty())
        return core::Status::failure(
            core::ErrorCode::InvalidInput,
            QStringLiteral("A setting needs an application key, a section and a key"));
    const std::lock_guard<std::mutex> guard(m_mutex);
    if (!openFolder(false))
        return core::Status::success(); // nothing stored
    AppFile &file = appFile(app);
    const FolderLock exclusive(m_folderFd, FolderLock::Mode::Exclusive);
    if (refresh(file) != Refresh::Ok || file.journalUnreadable)
        return unreadable(file);
    if (file.journalFd < 0)
        return core::Status::success();
    return rewrite(file, nullptr, nullptr, nullptr);
}

} // namespace wendlecott::platform
