// Figures for the browse window, with the real web view offscreen on pages served from
// 127.0.0.1 and every whois row pointed at a loopback whois server:
//  - a 1 MB page (the real test pages repeated): time from the web view's document-complete
//    to the markup reaching the program, and from there to the page's names queued; the
//    longest event-loop stall while extracting (target under 50 ms), seen by a 1 ms probe;
//  - a hostile 4 MB page with a name every 18 bytes, the same figures;
//  - peak memory of the program (its own process and the web engine's helper processes) with
//    the window open on a loaded page.
#include "FakeHttpServer.h"
#include "FakeNotice.h"
#include "FakePorts.h"
#include "FakeWhoisServer.h"
#include "TestFolder.h"
#include "browse/BrowseSession.h"
#include "config/AppState.h"
#include "core/tld/TldTable.h"
#include "platform/widgets/WebPageView.h"
#include "ui/BrowseWindow.h"
#include "ui/DesktopPorts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>

#include <algorithm>
#include <ctime>

using namespace wendlecott;

namespace {

QTextStream out(stdout);

// Only 127.0.0.1 is reached; everything else is refused inside the program.
class LoopbackOnly final : public QWebEngineUrlRequestInterceptor {
public:
    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        if (info.requestUrl().host() != QLatin1String("127.0.0.1"))
            info.block(true);
    }
};

QByteArray repeatedPages(qsizetype size)
{
    const QDir pages(QStringLiteral(WENDLECOTT_TESTDATA "/html/pages"));
    QByteArray all;
    for (const QString &name : pages.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name)) {
        QFile file(pages.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            all += file.readAll();
    }
    QByteArray page = "<html><head><meta charset=\"utf-8\"><title>Big</title></head><body>";
    while (page.size() < size)
        page += all;
    page.truncate(size);
    return page + "</body></html>";
}

QByteArray manyNamesPage(qsizetype size)
{
    QByteArray page = "<html><head><title>Many</title></head><body>";
    for (int i = 0; page.size() < size; ++i)
        page += "http://n" + QByteArray::number(i) + "x.com/ ";
    return page + "</body></html>";
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The longest gap between two ticks of a 1 ms timer while probing, in wall-clock time, and
// the most processor time this thread spent between two ticks (the machine is shared:
// processor time shows the program's own share).
class StallProbe {
public:
    StallProbe()
    {
        m_clock.start();
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start();
    }
    void begin()
    {
        m_probing = true;
        m_last = -1;
    }
    void end() { m_probing = false; }
    double wallMs() const { return m_wallMs; }
    double cpuMs() const { return m_cpuMs; }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const double cpu = threadCpuMs();
        if (m_probing && m_last >= 0) {
            m_wallMs = std::max(m_wallMs, double(now - m_last) / 1e6);
            m_cpuMs = std::max(m_cpuMs, cpu - m_lastCpu);
        }
        m_last = now;
        m_lastCpu = cpu;
    }

    QElapsedTimer m_clock;
    QTimer m_timer;
    bool m_probing = false;
    qint64 m_last = -1;
    double m_lastCpu = 0;
    double m_wallMs = 0;
    double m_cpuMs = 0;
};

// Kilobytes of a /proc/PID/status field.
qint64 statusKb(qint64 pid, const QByteArray &field)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// This process and every process below it (the web engine's helpers).
QList<qint64> processTree(qint64 root)
{
    QList<qint64> pids{root};
    for (qsizetype i = 0; i < pids.size() && i < 256; ++i) {
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(pids.at(i)));
        for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile children(tasks.filePath(task) + QStringLiteral("/children"));
            if (!children.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray &child : children.readAll().simplified().split(' ')) {
                if (!child.isEmpty() && !pids.contains(child.toLongLong()))
                    pids.append(child.toLongLong());
            }
        }
    }
    return pids;
}

// Runs the event loop until `done` or `limitMs` passed; false on the limit.
template <typename F> bool waitFor(F done, int limitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

struct PageFigures {
    double markupMs = -1; // document-complete .. markup in the program, its extraction set up
    double queuedMs = -1; // document-complete .. names queued
    double stallMs = 0;   // longest gap between two 1 ms probe ticks meanwhile
    double stallCpuMs = 0;
    qsizetype names = 0;
    QString markup;
};

// The whole way through the web view: load `url`, read its markup, extract, queue.
PageFigures measurePage(ui::BrowseWindow &window, const QString &url)
{
    PageFigures figures;
    QElapsedTimer clock;
    clock.start();
    qint64 finishedAt = -1;
    qint64 markupAt = -1;
    qint64 queuedAt = -1;
    StallProbe probe;
    auto c1 = QObject::connect(window.pageView(), &QWebEngineView::loadFinished,
                               [&](bool) { finishedAt = clock.nsecsElapsed(); });
    // This runs after the session's own handler, so the moment taken is when the markup has
    // arrived and its extraction is set up; the probe sees the handler's own time as a stall.
    auto c2 = QObject::connect(window.pageView(), &platform::WebPageView::documentComplete, window.pageView(),
                               [&](const QString &markup) {
                                   markupAt = clock.nsecsElapsed();
                                   figures.markup = markup;
                               });
    auto c3 =
        QObject::connect(&window.session(), &browse::BrowseSession::extractionFinished,
                         [&](browse::BrowseSession::View view, qsizetype names) {
                             if (view == browse::BrowseSession::View::Page && queuedAt < 0 && markupAt >= 0) {
                                 queuedAt = clock.nsecsElapsed();
                                 figures.names = names;
                             }
                         });
    window.pageView()->navigateTo(url);
    waitFor([&] { return finishedAt >= 0; }, 60000);
    probe.begin();
    waitFor([&] { return queuedAt >= 0; }, 60000);
    probe.end();
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    QObject::disconnect(c3);
    if (markupAt >= 0 && finishedAt >= 0)
        figures.markupMs = double(markupAt - finishedAt) / 1e6;
    if (queuedAt >= 0 && finishedAt >= 0)
        figures.queuedMs = double(queuedAt - finishedAt) / 1e6;
    figures.stallMs = probe.wallMs();
    figures.stallCpuMs = probe.cpuMs();
    return figures;
}

void report(const QString &what, const PageFigures &f)
{
    out << what << ": " << f.names << " names queued " << f.queuedMs << " ms after document-complete (the "
        << f.markup.size() << " characters of markup in the program and their extraction set up after "
        << f.markupMs << " ms); longest event-loop stall " << f.stallMs << " ms (" << f.stallCpuMs
        << " ms processor time)\n";
    out.flush();
}

// The extraction alone, as the window runs it, without the web engine's own work: a fresh
// session takes the markup as a document-complete, five times; the median and the worst.
void measureExtraction(const QString &what, config::AppState &state, const QString &markup)
{
    QList<double> queued;
    QList<double> stalls;
    QList<double> stallCpus;
    for (int round = 0; round < 5; ++round) {
        const browse::BrowseEnvironment environment{state.runEnvironment(), state.clipboard()};
        browse::BrowseSession session(environment, state.folder().root(), state.scheduler(), state.timing(),
                                      state.connections()());
        session.open();
        bool done = false;
        QObject::connect(&session, &browse::BrowseSession::extractionFinished, [&] { done = true; });
        StallProbe probe;
        waitFor([] { return false; }, 20);
        QElapsedTimer clock;
        clock.start();
        probe.begin();
        session.documentComplete(browse::BrowseSession::View::Page, markup);
        waitFor([&] { return done; }, 60000);
        queued.append(double(clock.nsecsElapsed()) / 1e6);
        waitFor([] { return false; }, 5);
        probe.end();
        stalls.append(probe.wallMs());
        stallCpus.append(probe.cpuMs());
        session.close();
    }
    const auto median = [](QList<double> values) {
        std::sort(values.begin(), values.end());
        return values.at(values.size() / 2);
    };
    out << what << ", extraction alone (5 rounds): names queued after " << median(queued) << " ms (median), "
        << *std::max_element(queued.begin(), queued.end()) << " ms (worst); longest stall " << median(stalls)
        << " ms (median), " << *std::max_element(stalls.begin(), stalls.end()) << " ms (worst), "
        << *std::max_element(stallCpus.begin(), stallCpus.end()) << " ms processor time (worst)\n";
    out.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags +=
        " --disable-gpu --host-resolver-rules=\"MAP * ~NOTFOUND, EXCLUDE 127.0.0.1\" --dns-prefetch-disable";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    LoopbackOnly interceptor;
    QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(&interceptor);

    testing::FakeWhoisServer whois;
    testing::FakeHttpServer http;
    if (!whois.start() || !http.start()) {
        out << "cannot listen on 127.0.0.1\n";
        return 1;
    }
    http.answer(QStringLiteral("/blank.html"), 200, "<html><body></body></html>");
    http.answer(QStringLiteral("/big.html"), 200, repeatedPages(1 << 20));
    http.answer(QStringLiteral("/many.html"), 200, manyNamesPage(4 << 20));

    // The default table as a user has it, every row answered by the loopback server.
    testing::TestFolder folder;
    QList<QStringList> rows = core::defaultTldRows();
    for (QStringList &row : rows) {
        row[1] = QStringLiteral("127.0.0.1");
        row[2] = QString::number(whois.port());
    }
    if (!core::rewriteTLDs(folder.file(QStringLiteral("TLDs.txt")), rows).ok())
        return 1;
    config::AppPorts ports;
    ports.notice = std::make_unique<testing::FakeNotice>();
    ports.clipboard = std::make_unique<testing::FakeClipboard>();
    ports.opener = std::make_unique<testing::FakeOpener>();
    config::AppState state(config::ProgramFolder(folder.path()),
                           ui::desktopPorts(std::move(ports), folder.file(QStringLiteral("settings"))));
    (void)state.open();

    ui::BrowseWindow window(state, nullptr, http.url(QStringLiteral("/blank.html")));
    bool homeLoaded = false;
    QObject::connect(window.pageView(), &platform::WebPageView::documentComplete, [&] { homeLoaded = true; });
    window.resize(1200, 800);
    window.show();
    waitFor([&] { return homeLoaded; }, 60000);

    const PageFigures big = measurePage(window, http.url(QStringLiteral("/big.html")));
    report(QStringLiteral("1 MB page (the test pages repeated)"), big);
    // Let the checker work a little on the loaded page, then read the memory.
    waitFor([] { return false; }, 3000);
    qint64 peakKb = 0;
    qint64 nowKb = 0;
    const QList<qint64> tree = processTree(QCoreApplication::applicationPid());
    for (qint64 pid : tree) {
        peakKb += statusKb(pid, "VmHWM");
        nowKb += statusKb(pid, "VmRSS");
    }
    out << "memory with the window open on the 1 MB page: " << tree.size() << " processes, peak resident "
        << peakKb / 1024 << " MiB in all (program "
        << statusKb(QCoreApplication::applicationPid(), "VmHWM") / 1024 << " MiB), now " << nowKb / 1024
        << " MiB\n";
    out << "names checked meanwhile: " << window.session().checker().queuePosition() << " of "
        << window.session().found().foundTotal() << "\n";

    const PageFigures many = measurePage(window, http.url(QStringLiteral("/many.html")));
    report(QStringLiteral("hostile 4 MB page, a name every 18 bytes"), many);
    qint64 peakAfter = 0;
    for (qint64 pid : processTree(QCoreApplication::applicationPid()))
        peakAfter += statusKb(pid, "VmHWM");
    out << "peak resident after the hostile page: " << peakAfter / 1024 << " MiB in all (program "
        << statusKb(QCoreApplication::applicationPid(), "VmHWM") / 1024 << " MiB)\n";
    window.close();

    measureExtraction(QStringLiteral("1 MB page"), state, big.markup);
    measureExtraction(QStringLiteral("hostile 4 MB page"), state, many.markup);
    return 0;
}
