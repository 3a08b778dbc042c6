#include "core/lookup/RdapBootstrap.h"

#include "core/base/Paths.h"
#include "core/base/TextFile.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace wendlecott::core {

namespace {

const QString kBuiltInResource = QStringLiteral(":/wendlecott/rdap-dns-bootstrap.json");

Error invalid(const QString &why)
{
    return Error{ErrorCode::InvalidInput, QStringLiteral("not an RDAP bootstrap file: %1").arg(why)};
}

// The service's addresses, https first (in file order otherwise), each ending with "/".
std::optional<QList<QUrl>> serviceAddresses(const QJsonArray &addresses)
{
    QList<QUrl> secure;
    QList<QUrl> plain;
    for (const QJsonValue &value : addresses) {
        QString text = value.toString();
        if (!text.endsWith(QLatin1Char('/')))
            text += QLatin1Char('/');
        const QUrl url(text, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty())
            continue;
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("https"))
            secure.append(url);
        else if (scheme == QLatin1String("http"))
            plain.append(url);
    }
    if (secure.isEmpty() && plain.isEmpty())
        return std::nullopt;
    return secure + plain;
}

} // namespace

QString idnaName(const QString &name)
{
    QString lowered = name.trimmed().toLower();
    while (lowered.endsWith(QLatin1Char('.')))
        lowered.chop(1);
    if (lowered.isEmpty())
        return {};
    const QByteArray ace = QUrl::toAce(lowered);
    return QString::fromLatin1(ace).toLower();
}

Result<RdapBootstrap> RdapBootstrap::parse(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return invalid(QStringLiteral("%1 at byte %2").arg(error.errorString()).arg(error.offset));
    if (!document.isObject())
        return invalid(QStringLiteral("the file is no JSON object"));
    const QJsonObject root = document.object();
    const QJsonValue services = root.value(QLatin1String("services"));
    if (!services.isArray() || services.toArray().isEmpty())
        return invalid(QStringLiteral("it lists no services"));

    RdapBootstrap bootstrap;
    bootstrap.m_publication = root.value(QLatin1String("publication")).toString();
    int index = 0;
    for (const QJsonValue &service : services.toArray()) {
        ++index;
        const QJsonArray pair = service.toArray();
        if (pair.size() < 2 || !pair.at(0).isArray() || !pair.at(1).isArray())
            return invalid(QStringLiteral("service %1 is not a pair of lists").arg(index));
        const std::optional<QList<QUrl>> addresses = serviceAddresses(pair.at(1).toArray());
        if (!addresses)
            return invalid(QStringLiteral("service %1 has no http(s) address").arg(index));
        int labels = 0;
        for (const QJsonValue &label : pair.at(0).toArray()) {
            const QString extension = idnaName(label.toString());
            if (extension.isEmpty())
                continue;
            ++labels;
            // A label listed twice keeps its first service, as a reader of the file in order would.
            if (!bootstrap.m_bases.contains(extension))
                bootstrap.m_bases.insert(extension, *addresses);
        }
        if (labels == 0)
            return invalid(QStringLiteral("service %1 names no extension").arg(index));
        ++bootstrap.m_services;
    }
    return bootstrap;
}

const RdapBootstrap &RdapBootstrap::builtIn()
{
    static const RdapBootstrap bootstrap = [] {
        const Result<QByteArray> bytes = readBytes(kBuiltInResource);
        Result<RdapBootstrap> parsed = bytes ? parse(bytes.value()) : Result<RdapBootstrap>(bytes.error());
        RdapBootstrap built = parsed ? std::move(parsed).value() : RdapBootstrap();
        built.m_source = QStringLiteral("built-in");
        return built;
    }();
    return bootstrap;
}

QString RdapBootstrap::pathIn(const QString &programFolder)
{
    return resolveUnder(programFolder, kRdapBootstrapFileName);
}

RdapBootstrap RdapBootstrap::forProgramFolder(const QString &programFolder, QString *problem)
{
    const QString path = pathIn(programFolder);
    if (!QFileInfo(path).isFile())
        return builtIn();
    const Result<QByteArray> bytes = readBytes(path, kMaxRdapBootstrapBytes);
    Result<RdapBootstrap> parsed = bytes ? parse(bytes.value()) : Result<RdapBootstrap>(bytes.error());
    if (!parsed) {
        if (problem)
            *problem = QStringLiteral("%1: %2; the built-in copy is used").arg(path, parsed.message());
        return builtIn();
    }
    RdapBootstrap bootstrap = std::move(parsed).value();
    bootstrap.m_source = path;
    return bootstrap;
}

QString RdapBootstrap::extensionFor(const QString &name) const
{
    const QString ace = idnaName(name);
    // Every run of last labels, longest first; the whole name itself is no extension.
    qsizetype dot = ace.indexOf(QLatin1Char('.'));
    while (dot >= 0) {
        const QString candidate = ace.mid(dot + 1);
        if (m_bases.contains(candidate))
            return candidate;
        dot = ace.indexOf(QLatin1Char('.'), dot + 1);
    }
    return {};
}

std::optional<QUrl> RdapBootstrap::baseUrlFor(const QString &name) const
{
    const QString extension = extensionFor(name);
    if (extension.isEmpty())
        return std::nullopt;
    return m_bases.value(extension).value(0);
}

} // namespace wendlecott::core
