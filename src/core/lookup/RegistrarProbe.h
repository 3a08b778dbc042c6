#pragma once

#include "core/base/Scheduler.h"
#include "core/base/Timing.h"
#include "core/lookup/DomainLookup.h"
#include "core/lookup/WhoisConnection.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace wendlecott::core {

class UserNotice;

inline const QString kConnectionTimedOut = QStringLiteral("Connection timed out");

// The message box of a finished registrar test: a head naming the verdict, the domain and
// the server the connection went to, an empty line, then the whole answer. Nothing for an
// Available or Registered answer to an empty test field (".com", ".net", or a name holding
// a quote followed by either), nor for an Available answer to a name holding "endoffile".
std::optional<QString> registrarProbeMessage(const LookupEvidence &evidence, const QString &testName);

// The Setup window's registrar test ("Test Selected"): one whois lookup of its own, apart
// from the check run's slots, on the same lookup as every other caller. It sends the request,
// collects the answer until the server closes, judges it against the success words the
// window's success box holds at that moment and shows the verdict to the user.
//
// idle --start--> connecting --connected/request sent--> waiting --closed by server--> idle
// A failed send ends the test without a message; Timing::registrarTestTimeoutMs after the
// connection (or the start, while there is none) it ends with "Connection timed out". A
// connection that cannot be made gives no message of its own and ends in that time-out. A
// new start drops the test in progress first.
class RegistrarProbe : public QObject {
    Q_OBJECT
public:
    RegistrarProbe(std::unique_ptr<WhoisConnection> connection, Scheduler &scheduler, const Timing &timing,
                   UserNotice &notice, QObject *parent = nullptr);
    ~RegistrarProbe() override;

    // Asks `server`:`port` about `nameToSend`. `testName` is the name as composed for the
    // message; `successWords` is read when the answer is judged.
    void start(const QString &testName, const QString &nameToSend, const QString &server, quint16 port,
               std::function<QString()> successWords);
    // Drops the test in progress without a message.
    void abandon();

    bool isRunning() const { return m_lookup.isRunning(); }
    const QString &testName() const { return m_testName; }

Q_SIGNALS:
    // The test ended with a verdict (shown or not); for the window and for tests.
    void judged(const wendlecott::core::LookupEvidence &evidence);

private:
    void onFinished(const LookupEvidence &evidence);

    const Timing &m_timing;
    UserNotice &m_notice;
    DomainLookup m_lookup;
    QString m_testName;
};

} // namespace wendlecott::core
