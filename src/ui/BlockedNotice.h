#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace wendlecott::ui {

// The registrar-blocked notice: which whois server seems to refuse or drop our queries,
// and what it answered. It keeps the first server and answer until the user closes it.
class BlockedNotice final : public QWidget {
    Q_OBJECT
public:
    explicit BlockedNotice(QWidget *parent = nullptr);
    ~BlockedNotice() override;

    // Puts the server and its answer into the boxes unless the notice already holds one;
    // true when it did.
    bool fill(const QString &server, const QString &response);
    bool isFilled() const { return m_filled; }

    QString registrar() const;
    QString response() const;

private:
    QLabel *m_label2 = nullptr;
    QLineEdit *m_txtRegistrar = nullptr;
    QPlainTextEdit *m_txtResponse = nullptr;
    bool m_filled = false;
};

} // namespace wendlecott::ui
