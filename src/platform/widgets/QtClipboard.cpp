#include "platform/widgets/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace wendlecott::platform {

void QtClipboard::setText(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        return;
    clipboard->clear();
    clipboard->setText(text);
}

} // namespace wendlecott::platform
