#include "core/TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <QStringDecoder>
#include <algorithm>
#include <filesystem>

namespace wendlecott::core {

namespace {

// -1: writes do not fail on purpose.
qint64 g_failAfterBytes = -1;

// Writes through the fault hook: with a fault armed, only the first bytes go out and the
// write reports failure.
bool writeAll(QIODevice &device, const QByteArray &bytes)
{
    if (g_failAfterBytes >= 0 && bytes.size() > g_failAfterBytes) {
        device.write(bytes.constData(), g_failAfterBytes);
        return false;
    }
    return device.write(bytes) == bytes.size();
}

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

// Writes a temporary file beside the target and renames it over the target, without
// waiting for the disk.
Status writeUnsynced(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    QTemporaryFile temporary(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                             QStringLiteral(".XXXXXX"));
    if (!temporary.open())
        return Status::failure(ErrorCode::WriteFailed, describe(path, temporary.errorString()));
    if (!writeAll(temporary, bytes) || !temporary.flush()) {
        const QString reason = temporary.error() != QFileDevice::NoError ? temporary.errorString()
                                                                         : QStringLiteral("the disk is full");
        return Status::failure(ErrorCode::WriteFailed, describe(path, reason));
    }
    if (QFileInfo::exists(path))
        temporary.setPermissions(QFile::permissions(path));
    else
        temporary.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    std::error_code error;
    std::filesystem::rename(temporary.fileName().toStdString(), path.toStdString(), error);
    if (error)
        return Status::failure(ErrorCode::WriteFailed,
                               describe(path, QString::fromStdString(error.message())));
    temporary.setAutoRemove(false); // it is the target now
    return Status::success();
}

} // namespace

Status writeFileAtomically(const QString &path, const QByteArray &bytes, Durability durability)
{
    if (durability == Durability::Unsynced)
        return writeUnsynced(path, bytes);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(ErrorCode::WriteFailed, describe(path, file.errorString()));
    if (!writeAll(file, bytes)) {
        const QString reason =
            file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("the disk is full");
        file.cancelWriting();
        return Status::failure(ErrorCode::WriteFailed, describe(path, reason));
    }
    if (!file.commit())
        return Status::failure(ErrorCode::WriteFailed, describe(path, file.errorString()));
    return Status::success();
}

Status writeTextAtomically(const QString &path, const QString &text, Durability durability)
{
    return writeFileAtomically(path, encodeText(text), durability);
}

Status appendToFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return Status::failure(ErrorCode::WriteFailed, describe(path, file.errorString()));
    // A failed append is cut back to the old length, so the file never ends in half a line.
    const qint64 oldSize = file.size();
    if (!writeAll(file, bytes)) {
        const QString reason =
            file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("the disk is full");
        file.flush();
        file.resize(oldSize);
        return Status::failure(ErrorCode::WriteFailed, describe(path, reason));
    }
    if (!file.flush()) {
        const QString reason = file.errorString();
        file.resize(oldSize);
        return Status::failure(ErrorCode::WriteFailed, describe(path, reason));
    }
    return Status::success();
}

Status appendText(const QString &path, const QString &text)
{
    return appendToFile(path, encodeText(text));
}

} // namespace wendlecott::core
