#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace wendlecott::ui {

// The registrar-blocked notice: which whois server seems to refuse or drop our queries, for
// which name, and what it answered. It keeps the first server, name and answer until the
// user closes it, and counts the refusals and time-outs that come after while it is open.
class BlockedNotice final : public QWidget {
    Q_OBJECT
public:
    explicit BlockedNotice(QWidget *parent = nullptr);
    ~BlockedNotice() override;

    // Puts the server, the name and the answer into the boxes unless the notice already
    // holds one (true when it did); a later call is counted instead.
    bool fill(const QString &server, const QString &response, const QString &domain = {});
    bool isFilled() const { return m_filled; }

    QString registrar() const;
    QString response() const;
    QString domain() const;
    // Refusals and time-outs after the one shown.
    int furtherCount() const { return m_further; }
    QString furtherText() const;

private:
    QLabel *m_label2 = nullptr;
    QLineEdit *m_txtDomain = nullptr;
    QLineEdit *m_txtRegistrar = nullptr;
    QPlainTextEdit *m_txtResponse = nullptr;
    QLabel *m_furtherLabel = nullptr;
    bool m_filled = false;
    int m_further = 0;
};

} // namespace wendlecott::ui
