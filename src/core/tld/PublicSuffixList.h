#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

struct psl_ctx_st;

namespace wendlecott::core {

// The Public Suffix List, read by libpsl: which extensions domains are registered under.
class PublicSuffixList {
public:
    // The list of the system (Debian's publicsuffix package) when it can be read, else the
    // copy built into the program. Loaded once.
    static const PublicSuffixList &standard();

    // A list from its text (the format of public_suffix_list.dat).
    explicit PublicSuffixList(const QByteArray &text, QString origin = {});
    ~PublicSuffixList();
    PublicSuffixList(const PublicSuffixList &) = delete;
    PublicSuffixList &operator=(const PublicSuffixList &) = delete;

    bool isLoaded() const { return m_psl != nullptr; }
    // Where the list came from: a file path or ":/wendlecott/public_suffix_list.dat".
    QString origin() const { return m_origin; }
    // True when `suffix` (a final dot and case do not matter; Unicode or IDNA form) is a
    // public suffix by a rule of the list's ICANN section, wildcards and exceptions included;
    // the implicit rule that makes any unknown label a suffix does not count.
    bool isIcannSuffix(const QString &suffix) const;

private:
    psl_ctx_st *m_psl = nullptr;
    QString m_origin;
};

} // namespace wendlecott::core
