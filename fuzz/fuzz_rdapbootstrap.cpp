// The RDAP bootstrap reader and the choice of a base address for a name.
// Input: name NUL bootstrap JSON.
#include "FuzzInput.h"
#include "core/lookup/RdapBootstrap.h"

using namespace wendlecott;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> parts = fuzz::splitInput(data, size, 2);
    const QString name = QString::fromUtf8(parts.at(0));
    const core::Result<core::RdapBootstrap> parsed = core::RdapBootstrap::parse(parts.at(1));
    if (!parsed) {
        FUZZ_CHECK(parsed.code() == core::ErrorCode::InvalidInput);
        FUZZ_CHECK(!parsed.message().isEmpty());
        return 0;
    }
    const core::RdapBootstrap &bootstrap = parsed.value();
    // A file that is taken lists a service with an extension and an address.
    FUZZ_CHECK(bootstrap.serviceCount() > 0);
    FUZZ_CHECK(bootstrap.extensionCount() > 0);

    const QString extension = bootstrap.extensionFor(name);
    const std::optional<QUrl> base = bootstrap.baseUrlFor(name);
    FUZZ_CHECK(extension.isEmpty() == !base.has_value());
    if (!extension.isEmpty()) {
        // The extension is a run of the name's last labels, never the whole name.
        const QString ace = core::idnaName(name);
        FUZZ_CHECK(ace.endsWith(QLatin1Char('.') + extension));
        const QString scheme = base->scheme().toLower();
        FUZZ_CHECK(scheme == QLatin1String("https") || scheme == QLatin1String("http"));
        FUZZ_CHECK(base->path().endsWith(QLatin1Char('/')));
    }
    return 0;
}
