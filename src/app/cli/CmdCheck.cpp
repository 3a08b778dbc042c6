#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"
#include "app/cli/Interrupt.h"

#include "config/SettingsKeys.h"
#include "core/CheckRun.h"
#include "core/LookupSlot.h"
#include "core/ResultLists.h"
#include "core/UserNotice.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"
#include "sources/EntryDomain.h"
#include "sources/ListSource.h"

#include <QEventLoop>
#include <QTemporaryFile>

namespace wendlecott::cli {

namespace {

// Messages go to standard error; the blocked notice is already in the record lines.
class CliNotice final : public core::UserNotice {
public:
    explicit CliNotice(QTextStream &err) : m_err(err) {}
    void showMessage(const QString &title, const QString &text, core::NoticeIcon) override
    {
        QString line = text;
        line.replace(QLatin1String("\r\n"), QLatin1String(" "));
        m_err << "wendlecott-cli: " << (title.isEmpty() ? QString() : title + QLatin1String(": ")) << line
              << '\n';
        m_err.flush();
    }
    bool askOkCancel(const QString &, const QString &) override { return false; }
    core::AbortRetryIgnore askAbortRetryIgnore(const QString &, const QString &) override
    {
        return core::AbortRetryIgnore::Abort;
    }
    void showBlocked(const QString &, const QString &) override {}
    void showOverflowNotice() override
    {
        m_err << "wendlecott-cli: One of your lists has reached 20000 entries. They have been saved in the "
                 "overflow folder and cleared.\n";
        m_err.flush();
    }

private:
    QTextStream &m_err;
};

QString recordLine(const core::RunRecord &record)
{
    switch (record.kind) {
    case core::RunRecord::Kind::Available:
        return QStringLiteral("available\t%1\t%2").arg(record.name, record.profileClass);
    case core::RunRecord::Kind::Registered:
        return QStringLiteral("registered\t%1").arg(record.name);
    case core::RunRecord::Kind::Blocked:
        return QStringLiteral("blocked\t%1\t%2").arg(record.name, record.server);
    case core::RunRecord::Kind::Timeout:
        return QStringLiteral("timeout\t%1\t%2").arg(record.name, record.server);
    case core::RunRecord::Kind::Unknown:
        return QStringLiteral("unknown\t%1\t%2").arg(record.name, record.server);
    }
    return {};
}

} // namespace

// check [FILE] [--tld EXT] [--start N]: a check run over a list file (standard input without
// FILE), filing verdicts into the program folder's lists as the main window does. Ctrl-C
// stops it as the Stop button does.
int cmdCheck(CliContext &context, const QStringList &args)
{
    QString file;
    QString tld;
    qint32 start = 1;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--tld") || arg == QLatin1String("--start")) {
            if (i + 1 >= args.size())
                return fail(context, QStringLiteral("check: %1 needs a value").arg(arg), kExitUsage);
            const QString value = args.at(++i);
            if (arg == QLatin1String("--tld")) {
                tld = value;
            } else {
                const auto position = config::toInt32(value);
                if (!position || *position < 1)
                    return fail(context, QStringLiteral("check: --start needs a position from 1"),
                                kExitUsage);
                start = *position;
            }
        } else if (arg.startsWith(QLatin1String("--"))) {
            return fail(context, QStringLiteral("check: unknown option '%1'").arg(arg), kExitUsage);
        } else if (file.isEmpty()) {
            file = arg;
        } else {
            return fail(context, QStringLiteral("check: give at most one list file"), kExitUsage);
        }
    }

    // Standard input becomes a temporary list file, read like any other list.
    QTemporaryFile standardInput;
    QString listPath = file;
    if (file.isEmpty()) {
        if (!context.io.in || !standardInput.open())
            return fail(context, QStringLiteral("check: cannot read standard input"));
        QIODevice *device = context.io.in->device();
        standardInput.write(device ? device->readAll() : context.io.in->readAll().toUtf8());
        standardInput.flush();
        listPath = standardInput.fileName();
    }

    auto loaded = loadProgramTldTable(context);
    if (!loaded)
        return fail(context, loaded.message());
    core::TldTable table = std::move(loaded).value();
    const bool useProxy = storedProxySwitch(context);
    const QString defaultExtension =
        config::readSetting(context.settings, config::keys::DefaultExt, config::defaults::DefaultExt);
    core::PauseState pause;
    pause.throttleMs = config::toInt32(config::readSetting(context.settings, config::keys::Throttle,
                                                           config::defaults::ThrottleAtStartup))
                           .value_or(0);

    CliNotice notice(context.io.err);
    core::NoClipboard clipboard;
    core::NoAddressOpener opener;
    core::ResultLists lists(context.folder.root(), notice, clipboard, opener);
    const core::Timing timing;
    platform::QtScheduler scheduler;
    core::CheckRun run(core::RunEnvironment{table, useProxy, pause, lists, notice}, scheduler, timing,
                       platform::QtWhoisConnection::factory());

    sources::ListReader reader;
    const auto count = reader.entryCount(listPath);
    if (!count)
        return fail(context, QStringLiteral("File %1 not found.").arg(file));

    core::RunSource source;
    source.listPath = file.isEmpty() ? QStringLiteral("(standard input)") : file;
    source.readEntry = [&](qint32 position) { return reader.readEntry(listPath, position); };
    source.domainFor = [&](const QString &entry) {
        return sources::domainForEntry(entry, tld, defaultExtension);
    };
    source.storePosition = [&](qint32 next) {
        (void)config::writeSetting(context.settings, config::keys::WordNumber, QString::number(next));
    };

    int counts[4] = {0, 0, 0, 0};
    QObject::connect(&run, &core::CheckRun::recordFinished, &run, [&](const core::RunRecord &record) {
        ++counts[int(record.kind)];
        context.io.out << recordLine(record) << '\n';
        context.io.out.flush();
    });
    QEventLoop loop;
    bool interrupted = false;
    QObject::connect(&run, &core::CheckRun::stopped, &loop, &QEventLoop::quit);
    InterruptWatcher interrupt;
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &run, [&] {
        interrupted = true;
        run.stopRun();
    });

    run.startRun(source, start, count.value());
    if (run.isRunning())
        loop.exec();

    const qint32 next = run.resumePosition();
    context.io.err << "wendlecott-cli check: " << counts[0] << " available, " << counts[1] << " registered, "
                   << counts[2] << " blocked, " << counts[3] << " timed out";
    if (interrupted)
        context.io.err << "; stopped before entry " << next << " (resume with --start " << next << ")";
    context.io.err << '\n';
    return kExitOk;
}

} // namespace wendlecott::cli
