#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"

#include "config/FolderLock.h"
#include "core/lookup/RdapBootstrap.h"
#include "core/lookup/RdapBootstrapUpdate.h"

#include <QEventLoop>

#include <optional>

namespace wendlecott::cli {

namespace {

// rdap update [URL]: the bootstrap file fetched, checked and put into the program folder.
int updateBootstrap(CliContext &context, const QStringList &args)
{
    if (args.size() > 1)
        return fail(context, QStringLiteral("rdap update takes at most one URL"), kExitUsage);
    const QUrl address(args.isEmpty() ? core::kRdapBootstrapAddress : args.first(), QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return fail(context, QStringLiteral("rdap update: '%1' is no http(s) address").arg(args.value(0)),
                    kExitUsage);
    config::AppState &state = context.state;
    if (!state.http())
        return fail(context, QStringLiteral("rdap update: no HTTP client"));

    config::FolderLock lock(state.folder().root());
    if (const core::Status locked = lock.acquire(); !locked)
        return fail(context, locked.message());

    const QString path = core::RdapBootstrap::pathIn(state.folder().root());
    core::RdapBootstrapUpdate update(*state.http());
    QEventLoop loop;
    std::optional<core::Result<core::RdapBootstrapRefresh>> result;
    QObject::connect(&update, &core::RdapBootstrapUpdate::finished, &loop,
                     [&](const core::Result<core::RdapBootstrapRefresh> &finished) {
                         result.emplace(finished);
                         loop.quit();
                     });
    update.start(address, path);
    loop.exec();
    if (!result->ok())
        return fail(context, QStringLiteral("rdap update: %1; %2 is unchanged").arg(result->message(), path));
    const core::RdapBootstrapRefresh &refresh = result->value();
    // The publication is the server's text: escaped on a terminal like every other.
    context.io.out << shown(context, QStringLiteral("updated\t%1\t%2\t%3 services\t%4 extensions")
                                         .arg(refresh.path, refresh.bootstrap.publication())
                                         .arg(refresh.bootstrap.serviceCount())
                                         .arg(refresh.bootstrap.extensionCount()))
                   << '\n';
    return kExitOk;
}

// rdap info: the bootstrap in use.
int showBootstrap(CliContext &context)
{
    if (const core::Status opened = openProgramState(context); !opened)
        return fail(context, opened.message());
    const core::RdapBootstrap &bootstrap = context.state.bootstrap();
    context.io.out << shown(context, QStringLiteral("%1\t%2\t%3 services\t%4 extensions")
                                         .arg(bootstrap.source(), bootstrap.publication())
                                         .arg(bootstrap.serviceCount())
                                         .arg(bootstrap.extensionCount()))
                   << '\n';
    return kExitOk;
}

// rdap base NAME: where an RDAP lookup of NAME goes.
int showBase(CliContext &context, const QStringList &args)
{
    if (args.size() != 1)
        return fail(context, QStringLiteral("rdap base takes one NAME"), kExitUsage);
    if (const core::Status opened = openProgramState(context); !opened)
        return fail(context, opened.message());
    const core::RdapBootstrap &bootstrap = context.state.bootstrap();
    const std::optional<QUrl> base = bootstrap.baseUrlFor(args.first());
    if (!base)
        return fail(context,
                    QStringLiteral("no RDAP service for %1 in the bootstrap file").arg(args.first()));
    context.io.out << shown(context,
                            bootstrap.extensionFor(args.first()) + QLatin1Char('\t') + base->toString())
                   << '\n';
    return kExitOk;
}

} // namespace

int cmdRdap(CliContext &context, const QStringList &args)
{
    const QString what = args.value(0);
    if (what == QLatin1String("update"))
        return updateBootstrap(context, args.mid(1));
    if (what == QLatin1String("info") && args.size() == 1)
        return showBootstrap(context);
    if (what == QLatin1String("base"))
        return showBase(context, args.mid(1));
    return fail(context, QStringLiteral("rdap: give update [URL], info or base NAME"), kExitUsage);
}

} // namespace wendlecott::cli
