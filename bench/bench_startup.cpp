// How long the desktop program takes from process start until its main window is shown,
// without the splash: the program is started with --no-splash --measure-startup, which ends
// it once the main window has been painted. Measured from outside (process start to the
// line it prints) and as the program itself saw it (from main() on). A first start, which
// writes the program folder's files and the TLD table, and later starts are told apart.
//
// Usage: bench_startup [RUNS]; the platform is QT_QPA_PLATFORM (offscreen when unset).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

struct Sample {
    double outsideMs = 0; // process start to the printed line
    double insideMs = 0;  // main() to the first paint, as the program measured it
};

std::optional<Sample> startOnce(const QString &program, const QString &folder, const QString &config)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);

    QElapsedTimer timer;
    timer.start();
    process.start(program, {QStringLiteral("--no-splash"), QStringLiteral("--measure-startup"),
                            QStringLiteral("--program-folder"), folder});
    QByteArray out;
    double outside = -1;
    // Bounded: a program that never shows its window is given up after 30 s.
    while (timer.elapsed() < 30000 && process.state() != QProcess::NotRunning) {
        if (process.waitForReadyRead(100)) {
            out += process.readAllStandardOutput();
            if (out.contains('\n') && outside < 0)
                outside = double(timer.nsecsElapsed()) / 1e6;
        }
        if (outside >= 0)
            break;
    }
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
    }
    out += process.readAllStandardOutput();
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("shown after ([0-9.]+) ms")).match(QString::fromUtf8(out));
    if (outside < 0 || !match.hasMatch())
        return std::nullopt;
    return Sample{outside, match.captured(1).toDouble()};
}

void report(QTextStream &out, const char *what, std::vector<Sample> samples)
{
    if (samples.empty()) {
        out << what << ": no measurement\n";
        return;
    }
    const auto median = [&](auto field) {
        std::vector<double> values;
        for (const Sample &s : samples)
            values.push_back(s.*field);
        std::sort(values.begin(), values.end());
        return std::make_pair(values[values.size() / 2], std::make_pair(values.front(), values.back()));
    };
    const auto outside = median(&Sample::outsideMs);
    const auto inside = median(&Sample::insideMs);
    out << what << " (" << samples.size() << " runs): process start to main window shown: median "
        << outside.first << " ms (min " << outside.second.first << ", max " << outside.second.second
        << "); from main(): median " << inside.first << " ms\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int runs = argc > 1 ? std::clamp(QString::fromLocal8Bit(argv[1]).toInt(), 1, 100) : 7;
    const QString program = QStringLiteral(WENDLECOTT_BUILD_DIR "/wendlecott");
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    std::vector<Sample> first;
    std::vector<Sample> later;
    for (int i = 0; i < runs; ++i) {
        const QString folder = dir.filePath(QStringLiteral("fresh%1").arg(i));
        const QString config = dir.filePath(QStringLiteral("config%1").arg(i));
        if (const auto sample = startOnce(program, folder, config))
            first.push_back(*sample);
    }
    const QString folder = dir.filePath(QStringLiteral("used"));
    const QString config = dir.filePath(QStringLiteral("config-used"));
    (void)startOnce(program, folder, config); // the first start makes the files
    for (int i = 0; i < runs; ++i) {
        if (const auto sample = startOnce(program, folder, config))
            later.push_back(*sample);
    }
    report(out, "first start", first);
    report(out, "later start", later);
    return first.empty() || later.empty() ? 1 : 0;
}
