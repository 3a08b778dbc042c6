#include "ui/DesktopPorts.h"

#include "platform/QtPorts.h"
#include "platform/widgets/QtAddressOpener.h"
#include "platform/widgets/QtClipboard.h"
#include "ui/BlockedNotice.h"
#include "ui/OverflowNotice.h"
#include "ui/QtUserNotice.h"

namespace wendlecott::ui {

config::AppPorts desktopPorts(config::AppPorts ports, const QString &settingsFolder)
{
    platform::addQtAdapters(ports, settingsFolder);
    if (!ports.notice)
        ports.notice = std::make_unique<QtUserNotice>();
    if (!ports.clipboard)
        ports.clipboard = std::make_unique<platform::QtClipboard>();
    if (!ports.opener)
        ports.opener = std::make_unique<platform::QtAddressOpener>();
    return ports;
}

} // namespace wendlecott::ui
