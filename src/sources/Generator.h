#pragma once

#include "core/base/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

namespace wendlecott::sources {

// Files of the name generator, relative to the program folder.
inline const QString kAppendsFile = QStringLiteral("\\Appends.txt");
inline const QString kCreatedDomainsFile = QStringLiteral("\\CreatedDomains.txt");
inline const QString kGeneratorTldFile = QStringLiteral("\\TLDs.txt");
inline const QString kCustomListsFolder = QStringLiteral("\\CustomLists");

// Every name in CreatedDomains.txt is followed by CR LF and then an empty line.
inline constexpr char kCreatedDomainsLineEnd[] = "\r\n\r\n";

// The most names one generation builds in the window. Beyond it the building stops and what
// was built is written and checked, as when the list could take no more; it keeps a
// careless affix file from eating all memory (ten million names take about 300 MB).
inline constexpr qint64 kMaxGeneratedNames = 10'000'000;

// A line of Appends.txt holds a word unless it is empty, a single blank or a bare CR LF.
bool isUsableAffixLine(const QString &line);

// The largest affix file read: far more words than a generation can use, while a huge or
// endless file (a device) costs no more memory than this.
inline constexpr qint64 kMaxAffixFileBytes = qint64(16) << 20;

// The usable lines of Appends.txt, in file order. NotFound / ReadFailed when the file
// cannot be read; InvalidInput when it is not a regular file or over kMaxAffixFileBytes.
core::Result<QStringList> readAffixWords(const QString &path);

// The extension items of the generator window, from TLDs.txt: "." + field 1 of every line
// that holds a "|", has four fields or more, is exactly "Enabled" in field 4 and is not
// the "proxy" row; in file order, case as written. A missing file gives no items.
QStringList readGeneratorExtensions(const QString &tldPath);

// Names packed end to end in the format of CreatedDomains.txt ("name" CR LF CR LF), with the
// start of each: a million names cost about 20 MB and are written in one piece, instead of a
// million separate strings.
class NameBuffer {
public:
    void append(QByteArrayView stem, QByteArrayView extension);
    qsizetype size() const { return qsizetype(m_starts.size()); }
    bool isEmpty() const { return m_starts.empty(); }
    QByteArrayView utf8At(qsizetype index) const;
    QString at(qsizetype index) const;
    QStringList toStringList() const;
    // The whole content of CreatedDomains.txt for these names.
    const QByteArray &fileBytes() const { return m_bytes; }
    void clear();

private:
    QByteArray m_bytes;
    std::vector<qsizetype> m_starts;
};

// What one generation is made of.
struct GeneratorInput {
    QString base;           // the base word, exactly as typed
    QStringList affixes;    // usable lines of Appends.txt, file order
    QStringList extensions; // the checked extension items (".com"), first to last
    bool prefixes = true;
    bool suffixes = true;
    bool hyphens = true;
};

struct GeneratorProgress {
    qint64 created = 0;       // names built so far
    qint64 addedThisStep = 0; // names built by this step
    bool finished = false;
    bool statusChanged = false; // a new progress text is due
};

// One generation, built step by step so the window can return to its event loop between
// slices. For each affix line, in file order: the bare names (base + extension, only when
// the base is longer than one character), then with Prefixes affix+base and, with Hyphens
// too, affix-base, then with Suffixes base+affix and, with Hyphens too, base-affix; each
// stem with every blank removed, each followed by every extension, lower-cased, in order.
// The bare names repeat for every affix line; without an affix line nothing is built.
class GeneratorJob {
public:
    // `nameLimit` > 0 stops the building once that many names were made.
    explicit GeneratorJob(GeneratorInput input, qint64 nameLimit = 0);

    // Builds the names of whole affix lines until this call has made at least `maxNames`
    // of them or the lines are used up (or the limit is reached).
    GeneratorProgress step(qint64 maxNames);
    void runToEnd();

    bool isFinished() const { return m_finished; }
    bool limitReached() const { return m_limitReached; }
    qint64 created() const { return m_created; }
    qsizetype linesDone() const { return m_nextLine; }
    qsizetype lineCount() const { return m_affixes.size(); }
    // "Creating Domains - Created N so far..." once a line has pushed the count past a
    // thousand names since the last text; empty before that.
    QString status() const { return m_status; }

    // The names built so far (a caller that streams them may clear it between steps).
    NameBuffer &names() { return m_names; }
    const NameBuffer &names() const { return m_names; }

private:
    bool add(const QByteArray &stem);
    void buildLine(const QString &affix);

    QString m_base;
    QByteArray m_baseUtf8;
    QStringList m_affixes;
    std::vector<QByteArray> m_extensions; // lower-cased, UTF-8
    bool m_prefixes;
    bool m_suffixes;
    bool m_hyphens;
    qint64 m_nameLimit;

    NameBuffer m_names;
    qsizetype m_nextLine = 0;
    qint64 m_created = 0;
    qint64 m_sinceUpdate = 0;
    bool m_finished = false;
    bool m_limitReached = false;
    QString m_status;
};

// All names of one generation, in order (for small inputs and tests).
QStringList generateNames(const GeneratorInput &input);

// The status texts of the generator window.
QString creatingStatus(qint64 created);
QString sortingStatus(qint64 created);
QString searchStartedStatus(qint64 created);

// Writes CreatedDomains.txt anew (atomically) from the names.
core::Status writeCreatedDomains(const QString &path, const NameBuffer &names);

// Add: appends `word` as one line to Appends.txt (creating it when missing). When the file
// does not end with a line end, one is put first so the word does not run into the last line.
core::Status appendAffixWord(const QString &path, const QString &word);

// The text Del writes back: every line not equal to `word` (exact, case-sensitive), each
// followed by CR LF, with each CR LF CR LF replaced by one CR LF in one pass, and a final CR LF.
QString textWithoutAffixWord(const QStringList &lines, const QString &word);
// Del: drops every line equal to `word` from Appends.txt and writes the file anew atomically.
core::Status removeAffixWord(const QString &path, const QString &word);

// Save Domains As: copies CreatedDomains.txt to `destination`, replacing it atomically; a
// failed copy leaves the destination as it was.
core::Status saveDomainsAs(const QString &source, const QString &destination);

} // namespace wendlecott::sources
