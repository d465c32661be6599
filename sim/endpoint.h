#pragma once

#include "sim/controller.h"
#include "sim/pacer.h"

#include <QObject>

#include <deque>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

namespace sim {

// Carries bytes between one transport and the controller. With a line rate
// set, bytes move in each direction no faster than a serial line at that baud
// rate would carry them (10 bits a byte): each byte reaches the controller at
// the moment its last bit would, and the controller's answer starts on the
// line at that same moment, not when the simulator got round to it. Answers
// are held back until their last bit is due, on the pacer's timer.
class Endpoint : public QObject {
    Q_OBJECT
public:
    // Without a pacer, bytes move as fast as the transport takes them.
    Endpoint(Controller &controller, Pacer *pacer, QObject *parent = nullptr);
    ~Endpoint() override;

protected:
    // From the transport.
    void received(const QByteArray &bytes);
    // A new peer: forget the old one's half line and queued bytes.
    void beginSession();
    virtual void writeOut(const QByteArray &bytes) = 0;
    virtual void dropPeer() = 0;

private:
    struct Due {
        qint64 at; // monotonic nanoseconds
        char byte;
        bool drop; // the connection goes at this moment instead
    };
    void attach();
    void queueOut(const QByteArray &bytes, bool drop);
    void deliverDue();
    void arm();
    friend class Pacer; // wakes deliverDue() and keeps m_wakeAt

    Controller &m_controller;
    Pacer *m_pacer;
    qint64 m_inFree = 0;      // when the line towards the controller is next idle
    qint64 m_outFree = 0;     // and the line back
    qint64 m_virtualNow = -1; // the arrival time of the byte being fed, while feeding
    std::deque<Due> m_out;
    qint64 m_wakeAt = -1; // the wake-up the pacer holds for this endpoint
};

class TcpEndpoint final : public Endpoint {
    Q_OBJECT
public:
    TcpEndpoint(Controller &controller, Pacer *pacer, QObject *parent = nullptr);
    bool listen(const QString &address, quint16 port, QString *error);
    quint16 port() const;

protected:
    void writeOut(const QByteArray &bytes) override;
    void dropPeer() override;

private:
    QTcpServer *m_server;
    QTcpSocket *m_peer = nullptr;
};

class PtyEndpoint final : public Endpoint {
    Q_OBJECT
public:
    PtyEndpoint(Controller &controller, Pacer *pacer, QObject *parent = nullptr);
    ~PtyEndpoint() override;
    bool open(QString *error);
    QString slavePath() const { return m_slavePath; }

protected:
    void writeOut(const QByteArray &bytes) override;
    void dropPeer() override;

private:
    void readMaster();
    void flushPending();

    int m_master = -1;
    int m_slaveKeep = -1;
    QString m_slavePath;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_pending;
};

} // namespace sim
