#include "ui/AboutWindow.h"

#include "config/ProgramFolder.h"
#include "core/base/UserNotice.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace wendlecott::ui {

QString addressForBrowser(const QString &address)
{
    if (address.contains(QLatin1String("http://"), Qt::CaseInsensitive) ||
        address.contains(QLatin1String("https://"), Qt::CaseInsensitive))
        return address;
    return QStringLiteral("http://") + address;
}

QString versionText()
{
    return QString::number(WENDLECOTT_VERSION_MAJOR) + QLatin1Char('.') +
           QString::number(WENDLECOTT_VERSION_MINOR);
}

AboutWindow::AboutWindow(std::function<void()> websiteOpener, QWidget *parent)
    : QDialog(parent), m_openWebsite(std::move(websiteOpener))
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + config::kProductName);
    setModal(false);

    auto *product = new QLabel(config::kProductName, this);
    product->setObjectName(QStringLiteral("lblProductName"));
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    product->setFont(big);

    auto *company = new QLabel(config::kCompanyName, this);
    company->setObjectName(QStringLiteral("lblCompany"));
    auto *version = new QLabel(versionText(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto *website = new QLabel(this);
    website->setObjectName(QStringLiteral("lblWebsite"));
    website->setTextFormat(Qt::RichText);
    website->setText(QStringLiteral("<a href=\"#\">%1</a>").arg(config::kProductWebAddress.toHtmlEscaped()));
    website->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    website->setCursor(Qt::PointingHandCursor);
    connect(website, &QLabel::linkActivated, this, [this] { openWebsite(); });

    auto *facts = new QFormLayout;
    facts->addRow(QStringLiteral("Owned By:"), company);
    facts->addRow(QStringLiteral("Version:"), version);
    facts->addRow(QStringLiteral("Website:"), website);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(product);
    layout->addSpacing(8);
    layout->addLayout(facts);
    layout->addStretch(1);
    layout->addWidget(buttons);
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::openWebsite()
{
    if (m_openWebsite)
        m_openWebsite();
}

} // namespace wendlecott::ui
