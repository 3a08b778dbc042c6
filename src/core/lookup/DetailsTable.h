#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>
#include <span>

namespace wendlecott::core {

// What a field of a whois answer tells about a registration.
enum class DetailField { Created, Expires, Updated, Registrar, Status, NameServer };

// One field name under which registries write a detail.
struct DetailLabel {
    DetailField field = DetailField::Expires;
    QStringList tlds;  // lower case, no leading dot; empty: every extension
    QStringList words; // the name's words, lower case
};

// How many letters and digits `text` begins with.
qsizetype leadingAlphanumericRun(QStringView text);

// The parts of a date that a format's named groups capture.
enum class DatePart { Year, ShortYear, MonthName, Month, Day, Hour, Minute, Second, Zone, Count };

// One way registries write a date.
struct DateFormat {
    QStringList tlds;
    QString id;
    QRegularExpression regex;
    // The number of the group capturing each part ("y", "yy", "mon", "m", "d", "H", "M", "S",
    // "z"), -1 where the format has none: looked up once, not by name in every match.
    std::array<int, std::size_t(DatePart::Count)> groups{};
};

// The field names and date formats of data/whois-details.tsv (its header describes them).
class DetailsTable {
public:
    // Reads table text; lines that are no rule are skipped and counted in `skipped`.
    static DetailsTable parse(const QString &text, int *skipped = nullptr);
    // The table built into the program.
    static const DetailsTable &builtIn();

    const QList<DetailLabel> &labels() const { return m_labels; }
    // A field name as a line's first letter finds it: how many letters and digits the name
    // begins with (a line whose own first run of them is longer or shorter cannot start with
    // it), where it is in labels(), and the ASCII letter its second word begins with when its
    // first word is that run (a line whose second word begins with another ASCII letter cannot
    // start with it; 0 when the name gives no such letter).
    struct LabelRef {
        qsizetype leadingRun = 0;
        int label = 0;
        char16_t secondWordLetter = 0;
    };
    // The field names that begin with `first` (lower case) and with a run of `leadingRun`
    // letters and digits, in the table's order: a line can only fit those (and of those with a
    // secondWordLetter, only the ones whose letter is the line's).
    std::span<const LabelRef> labelsStartingWith(QChar first, qsizetype leadingRun) const;
    const QList<DateFormat> &dateFormats() const { return m_formats; }

    // The date at the start of `value`, in UTC, read by the first format serving `tld` that
    // matches there; invalid when none matches, or the one that matches gives no day of the
    // calendar or a zone this table does not know.
    QDateTime readDate(QStringView value, const QString &tld) const;

    // Whether an entry listing `tlds` serves the extension `tld` ("uk" serves "co.uk").
    static bool serves(const QStringList &tlds, const QString &tld);

private:
    std::optional<int> zoneOffsetSeconds(QStringView zone) const;

    QList<DetailLabel> m_labels;
    // labels() by the first letter of their name: ASCII each in a list of its own, the rest together.
    std::array<QList<LabelRef>, 128> m_byFirstLetter;
    QList<LabelRef> m_otherFirstLetters;
    QList<DateFormat> m_formats;
    QHash<QString, int> m_zones; // upper-case name -> offset from UTC in seconds
};

} // namespace wendlecott::core
