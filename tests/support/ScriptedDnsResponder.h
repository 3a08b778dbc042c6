#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QUdpSocket;

namespace wendlecott::testing {

// A name server on 127.0.0.1 (UDP, ephemeral port) that answers every question the way the
// test says: silence, a referral, or decoys (a reply under another id, or for another name)
// with or without the real referral after them. The referral names ns1.example.
class ScriptedDnsResponder final : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        Silent,
        Referral,
        WrongIdOnly,
        OtherNameOnly,
        WrongIdThenReferral,
        OtherNameThenReferral
    };
    struct Question {
        quint16 id = 0;
        QString name; // as on the wire, dotted, lower case
        bool recursionDesired = false;
    };

    explicit ScriptedDnsResponder(Mode mode, QObject *parent = nullptr);
    ~ScriptedDnsResponder() override;
    bool start();
    quint16 port() const;
    const QList<Question> &questions() const { return m_questions; }

    // A reply to `query` that refers its name (or `otherName`) to ns1.example, under `id`.
    static QByteArray referral(const QByteArray &query, quint16 id, const QString &otherName = {});

Q_SIGNALS:
    void questionReceived();

private:
    void onReadyRead();

    Mode m_mode;
    QUdpSocket *m_socket;
    QList<Question> m_questions;
};

} // namespace wendlecott::testing
