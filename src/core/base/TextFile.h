#pragma once

#include "core/base/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class QIODevice;

namespace wendlecott::core {

// The one place that reads and writes text files.
//
// Reading accepts CR LF and LF line ends and decodes UTF-8, falling back to Latin-1
// for each line whose bytes are not UTF-8. Writing ends every line with CR LF and encodes UTF-8
// (plain ASCII stays single-byte). Files a user cares about are replaced atomically:
// on any failure the old file is left as it was.

inline constexpr char kCrLf[] = "\r\n";

// Bytes as text, decided line by line: a line that is valid UTF-8 is read as UTF-8, any
// other line as Latin-1 (one character per byte).
QString decodeText(const QByteArray &bytes);
QByteArray encodeText(const QString &text);

// Splits text into lines at LF, dropping a CR before it. A final line end does not start
// an extra empty line: "a\r\nb\r\n" gives {"a", "b"}, "a\r\n\r\n" gives {"a", ""}.
QStringList splitLines(const QString &text);

// Every line followed by CR LF.
QString joinLinesCrLf(const QStringList &lines);

// The longest line a list file may hold; a longer one is no name, and refused.
inline constexpr qsizetype kMaxLineBytes = qsizetype(1) << 20;

// Success when `path` names a regular file (a symbolic link is followed). NotFound when
// nothing is there, InvalidInput naming the path when it is a FIFO, a device, a folder or
// anything else that could block a read or never end. Every read below checks it first.
Status requireRegularFile(const QString &path);

// The whole file as text. NotFound when it does not exist, ReadFailed when it cannot be read,
// InvalidInput when it is not a regular file.
Result<QString> readTextFile(const QString &path);
// The same for a file of at most `maxBytes` bytes; a longer one is refused (InvalidInput,
// the message names the file and the limit) after reading one byte past the limit.
Result<QString> readTextFile(const QString &path, qint64 maxBytes);
// "N MiB" for a limit in bytes, for messages.
QString sizeText(qint64 bytes);
// The file's lines, as splitLines gives them.
Result<QStringList> readLines(const QString &path);
// Raw bytes of a file.
Result<QByteArray> readBytes(const QString &path);
// Raw bytes of a file of at most `maxBytes` bytes; a longer file is refused (InvalidInput)
// after reading one byte past the limit, so a huge or endless file costs no more than that.
Result<QByteArray> readBytes(const QString &path, qint64 maxBytes);
// The same for what a device (standard input) gives until its end.
Result<QByteArray> readAtMost(QIODevice &device, qint64 maxBytes);

// Replaces the file with `bytes` atomically: a temporary file beside the target is written,
// every write checked, then renamed over the target. On failure the old file is intact and a
// WriteFailed status names the file and the system's cause ("No space left on device").
// A symbolic link is followed to a regular file; a link to anything else (a device, a FIFO)
// or to a file that does not exist outside the link's folder is refused, as is a target that
// is not a regular file: nothing but a regular file is ever replaced.
// `Synced` also waits until the new content is on the disk before the rename (list files,
// the TLD table); `Unsynced` skips that wait for small files rewritten many times a second
// (settings), which stay whole after a crash of the program but may fall back to the old
// content after a power cut.
enum class Durability { Synced, Unsynced };
// Success when a write to `path` would be made by the rule above (also for writers that are
// not this module's, such as QSettings); otherwise WriteFailed saying why.
Status checkWriteTarget(const QString &path);
Status writeFileAtomically(const QString &path, const QByteArray &bytes,
                           Durability durability = Durability::Synced);
Status writeTextAtomically(const QString &path, const QString &text,
                           Durability durability = Durability::Synced);
// A file replaced atomically as above, written a piece at a time, for content too large to
// hold whole in memory (an export of a million answers). The pieces go into a temporary file
// beside the target; commit() renames it over the target. Destroyed before commit(), or after
// a failed write, it removes the temporary file and the target keeps its old content.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(QString path, Durability durability = Durability::Synced);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    // Why the file cannot be written (the target refused, no temporary file): then write()
    // and commit() fail with it too.
    Status status() const { return m_status; }
    Status write(QByteArrayView bytes);
    // Syncs (with `Synced`), closes and renames: the new content replaces the old.
    Status commit();

private:
    void discard();

    QString m_path;
    QString m_target;
    QByteArray m_temporaryName;
    Durability m_durability;
    int m_fd = -1;
    qint64 m_written = 0;
    Status m_status;
};

// Appends bytes to the end of the file, creating it when missing; the same targets are
// refused as above. On failure the file is cut back to the length it had, so it keeps its
// old content.
Status appendToFile(const QString &path, const QByteArray &bytes);
Status appendText(const QString &path, const QString &text);

// Test hook: while a WriteFaultScope lives, every write through this module stops with
// ENOSPC after `failAfterBytes` bytes of its content, as a full disk would.
class WriteFaultScope {
public:
    explicit WriteFaultScope(qint64 failAfterBytes);
    ~WriteFaultScope();
    WriteFaultScope(const WriteFaultScope &) = delete;
    WriteFaultScope &operator=(const WriteFaultScope &) = delete;

private:
    qint64 m_previous;
};

} // namespace wendlecott::core
