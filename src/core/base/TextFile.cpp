#include "core/base/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wendlecott::core {

namespace {

// -1: writes do not fail on purpose.
qint64 g_failAfterBytes = -1;

QString describe(const QString &path, const QString &reason)
{
    return QStringLiteral("Could not write %1: %2").arg(QFileInfo(path).fileName(), reason);
}

} // namespace

WriteFaultScope::WriteFaultScope(qint64 failAfterBytes) : m_previous(g_failAfterBytes)
{
    g_failAfterBytes = failAfterBytes;
}

WriteFaultScope::~WriteFaultScope()
{
    g_failAfterBytes = m_previous;
}

namespace {

// One piece as UTF-8 when it is valid UTF-8, else as Latin-1.
QString decodePiece(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace

QString decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Decided line by line: one stray byte must not turn the UTF-8 of every other line
    // into Latin-1. LF is one byte in both, so the pieces split where the lines do.
    text.clear();
    text.reserve(bytes.size());
    const QByteArrayView all(bytes);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        end = end < 0 ? all.size() : end + 1;
        text += decodePiece(all.sliced(start, end - start));
        start = end;
    }
    return text;
}

QByteArray encodeText(const QString &text)
{
    return text.toUtf8();
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    if (text.isEmpty())
        return lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        const qsizetype next = end < 0 ? size : end + 1;
        if (end < 0)
            end = size;
        qsizetype stop = end;
        if (stop > start && text.at(stop - 1) == QLatin1Char('\r'))
            --stop;
        lines.append(text.mid(start, stop - start));
        start = next;
    }
    return lines;
}

QString joinLinesCrLf(const QStringList &lines)
{
    QString out;
    qsizetype total = 0;
    for (const QString &line : lines)
        total += line.size() + 2;
    out.reserve(total);
    for (const QString &line : lines) {
        out += line;
        out += QLatin1String(kCrLf);
    }
    return out;
}

Status requireRegularFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Status::failure(ErrorCode::NotFound, QStringLiteral("File %1 not found.").arg(path));
    // A FIFO would block the open until a writer comes; a device such as /dev/zero never ends.
    if (!info.isFile())
        return Status::failure(ErrorCode::InvalidInput,
                               QStringLiteral("%1 is not a regular file; it is not read.").arg(path));
    return Status::success();
}

QString sizeText(qint64 bytes)
{
    return QStringLiteral("%1 MiB").arg(bytes >> 20);
}

Result<QByteArray> readBytes(const QString &path)
{
    QFile file(path);
    if (const Status regular = requireRegularFile(path); !regular)
        return regular.error();
    if (!file.open(QIODevice::ReadOnly))
        return Result<QByteArray>::failure(
            ErrorCode::ReadFailed, QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
    return file.readAll();
}

Result<QByteArray> readBytes(const QString &path, qint64 maxBytes)
{
    QFile file(path);
    if (const Status regular = requireRegularFile(path); !regular)
        return regular.error();
    if (!file.open(QIODevice::ReadOnly))
        return Result<QByteArray>::failure(
            ErrorCode::ReadFailed, QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
    return readAtMost(file, maxBytes);
}

Result<QByteArray> readAtMost(QIODevice &device, qint64 maxBytes)
{
    constexpr qint64 kChunk = qint64(1) << 16;
    QByteArray bytes;
    // A pipe may hand over less than asked for; read until its end or one byte past the limit.
    while (bytes.size() <= maxBytes) {
        const QByteArray chunk = device.read(std::min(kChunk, maxBytes + 1 - qint64(bytes.size())));
        if (chunk.isEmpty())
            break;
        bytes.append(chunk);
    }
    if (bytes.size() > maxBytes)
        return Result<QByteArray>::failure(ErrorCode::InvalidInput,
                                           QStringLiteral("more than %1 bytes").arg(maxBytes));
    return bytes;
}

Result<QString> readTextFile(const QString &path)
{
    auto bytes = readBytes(path);
    if (!bytes)
        return bytes.error();
    return decodeText(bytes.value());
}

Result<QString> readTextFile(const QString &path, qint64 maxBytes)
{
    auto bytes = readBytes(path, maxBytes);
    if (!bytes && bytes.code() == ErrorCode::InvalidInput && QFileInfo(path).isFile())
        return Result<QString>::failure(
            ErrorCode::InvalidInput,
            QStringLiteral("%1 is larger than %2; it is not read.").arg(path, sizeText(maxBytes)));
    if (!bytes)
        return bytes.error();
    return decodeText(bytes.value());
}

Result<QStringList> readLines(const QString &path)
{
    auto text = readTextFile(path);
    if (!text)
        return text.error();
    return splitLines(text.value());
}

namespace {

// Writes `size` bytes to `fd`, going on after short writes; 0 or the errno of the write that
// failed. With a fault armed, only the first bytes of the content go out (of which `offset`
// went out before this piece) and the write fails as a full disk.
int writeFully(int fd, const char *data, qint64 size, qint64 offset = 0)
{
    qint64 budget = g_failAfterBytes >= 0 ? std::clamp<qint64>(g_failAfterBytes - offset, 0, size) : size;
    while (budget > 0) {
        const ssize_t written = ::write(fd, data, std::size_t(budget));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        data += written;
        budget -= written;
        size -= written;
    }
    return size > 0 ? ENOSPC : 0;
}

QString causeOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

Status failed(const QString &path, int error)
{
    return Status::failure(ErrorCode::WriteFailed, describe(path, causeOf(error)));
}

// Where a write to `path` lands: the path itself, or the file a symbolic link leads to.
// Anything that is not a regular file is refused (a device, a FIFO, a folder), and so is a
// link that leads nowhere outside the folder that holds it: a write never creates a file
// where a planted link points.
Result<QString> writeTarget(const QString &path)
{
    QString target = path;
    for (int depth = 0; depth < 32; ++depth) {
        const QFileInfo info(target);
        if (!info.isSymLink()) {
            if (info.exists() && !info.isFile())
                return Result<QString>::failure(
                    ErrorCode::WriteFailed,
                    describe(path, QStringLiteral("%1 is not a regular file; it is not replaced")
                                       .arg(QDir::toNativeSeparators(target))));
            if (!info.exists() && target != path) {
                const QString home = QFileInfo(path).absolutePath() + QLatin1Char('/');
                if (!QDir::cleanPath(info.absoluteFilePath()).startsWith(home))
                    return Result<QString>::failure(
                        ErrorCode::WriteFailed,
                        describe(path, QStringLiteral("it is a link to %1, which does not exist")
                                           .arg(QDir::toNativeSeparators(target))));
            }
            return target;
        }
        target = info.symLinkTarget();
    }
    return Result<QString>::failure(ErrorCode::WriteFailed, describe(path, causeOf(ELOOP)));
}

// Syncs the folder that holds `path`, so that a rename in it survives a power cut.
void syncFolderOf(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

Status checkWriteTarget(const QString &path)
{
    const Result<QString> target = writeTarget(path);
    return target ? Status::success() : target.status();
}

// A temporary file beside the target, with the target's permissions; every write checked
// (and with `Synced` the sync and the close) before the rename over the target.
AtomicFileWriter::AtomicFileWriter(QString path, Durability durability)
    : m_path(std::move(path)), m_durability(durability)
{
    const Result<QString> target = writeTarget(m_path);
    if (!target) {
        m_status = target.status();
        return;
    }
    m_target = target.value();
    const QFileInfo info(m_target);
    m_temporaryName = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                        QStringLiteral(".XXXXXX"));
    m_fd = ::mkostemp(m_temporaryName.data(), O_CLOEXEC);
    if (m_fd < 0) {
        m_status = failed(m_path, errno);
        return;
    }
    struct stat old = {};
    const mode_t mode =
        ::stat(QFile::encodeName(m_target).constData(), &old) == 0 ? (old.st_mode & 07777) : mode_t(0644);
    if (::fchmod(m_fd, mode) != 0) {
        m_status = failed(m_path, errno);
        discard();
    }
}

AtomicFileWriter::~AtomicFileWriter()
{
    discard();
}

void AtomicFileWriter::discard()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    ::unlink(m_temporaryName.constData());
    m_fd = -1;
}

Status AtomicFileWriter::write(QByteArrayView bytes)
{
    if (!m_status || m_fd < 0)
        return m_status ? failed(m_path, EBADF) : m_status;
    if (const int error = writeFully(m_fd, bytes.data(), bytes.size(), m_written); error != 0) {
        m_status = failed(m_path, error);
        discard();
        return m_status;
    }
    m_written += bytes.size();
    return {};
}

Status AtomicFileWriter::commit()
{
    if (!m_status || m_fd < 0)
        return m_status ? failed(m_path, EBADF) : m_status;
    int error = m_durability == Durability::Synced && ::fsync(m_fd) != 0 ? errno : 0;
    if (::close(m_fd) != 0 && error == 0)
        error = errno;
    m_fd = -1;
    if (error == 0 && ::rename(m_temporaryName.constData(), QFile::encodeName(m_target).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(m_temporaryName.constData());
        m_status = failed(m_path, error);
        return m_status;
    }
    if (m_durability == Durability::Synced)
        syncFolderOf(m_target);
    return {};
}

Status writeFileAtomically(const QString &path, const QByteArray &bytes, Durability durability)
{
    AtomicFileWriter file(path, durability);
    if (Status written = file.write(bytes); !written)
        return written;
    return file.commit();
}

Status writeTextAtomically(const QString &path, const QString &text, Durability durability)
{
    return writeFileAtomically(path, encodeText(text), durability);
}

Status appendToFile(const QString &path, const QByteArray &bytes)
{
    const Result<QString> target = writeTarget(path);
    if (!target)
        return target.status();
    // Not blocking: a FIFO put there since is refused below instead of holding the program.
    const int fd = ::open(QFile::encodeName(target.value()).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return failed(path, errno);
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Status::failure(ErrorCode::WriteFailed,
                               describe(path, QStringLiteral("it is not a regular file; it is not written")));
    }
    // A failed append is cut back to the old length, so the file never ends in half a line.
    int error = writeFully(fd, bytes.constData(), bytes.size());
    if (error != 0)
        (void)::ftruncate(fd, info.st_size);
    if (::close(fd) != 0 && error == 0) {
        error = errno;
        (void)::truncate(QFile::encodeName(target.value()).constData(), info.st_size);
    }
    return error == 0 ? Status::success() : failed(path, error);
}

Status appendText(const QString &path, const QString &text)
{
    return appendToFile(path, encodeText(text));
}

} // namespace wendlecott::core
