#include "platform/widgets/QtAddressOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace wendlecott::platform {

bool QtAddressOpener::openAddress(const QString &url)
{
    const QUrl address(url, QUrl::TolerantMode);
    if (!address.isValid() || address.isEmpty())
        return false;
    return QDesktopServices::openUrl(address);
}

bool QtAddressOpener::openFile(const QString &path)
{
    if (path.isEmpty())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace wendlecott::platform
