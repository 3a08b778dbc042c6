#pragma once

#include <QDialog>

#include <functional>

class QLabel;

namespace wendlecott::ui {

// The address handed to the browser for a web address: "http://" goes in front unless it
// already holds "http://" or "https://" (in any case).
QString addressForBrowser(const QString &address);

// The program's version as shown: major and minor joined by ".".
QString versionText();

// AboutWindow: the product, its owner, its version and its web address. Not modal; a click on
// the address runs `openWebsite`, which the main window makes do what its website button does.
class AboutWindow final : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(std::function<void()> openWebsite, QWidget *parent = nullptr);
    ~AboutWindow() override;

    // The click on the address.
    void openWebsite();

private:
    std::function<void()> m_openWebsite;
};

} // namespace wendlecott::ui
