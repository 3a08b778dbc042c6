#include "config/ProgramFolder.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(wendlecott::config::kProductName);
    QApplication::setOrganizationName(wendlecott::config::kCompanyName);
    QMainWindow window;
    window.setObjectName(QStringLiteral("Form1"));
    window.setWindowTitle(wendlecott::config::kProductName + QStringLiteral(" by ") +
                          wendlecott::config::kCompanyName);
    window.resize(900, 600);
    window.show();
    return QApplication::exec();
}
