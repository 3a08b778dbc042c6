#include "core/store/AnswerText.h"

#include "core/store/StoredAnswer.h"

#include <QFile>

#include <zstd.h>

#include <map>
#include <mutex>
#include <utility>

namespace wendlecott::store {

namespace {

// zstd's fastest level short of the negative ones: about 300 MB/s with the dictionary, and an
// answer of .com's registry in an eighth of its size.
constexpr int kCompressionLevel = 1;

QByteArray dictionaryBytes(unsigned id)
{
    QFile file(QStringLiteral(":/wendlecott/answer-text-%1.zdict").arg(id));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct FreeDDict {
    void operator()(ZSTD_DDict *dictionary) const { ZSTD_freeDDict(dictionary); }
};
struct FreeDCtx {
    void operator()(ZSTD_DCtx *context) const { ZSTD_freeDCtx(context); }
};

// The dictionary a frame names, loaded once and shared by every thread (zstd only reads it);
// null when this version does not have it.
const ZSTD_DDict *readingDictionary(unsigned id)
{
    static std::mutex mutex;
    static std::map<unsigned, std::unique_ptr<ZSTD_DDict, FreeDDict>> loaded;
    const std::lock_guard lock(mutex);
    auto found = loaded.find(id);
    if (found == loaded.end()) {
        const QByteArray bytes = dictionaryBytes(id);
        ZSTD_DDict *dictionary =
            bytes.isEmpty() ? nullptr : ZSTD_createDDict(bytes.constData(), std::size_t(bytes.size()));
        found = loaded.emplace(id, dictionary).first;
    }
    return found->second.get();
}

QString unreadable(const QString &why)
{
    return QStringLiteral("[The stored text of this answer cannot be read: %1.]").arg(why);
}

} // namespace

struct AnswerTextPacker::Zstd {
    ZSTD_CCtx *context = nullptr;
    ZSTD_CDict *dictionary = nullptr;
    ~Zstd()
    {
        ZSTD_freeCDict(dictionary);
        ZSTD_freeCCtx(context);
    }
};

AnswerTextPacker::AnswerTextPacker() : m_zstd(std::make_unique<Zstd>())
{
    const QByteArray bytes = dictionaryBytes(kAnswerDictionaryId);
    if (bytes.isEmpty())
        return;
    m_zstd->dictionary = ZSTD_createCDict(bytes.constData(), std::size_t(bytes.size()), kCompressionLevel);
    m_zstd->context = ZSTD_createCCtx();
    // Every frame names its dictionary and carries its size and a checksum: a damaged frame is
    // told apart from a text, and its size is known before anything is allocated for it.
    if (!m_zstd->context || !m_zstd->dictionary ||
        ZSTD_isError(ZSTD_CCtx_refCDict(m_zstd->context, m_zstd->dictionary)) ||
        ZSTD_isError(ZSTD_CCtx_setParameter(m_zstd->context, ZSTD_c_checksumFlag, 1))) {
        ZSTD_freeCCtx(std::exchange(m_zstd->context, nullptr));
    }
}

AnswerTextPacker::~AnswerTextPacker() = default;

QByteArrayView AnswerTextPacker::pack(QByteArrayView utf8)
{
    if (utf8.isEmpty() || !m_zstd->context || !m_zstd->dictionary)
        return {};
    m_frame.resize(qsizetype(ZSTD_compressBound(std::size_t(utf8.size()))));
    const std::size_t size = ZSTD_compress2(m_zstd->context, m_frame.data(), std::size_t(m_frame.size()),
                                            utf8.data(), std::size_t(utf8.size()));
    if (ZSTD_isError(size) || qsizetype(size) >= utf8.size())
        return {};
    return QByteArrayView(m_frame.constData(), qsizetype(size));
}

QString unpackAnswerText(const QVariant &stored)
{
    if (stored.typeId() != QMetaType::QByteArray)
        return stored.toString();
    const QByteArray frame = stored.toByteArray();
    const unsigned long long size = ZSTD_getFrameContentSize(frame.constData(), std::size_t(frame.size()));
    if (size == ZSTD_CONTENTSIZE_ERROR || size == ZSTD_CONTENTSIZE_UNKNOWN ||
        size > static_cast<unsigned long long>(kMaxStoredAnswerBytes))
        return unreadable(QStringLiteral("it is not a compressed answer of this program"));
    const unsigned id = ZSTD_getDictID_fromFrame(frame.constData(), std::size_t(frame.size()));
    const ZSTD_DDict *dictionary = id != 0 ? readingDictionary(id) : nullptr;
    if (id != 0 && !dictionary)
        return unreadable(QStringLiteral("it needs dictionary %1, which this version does not have").arg(id));
    thread_local const std::unique_ptr<ZSTD_DCtx, FreeDCtx> context(ZSTD_createDCtx());
    if (!context)
        return unreadable(QStringLiteral("zstd could not be set up"));
    QByteArray text(qsizetype(size), Qt::Uninitialized);
    const std::size_t written =
        ZSTD_decompress_usingDDict(context.get(), text.data(), std::size_t(text.size()), frame.constData(),
                                   std::size_t(frame.size()), dictionary);
    if (ZSTD_isError(written) || written != size)
        return unreadable(ZSTD_isError(written) ? QString::fromLatin1(ZSTD_getErrorName(written))
                                                : QStringLiteral("it is shorter than it says"));
    return QString::fromUtf8(text);
}

} // namespace wendlecott::store
