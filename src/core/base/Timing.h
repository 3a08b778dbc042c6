#pragma once

#include <QtGlobal>

namespace wendlecott::core {

// Every timing of the program in one record, so tests can shrink them.
struct Timing {
    qint64 tickMs = 1000;                // the one-second ticks of time-out and watchdog timers
    int reconnectTicks = 10;             // a lookup slot reconnects at this tick
    int watchdogTicks = 30;              // a batch without a verdict is given up at this tick
    int testTimeoutTicks = 5;            // the Setup window's registrar test and browse mode give up here
    qint64 whoisViewerTimeoutMs = 30000; // the WHOIS window says there was no answer after this
    qint64 rdapTimeoutMs = 30000;        // an RDAP exchange is given up after this
    qint64 splashTickMs = 8;             // 75 splash ticks
    int splashTicks = 75;
    int listBuilderStartTicks = 3; // the list builder fetches its first page at this tick
    qint64 listBuilderPageWaitMs = 500;
    qint64 registrarTestTimeoutMs = 5000; // the registrar test gives up this long after its connection
    qint64 dnsTryTimeoutMs = 2000;        // each of a delegation question's two tries waits this long
};

} // namespace wendlecott::core
