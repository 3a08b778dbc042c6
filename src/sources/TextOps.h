#pragma once

#include "core/tld/TldTable.h"

#include <QString>
#include <QStringView>

namespace wendlecott::sources {

// The text operations shared by everything that turns raw text into candidate names:
// the check run, the browse window, the Setup window's registrar test and the search-engine
// list builder. All are pure functions of their input (and of the TLD table passed in).

// Cleans a candidate name: punctuation and a few HTML leftovers are removed from the part
// before the first "."; the part from the first "." on loses only its "?". Letters, digits
// and the hyphen survive and case does not change.
QString xCorrectName(const QString &name);

// The described name says "encode"; it decodes percent escapes.
// Decodes the percent escapes of a fixed table: "%25" first
// and repeatedly, so "%2520" becomes a space while "%2541" stays "%41"; the escapes are
// matched without regard to case.
QString xurlEncode(const QString &text);

// Puts a CR LF after every "<ext><delimiter>" (delimiters: space / " ' : ?) for each
// enabled, non-proxy TLD row, in table order, case-sensitively, and after every `.com"` once
// per such row. The extension is matched anywhere, not only after a dot.
QString breakLinesAtExtensions(const QString &text, const core::TldTable &table);

// True when the text contains "." followed by the extension of an enabled, non-proxy row,
// compared without regard to case (".community" matches "com").
bool hasEnabledExtension(const QString &text, const core::TldTable &table);

// Cuts sub-domain labels off a host name: "www.shop.example.com" gives "example.com",
// "a.b.co.uk" gives "b.co.uk", "a.b.us" gives "b.us"; hosts of one or two labels come back
// unchanged; any other host of three or more labels gives the empty text.
QString reduceToRegisteredName(const QString &host);

// Every occurrence of `before` (left to right, not overlapping) replaced by `after`, built in
// one pass. An empty `before` leaves the text as it is.
QString replaceAll(const QString &text, QStringView before, QStringView after,
                   Qt::CaseSensitivity cs = Qt::CaseSensitive);

namespace detail {
// breakLinesAtExtensions done replacement by replacement, as the rule reads: one pass per
// delimiter and row. Used when an extension holds a delimiter or a line end, and by the
// tests as the reference for the one-pass version.
QString breakLinesStepByStep(const QString &text, const core::TldTable &table);
} // namespace detail

} // namespace wendlecott::sources
