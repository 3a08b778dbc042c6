#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <memory>

namespace wendlecott::store {

// The zstd dictionary that new answer texts are compressed with; the program holds it as
// ":/wendlecott/answer-text-<ID>.zdict", beside every dictionary it ever shipped.
constexpr unsigned kAnswerDictionaryId = 1464008705;

// Compresses answer texts for the store, on one thread at a time. Most of a registry's answer
// is the same notice every time, so a zstd frame made with a dictionary trained on real
// answers is a few hundred bytes where the text is a few thousand: the store writes that
// much less, twice over (the WAL, then the file).
class AnswerTextPacker {
public:
    AnswerTextPacker();
    ~AnswerTextPacker();
    AnswerTextPacker(const AnswerTextPacker &) = delete;
    AnswerTextPacker &operator=(const AnswerTextPacker &) = delete;

    // The frame for the UTF-8 text, valid until the next call; empty when the text is better
    // kept as it is: empty itself, no shorter as a frame, or the dictionary not loaded.
    QByteArrayView pack(QByteArrayView utf8);

private:
    struct Zstd;
    std::unique_ptr<Zstd> m_zstd;
    QByteArray m_frame;
};

// An answer's text as the store's file holds it: TEXT as it is, a BLOB as a frame to unpack.
// A frame that cannot be read (damaged, or made with a dictionary this version lacks) gives
// a line that says so, and never more than the store keeps of any answer.
QString unpackAnswerText(const QVariant &stored);

} // namespace wendlecott::store
