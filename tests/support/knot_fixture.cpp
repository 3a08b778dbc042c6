// The DNS tests' CTest fixture: `knot_fixture start DIR` starts Knot DNS with the test zones
// and leaves it running (DIR/port, DIR/pid); `knot_fixture stop DIR` ends it by its PID.
#include "KnotServer.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 3 || (args.at(1) != QLatin1String("start") && args.at(1) != QLatin1String("stop"))) {
        err << "usage: knot_fixture start|stop DIR\n";
        return 2;
    }
    const QString folder = args.at(2);
    if (args.at(1) == QLatin1String("stop")) {
        const auto stopped = wendlecott::testing::KnotServer::stop(folder);
        if (!stopped)
            err << stopped.message() << '\n';
        return 0; // nothing left running is what cleanup wants
    }
    (void)wendlecott::testing::KnotServer::stop(folder); // one left over from a broken run
    wendlecott::testing::KnotServer server(folder);
    const auto started = server.start(wendlecott::testing::KnotServer::testZones());
    if (!started) {
        err << started.message() << '\n';
        return 1;
    }
    QTextStream(stdout) << "knotd " << server.pid() << " on 127.0.0.1:" << started.value() << '\n';
    return 0;
}
