#include "ui/SplashWindow.h"

#include "config/AppState.h"
#include "config/ProgramFolder.h"
#include "ui/AboutWindow.h"
#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>

namespace wendlecott::ui {

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x1f, 0x5f, 0x8b));
        painter.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
        QFont font(QStringLiteral("Verdana"));
        font.setBold(true);
        font.setPixelSize(size * 3 / 4);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("W"));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

SplashWindow::SplashWindow(config::AppState &state, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_state(state)
    , m_timer(state.scheduler(), [this] { tick(); })
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(config::kProductName);
    setWindowIcon(programIcon());
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(0x1f, 0x5f, 0x8b));
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);

    auto *product = new QLabel(config::kProductName, this);
    product->setObjectName(QStringLiteral("lblProductName"));
    QFont big(QStringLiteral("Verdana"));
    big.setPointSize(28);
    big.setBold(true);
    product->setFont(big);
    auto *company = new QLabel(QStringLiteral("by ") + config::kCompanyName, this);
    company->setObjectName(QStringLiteral("lblCompanyName"));
    auto *version = new QLabel(QStringLiteral("Version ") + versionText(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto *address = new QLabel(config::kProductWebAddress, this);
    address->setObjectName(QStringLiteral("lblWebsite"));
    for (QLabel *label : {company, version, address})
        label->setFont(QFont(QStringLiteral("Verdana"), 10));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 28, 32, 24);
    layout->addWidget(product);
    layout->addWidget(company);
    layout->addStretch(1);
    layout->addWidget(version);
    layout->addWidget(address);
    resize(440, 240);
}

SplashWindow::~SplashWindow() = default;

void SplashWindow::start()
{
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    m_counter = 0;
    m_timer.start(m_state.timing().splashTickMs);
}

void SplashWindow::tick()
{
    // The counter goes up by 2 at every tick; at the last tick the main window opens.
    const int before = m_counter;
    m_counter += 2;
    if (before >= 2 * (m_state.timing().splashTicks - 1)) {
        m_timer.stop();
        openMainWindow();
    }
}

void SplashWindow::openMainWindow()
{
    if (m_main)
        return;
    m_main = std::make_unique<MainWindow>(m_state);
    m_main->setWindowIcon(windowIcon());
    Q_EMIT mainWindowLoaded(m_main.get());
    m_main->show();
    hide();
}

void SplashWindow::closeEvent(QCloseEvent *event)
{
    // Closed before its time (or at shutdown): no main window opens after this.
    m_timer.stop();
    QWidget::closeEvent(event);
}

} // namespace wendlecott::ui
