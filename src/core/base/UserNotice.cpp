#include "core/base/UserNotice.h"

namespace wendlecott::core {

QString passedOverNoticeText(const QString &domain, const QString &reason)
{
    return QStringLiteral("An error has occurred.\r\nError #: 9\r\nDescription: %1\r\n\r\n"
                          "Further names of this run that no row serves are passed over and counted in the "
                          "status bar.")
        .arg(reason.isEmpty() ? QStringLiteral("No TLD row serves %1").arg(domain) : reason);
}

std::unique_ptr<UserNotice> UserNotice::noticeFor(QObject *)
{
    return std::make_unique<ForwardingNotice>(*this);
}

QString addressNotOpenedQuestion(const QString &url)
{
    return QStringLiteral("The address could not be opened: no web browser could be started on this "
                          "desktop.\r\n\r\n%1\r\n\r\nCopy the address to the clipboard?")
        .arg(url);
}

bool openAddressOrOfferCopy(const QString &url, AddressOpener &opener, UserNotice &notice,
                            Clipboard &clipboard)
{
    if (opener.openAddress(url))
        return true;
    if (notice.askOkCancel(kAddressNotOpenedTitle, addressNotOpenedQuestion(url)))
        clipboard.setText(url);
    return false;
}

} // namespace wendlecott::core
