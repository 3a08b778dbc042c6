#pragma once

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace wendlecott::fuzz {

// One fuzz input read as several fields: the bytes are split at NUL bytes into `count`
// parts, the last part taking the rest (NUL bytes included). Parts the input does not reach
// are empty. The seed maker writes its seeds the same way.
inline QList<QByteArray> splitInput(const std::uint8_t *data, std::size_t size, int count)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<QByteArray> parts;
    qsizetype from = 0;
    while (parts.size() + 1 < count) {
        const qsizetype nul = bytes.indexOf('\0', from);
        if (nul < 0)
            break;
        parts.append(bytes.mid(from, nul - from));
        from = nul + 1;
    }
    parts.append(bytes.mid(from));
    while (parts.size() < count)
        parts.append(QByteArray());
    return parts;
}

// A property of the code under test that must hold for every input; libFuzzer keeps the
// input that breaks it as a crash.
[[noreturn]] inline void propertyFailed(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    std::abort();
}

} // namespace wendlecott::fuzz

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::wendlecott::fuzz::propertyFailed(#condition, __FILE__, __LINE__);                              \
    } while (false)
