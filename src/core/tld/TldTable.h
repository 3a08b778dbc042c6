#pragma once

#include "core/base/Result.h"
#include "core/tld/WhoisRequest.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>

namespace wendlecott::core {

// The success words that an empty success field gets, and that most default rows use.
inline const QString kStandardSuccessWords = QStringLiteral(
    "No match,not registered,not found,available for registration,no domain records,AVAIL,No entries found");
inline const QString kProxyExtension = QStringLiteral("proxy");
inline const QString kTldFileName = QStringLiteral("TLDs.txt");
inline const QString kEnabledStatus = QStringLiteral("Enabled");
inline const QString kDisabledStatus = QStringLiteral("Disabled");
// Every default row has these.
inline constexpr quint16 kDefaultPort = 43;
inline constexpr int kDefaultThrottle = 25;
// The Setup list's columns, one per field of a row.
inline constexpr int kTldFieldCount = 6;

// One row of TLDs.txt in memory.
struct TldEntry {
    QString extension;           // field 1, lower-cased
    QString server;              // field 2, lower-cased
    quint16 port = kDefaultPort; // field 3; the loader takes 1..65535 only
    bool enabled = false;        // field 4 is exactly "Enabled"
    int throttle = 25;           // field 5, milliseconds
    QString successWords;        // field 6 exactly as in the file
};

// A file line that the loader could not take as a row, and why.
struct SkippedRow {
    int lineNumber = 0; // 1-based line in the file
    QString text;
    QString reason;
};

// The rows of TLDs.txt in file order. Duplicates are allowed; the first one wins.
struct TldTable {
    QList<TldEntry> rows;
    QList<SkippedRow> skipped; // malformed lines of the last load, for the Setup window

    int size() const { return int(rows.size()); }
    const TldEntry &at(int index) const { return rows.at(index); }
};

// The largest TLDs.txt read (the table that comes with the program is a few KiB).
inline constexpr qint64 kMaxTldFileBytes = qint64(16) << 20;

// Reads TLDs.txt into `table`. When the file holds no row at all the table keeps what it
// had. A file over kMaxTldFileBytes, or one that is not a regular file, is refused and the
// table keeps what it had. Malformed rows (fewer than six fields, a port or throttle that is not a whole
// number, a port outside 1..65535) are skipped and listed in `table.skipped`.
Status loadTLDTable(TldTable &table, const QString &path);
// Parses file text into a table (what loadTLDTable reads).
TldTable parseTldText(const QString &text);

// The index of the row that serves `name`, or -1. The last label is tried first (or
// "proxy" in proxy mode); failing that, a name of at most two labels gets the last "com"
// row (row 0 without one), a longer name tries its last two labels ("co.uk"). An empty
// table serves nothing.
int findTLD(const TldTable &table, const QString &name, bool useProxy);

// The com and net registry server, asked about a name that no TLD row serves.
inline const WhoisServer kWhoisFallbackServer{QStringLiteral("whois.verisign-grs.com"), 43};

// The server that answers for `name`: the server and port of the row findTLD picks (the
// proxy row in proxy mode), or `fallback` when no row serves the name or the row names no
// server.
WhoisServer whoisServerFor(const TldTable &table, const QString &name, bool useProxy,
                           const WhoisServer &fallback = kWhoisFallbackServer);

// Replaces every row of `extension` (lower-cased) or appends one; port and throttle are
// the texts the user typed. The file is replaced atomically. A field holding "|" or a
// line break is refused with InvalidInput (as by appendTLD and rewriteTLDs).
Status saveTLD(const QString &path, const QString &extension, const QString &server, const QString &port,
               bool enabled, const QString &throttle, const QString &successWords);
// Appends one row at the end of the file (creating it when missing).
Status appendTLD(const QString &path, const QString &extension, const QString &server, const QString &port,
                 const QString &status, const QString &throttle, const QString &successWords);
// Writes the default table when the file is missing; with `force`, replaces it.
Status writeDefaultTLDs(const QString &path, bool force);
// Writes the file anew from rows of six texts each, an empty line after every row.
Status rewriteTLDs(const QString &path, const QList<QStringList> &rows);
// The enabled extensions for the main window's drop-down, as written in the file.
QStringList loadTLDs(const QString &path);

// The default table's text, exactly as writeDefaultTLDs writes it.
QString defaultTldText();
// The default rows, six fields each.
QList<QStringList> defaultTldRows();

// The file's rows exactly as written (not lower-cased), six columns, for a list view.
class TldListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setRows(QList<QStringList> rows);
    const QList<QStringList> &rows() const { return m_rows; }
    QStringList row(int index) const { return m_rows.value(index); }
    void removeRowAt(int index);

private:
    QList<QStringList> m_rows;
};

// Empties the model and adds one item per file row: the six fields as written.
void fillTLDList(TldListModel &model, const QString &path);

} // namespace wendlecott::core
