#pragma once

#include "sim/controller.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

namespace sim {

// Carries bytes between one transport and the controller. With a line rate
// set, bytes move in each direction no faster than a serial line at that baud
// rate would carry them (10 bits a byte).
class Endpoint : public QObject {
    Q_OBJECT
public:
    Endpoint(Controller &controller, int paceBaud, QObject *parent = nullptr);

protected:
    // From the transport.
    void received(const QByteArray &bytes);
    // A new peer: forget the old one's half line and queued bytes.
    void beginSession();
    virtual void writeOut(const QByteArray &bytes) = 0;
    virtual void dropPeer() = 0;

private:
    void attach();
    void pump();

    Controller &m_controller;
    int m_baud;
    QByteArray m_in;
    QByteArray m_out;
    QTimer m_tick;
    QElapsedTimer m_clock;
    double m_inBudget = 0;
    double m_outBudget = 0;
    qint64 m_last = 0;
};

class TcpEndpoint final : public Endpoint {
    Q_OBJECT
public:
    TcpEndpoint(Controller &controller, int paceBaud, QObject *parent = nullptr);
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
    PtyEndpoint(Controller &controller, int paceBaud, QObject *parent = nullptr);
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
