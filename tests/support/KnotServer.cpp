#include "KnotServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>
#include <QUdpSocket>

#include <csignal>

namespace wendlecott::testing {

namespace {

constexpr int kStartWaitMs = 10000;
constexpr int kStopWaitMs = 5000;

bool writeText(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.toUtf8()) == text.toUtf8().size();
}

// A port free for both UDP and TCP on 127.0.0.1 at this moment.
quint16 freePort()
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        QUdpSocket udp;
        if (!udp.bind(QHostAddress::LocalHost, 0))
            continue;
        QTcpServer tcp;
        if (tcp.listen(QHostAddress::LocalHost, udp.localPort()))
            return udp.localPort();
    }
    return 0;
}

QString configText(const QString &folder, quint16 port, const KnotServer::Zones &zones, int udpWorkers)
{
    QString text =
        QStringLiteral("server:\n    rundir: \"%1\"\n    listen: 127.0.0.1@%2\n"
                       "    udp-workers: %3\n    tcp-workers: 1\n    background-workers: 1\n"
                       "database:\n    storage: \"%1/db\"\n"
                       "log:\n  - target: stderr\n    any: warning\n"
                       "template:\n  - id: default\n    storage: \"%1\"\n    file: \"%s.zone\"\n"
                       "    zonefile-sync: -1\n    journal-content: none\n    semantic-checks: off\n"
                       "zone:\n")
            .arg(folder)
            .arg(port)
            .arg(udpWorkers);
    for (auto it = zones.begin(); it != zones.end(); ++it)
        text += QStringLiteral("  - domain: %1.\n").arg(it.key());
    return text;
}

// One SOA question for the first zone; true when any reply comes back within 100 ms.
bool answers(quint16 port)
{
    static const QByteArray query = QByteArray::fromHex("abcd000000010000000000000000060001");
    QUdpSocket socket;
    if (socket.writeDatagram(query, QHostAddress::LocalHost, port) != query.size())
        return false;
    return socket.waitForReadyRead(100);
}

} // namespace

core::Result<quint16> KnotServer::start(const Zones &zones, int udpWorkers)
{
    using R = core::Result<quint16>;
    const QString knotd = QStandardPaths::findExecutable(
        QStringLiteral("knotd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    if (knotd.isEmpty())
        return R::failure(core::ErrorCode::NotFound,
                          QStringLiteral("knotd not found (scripts/setup.sh installs knot)"));
    QDir().mkpath(m_folder + QStringLiteral("/db"));
    for (auto it = zones.begin(); it != zones.end(); ++it) {
        const QString path = m_folder + QLatin1Char('/') + it.key() + QStringLiteral(".zone");
        QFile::remove(path);
        if (!it.value().isEmpty() && !writeText(path, it.value()))
            return R::failure(core::ErrorCode::WriteFailed, path);
    }
    const quint16 port = freePort();
    const QString config = m_folder + QStringLiteral("/knot.conf");
    if (port == 0 || !writeText(config, configText(m_folder, port, zones, udpWorkers)))
        return R::failure(core::ErrorCode::WriteFailed, config);
    QProcess process;
    process.setProgram(knotd);
    process.setArguments({QStringLiteral("-c"), config});
    process.setStandardOutputFile(m_folder + QStringLiteral("/knot.log"));
    process.setStandardErrorFile(m_folder + QStringLiteral("/knot.log"));
    if (!process.startDetached(&m_pid))
        return R::failure(core::ErrorCode::Network, QStringLiteral("knotd did not start"));
    writeText(m_folder + QStringLiteral("/pid"), QString::number(m_pid));
    const QDeadlineTimer deadline(kStartWaitMs);
    while (!answers(port)) {
        if (deadline.hasExpired() || ::kill(pid_t(m_pid), 0) != 0) {
            (void)stop(m_folder);
            return R::failure(core::ErrorCode::Timeout,
                              QStringLiteral("knotd does not answer; see knot.log"));
        }
    }
    writeText(m_folder + QStringLiteral("/port"), QString::number(port));
    return port;
}

core::Status KnotServer::stop(const QString &folder)
{
    QFile file(folder + QStringLiteral("/pid"));
    if (!file.open(QIODevice::ReadOnly))
        return core::Status::failure(core::ErrorCode::NotFound,
                                     QStringLiteral("no pid file in %1").arg(folder));
    const qint64 pid = file.readAll().trimmed().toLongLong();
    file.close();
    QFile::remove(folder + QStringLiteral("/pid"));
    QFile::remove(folder + QStringLiteral("/port"));
    if (pid <= 1)
        return core::Status::failure(core::ErrorCode::InvalidInput, QStringLiteral("bad pid file"));
    // Only the knotd of this folder: a PID left from an earlier run may belong to anyone now.
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    const QByteArray command = cmdline.open(QIODevice::ReadOnly) ? cmdline.readAll() : QByteArray();
    if (!command.contains("knotd") ||
        !command.contains(QFile::encodeName(folder + QStringLiteral("/knot.conf"))))
        return core::Status::failure(core::ErrorCode::NotFound,
                                     QStringLiteral("pid %1 is not our knotd").arg(pid));
    ::kill(pid_t(pid), SIGTERM);
    const QDeadlineTimer deadline(kStopWaitMs);
    while (::kill(pid_t(pid), 0) == 0 && !deadline.hasExpired())
        QThread::msleep(20); // the fixture waits for the server to go, not a test for time
    if (::kill(pid_t(pid), 0) == 0)
        ::kill(pid_t(pid), SIGKILL);
    return core::Status::success();
}

quint16 KnotServer::runningPort(const QString &folder)
{
    QFile file(folder + QStringLiteral("/port"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return quint16(file.readAll().trimmed().toUInt());
}

KnotServer::Zones KnotServer::testZones()
{
    QString dlg = QStringLiteral("$ORIGIN dlg.\n$TTL 3600\n@ SOA ns1.dlg. host.dlg. 1 3600 900 604800 300\n"
                                 "@ NS ns1.dlg.\nns1 A 127.0.0.1\n"
                                 "taken NS ns1.example.net.\ntaken NS ns2.example.net.\n"
                                 "glued NS ns.glued.dlg.\nns.glued A 192.0.2.1\n"
                                 "webonly A 192.0.2.2\n"
                                 "child NS ns1.dlg.\n");
    for (int i = 1; i <= 12; ++i)
        dlg += QStringLiteral("big NS ns%1.a-long-name-server-label-number-%1.example.org.\n").arg(i);
    for (int i = 1; i <= 40; ++i)
        dlg +=
            QStringLiteral("huge NS ns%1.a-rather-long-name-server-label-to-fill-the-reply-%1.example.org.\n")
                .arg(i);
    return {
        {QStringLiteral("dlg"), dlg},
        {QStringLiteral("child.dlg"), QStringLiteral("$ORIGIN child.dlg.\n$TTL 3600\n"
                                                     "@ SOA ns1.dlg. host.dlg. 1 3600 900 604800 300\n"
                                                     "@ NS ns1.dlg.\n@ NS ns2.dlg.\n")},
        {QStringLiteral("wild"),
         QStringLiteral("$ORIGIN wild.\n$TTL 3600\n@ SOA ns1.wild. host.wild. 1 3600 900 604800 300\n"
                        "@ NS ns1.wild.\nns1 A 127.0.0.1\n* NS ns.parking.example.\n")},
        {QStringLiteral("broken"), QString()},
    };
}

} // namespace wendlecott::testing
