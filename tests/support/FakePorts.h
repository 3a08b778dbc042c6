#pragma once

#include "core/base/UserNotice.h"

#include <QStringList>

namespace wendlecott::testing {

// Records what the logic put on the clipboard.
class FakeClipboard final : public core::Clipboard {
public:
    void setText(const QString &value) override
    {
        text = value;
        texts.append(value);
        ++sets;
    }
    QString text = QStringLiteral("untouched");
    QStringList texts;
    int sets = 0;
};

// Records the addresses and files the logic asked the desktop to open; `works` false plays
// a desktop without a browser.
class FakeOpener final : public core::AddressOpener {
public:
    bool openAddress(const QString &url) override
    {
        addresses.append(url);
        return works;
    }
    bool openFile(const QString &path) override
    {
        files.append(path);
        return works;
    }
    QStringList addresses;
    QStringList files;
    bool works = true;
};

} // namespace wendlecott::testing
