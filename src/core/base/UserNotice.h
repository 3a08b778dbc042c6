#pragma once

#include <QString>

#include <memory>

class QObject;

namespace wendlecott::core {

// The "Error" box a run shows for the first of its names that nothing serves (`reason` as
// the route said it, or empty); the run counts the rest in the status bar.
QString passedOverNoticeText(const QString &domain, const QString &reason);

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
    // The registrar-blocked notice: shown without waiting; filled only while its registrar
    // box is empty. `domain` is the name that was refused or timed out.
    virtual void showBlocked(const QString &server, const QString &response, const QString &domain) = 0;
    // The notice that the lists overflowed and were saved.
    virtual void showOverflowNotice() = 0;

    // A notice for the logic behind one window (`owner`): its messages and questions belong
    // to that window, so they open over it rather than over the main window. The notice
    // windows (blocked, overflow) stay shared. It must not outlive this notice. The default
    // hands everything to this notice unchanged.
    virtual std::unique_ptr<UserNotice> noticeFor(QObject *owner);
};

// Hands every call to another notice (which must outlive it).
class ForwardingNotice : public UserNotice {
public:
    explicit ForwardingNotice(UserNotice &target) : m_target(target) {}
    void showMessage(const QString &title, const QString &text, NoticeIcon icon) override
    {
        m_target.showMessage(title, text, icon);
    }
    bool askOkCancel(const QString &title, const QString &text) override
    {
        return m_target.askOkCancel(title, text);
    }
    AbortRetryIgnore askAbortRetryIgnore(const QString &title, const QString &text) override
    {
        return m_target.askAbortRetryIgnore(title, text);
    }
    void showBlocked(const QString &server, const QString &response, const QString &domain) override
    {
        m_target.showBlocked(server, response, domain);
    }
    void showOverflowNotice() override { m_target.showOverflowNotice(); }
    std::unique_ptr<UserNotice> noticeFor(QObject *owner) override { return m_target.noticeFor(owner); }

private:
    UserNotice &m_target;
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

inline const QString kAddressNotOpenedTitle = QStringLiteral("Address not opened");

// The question asked when no web browser took an address.
QString addressNotOpenedQuestion(const QString &url);

// Opens `url` in the user's browser. When that fails (no browser on this desktop) the user
// is told so and asked whether to copy the address; OK puts it on the clipboard. True when
// the browser took the address.
bool openAddressOrOfferCopy(const QString &url, AddressOpener &opener, UserNotice &notice,
                            Clipboard &clipboard);

} // namespace wendlecott::core
