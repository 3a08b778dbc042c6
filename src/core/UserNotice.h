#pragma once

#include <QString>

namespace wendlecott::core {

// The text of the notice that a result list reached its overflow size and the lists were
// saved into the overflow folder and cleared; the windows and the command line show it alike.
QString overflowNoticeText();

enum class NoticeIcon { None, Information, Warning, Critical };
enum class AbortRetryIgnore { Abort, Retry, Ignore };

// Everything the logic tells or asks the user. Plain messages do not wait for the user
// (the logic goes on); questions do.
class UserNotice {
public:
    virtual ~UserNotice() = default;

    // A message with an OK button. An empty title means the platform's default title.
    virtual void showMessage(const QString &title, const QString &text, NoticeIcon icon) = 0;
    virtual bool askOkCancel(const QString &title, const QString &text) = 0;
    virtual AbortRetryIgnore askAbortRetryIgnore(const QString &title, const QString &text) = 0;
    // The registrar-blocked notice: shown without waiting; filled only while its registrar box is empty.
    virtual void showBlocked(const QString &server, const QString &response) = 0;
    // The notice that the lists overflowed and were saved.
    virtual void showOverflowNotice() = 0;
};

// The clipboard: replaced whole with plain text.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void setText(const QString &text) = 0;
};

// Hands addresses and files to the user's own programs.
class AddressOpener {
public:
    virtual ~AddressOpener() = default;
    virtual bool openAddress(const QString &url) = 0;
    virtual bool openFile(const QString &path) = 0;
};

// For front ends that have no clipboard or browser (the command line, benchmarks).
class NoClipboard final : public Clipboard {
public:
    void setText(const QString &) override {}
};

class NoAddressOpener final : public AddressOpener {
public:
    bool openAddress(const QString &) override { return false; }
    bool openFile(const QString &) override { return false; }
};

} // namespace wendlecott::core
