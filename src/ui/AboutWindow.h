#pragma once

#include <QDialog>

class QLabel;

namespace wendlecott::core {
class AddressOpener;
}

namespace wendlecott::ui {

// The address handed to the browser for a web address: "http://" goes in front unless it
// already holds "http://" or "https://" (in any case).
QString addressForBrowser(const QString &address);

// The program's version as shown: major and minor joined by ".".
QString versionText();

// AboutWindow: the product, its owner, its version and its web address. Not modal; a click on
// the address opens it in the browser as the main window's website button does.
class AboutWindow final : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(core::AddressOpener &opener, QWidget *parent = nullptr);
    ~AboutWindow() override;

    // The click on the address.
    void openWebsite();

private:
    core::AddressOpener &m_opener;
};

} // namespace wendlecott::ui
