#pragma once

#include "sources/EnabledExtensions.h"

#include <QString>
#include <QStringView>

namespace wendlecott::sources {

// The steps that the list builder's extraction and the browse window's extraction share:
// preparing page text, reading it line by line, the address test, the address path and the
// tests every name passes before the duplicate test.

// A link line that holds one of these (or "yimg" or "@") is not the address of a result.
inline const QString kYahooDomainName = QStringLiteral("yahoo.com");
inline const QString kAfterNicDomainName = QStringLiteral("afternic.com");

// Prepares page text for line-by-line reading, each replacement of every occurrence and
// without regard to case, in this order:
//  - "https://" becomes "http://" (the rules know one scheme; today's pages link with both);
//  - the word-break hint "<wbr>" (also "<wbr/>", "<wbr />") goes, so that a host name it
//    splits is read whole;
//  - "=www." and ">www." become "http://www."; "http://" and "<Frame" get a line break
//    before them;
// then breakLinesAtExtensions.
QString normalisePageText(const QString &text, const EnabledExtensions &extensions);

// One line as the rules read it: percent escapes decoded (xurlEncode), and an "https://" that
// the decoding revealed made "http://" as well.
QString decodePageLine(QStringView raw);

// Reads prepared text one line at a time. CR LF, LF and a lone CR each end a line; what
// follows the last line end is the last line (empty when the text ends with a line end), as
// when the text plus one CR LF is read back from a file.
class PageLines {
public:
    explicit PageLines(QString text) : m_text(std::move(text)) {}
    bool atEnd() const { return m_position > m_text.size(); }
    // The next line; valid while this object lives. Call only when not atEnd().
    QStringView next();
    // The whole prepared text.
    const QString &text() const { return m_text; }

private:
    QString m_text;
    qsizetype m_position = 0;
};

// The address test: the line starts with exactly "http://", holds none of Yahoo's domain
// name, "yimg", the AfterNIC marketplace's domain name or "@" (without regard to case), and
// holds "." + an enabled extension.
bool isAddressLine(const QString &line, const EnabledExtensions &extensions);

// What the address or plain-text path cut from a line: the host text and the extension e of
// the candidate (the text after its first "=", else after its first ".", else empty).
struct Candidate {
    QString host;
    QString extension;
};

// The extension e of a candidate text.
QString candidateExtension(const QString &text);

// The address path once "http://" (and for the list builder the first "<b>" and "<B>") has
// been removed: cut at the first space (kept) and before the first "/", drop a leading
// label when the first "." stands before the last four characters, take e, then cut before
// the first ":" (a port goes with its colon).
Candidate addressCandidate(QString text);

// The tests a candidate passes before the duplicate test. Gives the name that the candidate
// yields (reduceToRegisteredName, xCorrectName, quotes removed, surrounding white space
// trimmed), or the empty text when it is turned down: e is not an enabled extension; the
// name is empty, starts with "." (nothing before the extension), is no host name (a character
// other than a letter, a digit, "-" and ".", such as a bracket from a script or a line break
// from "%0A"; a label over 63 characters; over 253 in all), holds "<" or ">", is "ttp:.com"
// or holds "mailto:"; with `testTargetBlank`, holds "targetblank".
QString acceptableName(const Candidate &candidate, const EnabledExtensions &extensions, bool testTargetBlank);

} // namespace wendlecott::sources
