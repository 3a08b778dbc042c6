#pragma once

#include "core/base/Result.h"

#include <QMap>
#include <QString>

namespace wendlecott::testing {

// Knot DNS on 127.0.0.1 at a free port, serving zone files written here, run from a folder
// of its own and ended by its PID. The DNS tests' CTest fixture starts it with testZones()
// and leaves it running for the tests (it writes "port" and "pid" into the folder); the
// benchmark runs one for the length of its run.
class KnotServer {
public:
    explicit KnotServer(QString folder) : m_folder(std::move(folder)) {}

    // Zone origin without the final dot -> zone file text; an empty text configures the
    // zone without a file (Knot then answers SERVFAIL for it).
    using Zones = QMap<QString, QString>;

    // Writes the zones and the configuration, starts knotd and waits (bounded) until it
    // answers on its port. On success "port" and "pid" are in the folder.
    core::Result<quint16> start(const Zones &zones, int udpWorkers = 1);
    // Ends the server whose PID the folder holds: TERM, then KILL if it lingers.
    static core::Status stop(const QString &folder);

    qint64 pid() const { return m_pid; }
    // The port of the server the fixture left running in `folder`, or 0.
    static quint16 runningPort(const QString &folder);

    // The zones of the DNS tests (see tests/data/dns/SOURCE.md):
    //   dlg.        taken (2 NS), glued (NS + glue), webonly (A only), big (12 long NS: a
    //               referral over 512 bytes), huge (40 long NS: over the EDNS size),
    //               child (a zone of its own on the same server: an answer, not a referral)
    //   child.dlg.  its apex NS
    //   wild.       "* NS": every name is delegated
    //   broken.     no zone file: SERVFAIL
    static Zones testZones();

private:
    QString m_folder;
    qint64 m_pid = 0;
};

} // namespace wendlecott::testing
