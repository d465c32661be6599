#include "link/rfc2217io.h"

#include "link/commsettings.h"
#include "link/drain.h"
#include "link/tcpclient.h"

namespace wire {

namespace {
// What a server says before it hangs up ("Device open failure: ..."), as much
// as fits in a message.
constexpr qsizetype kLastWordsMax = 120;

QString lastWords(const QByteArray &data)
{
    QString words;
    for (const char c : data.left(kLastWordsMax)) {
        if (c == '\r' || c == '\n')
            break;
        words.append(c >= ' ' && c < 127 ? QChar::fromLatin1(c) : QChar(u'?'));
    }
    return words.trimmed();
}
} // namespace

Rfc2217Io::Rfc2217Io(QObject *parent) : TcpIo(parent)
{
    m_socket.setReadBufferSize(kReadBufferLimit);
    connect(&m_socket, &QTcpSocket::connected, this, &Rfc2217Io::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &Rfc2217Io::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &Rfc2217Io::onDisconnected);
}

// A socket destroyed while connected still says it disconnected; by then
// the rest of this object is gone, and so may be the link that owns it.
Rfc2217Io::~Rfc2217Io() { QObject::disconnect(&m_socket, nullptr, this, nullptr); }

void Rfc2217Io::setBaud(qint32 baud)
{
    m_baud = baud;
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return;
    m_codec.setBaud(baud);
    sendOutput();
}

void Rfc2217Io::discardInput()
{
    if (!isOpen())
        return;
    m_codec.purgeReceived();
    sendOutput();
    // Commands among the waiting bytes still count; only the data goes.
    do {
        m_data.clear();
        pull();
    } while (!m_data.isEmpty());
}

void Rfc2217Io::connectToHost(const QString &host, quint16 port)
{
    m_up = false;
    m_socket.abort();
    m_codec = {};
    m_data.clear();
    m_closedEarly = false;
    m_host = host;
    m_port = port;
    m_socket.connectToHost(host, port);
}

QString Rfc2217Io::connectFailure() const
{
    const QString peer = m_host.contains(u':') ? QStringLiteral("[%1]:%2").arg(m_host).arg(m_port)
                                               : QStringLiteral("%1:%2").arg(m_host).arg(m_port);
    if (!m_codec.failure().isEmpty())
        return peer + u' ' + m_codec.failure();
    if (m_closedEarly) {
        const QString words = lastWords(m_data);
        return words.isEmpty() ? QStringLiteral("%1 closed the connection").arg(peer)
                               : QStringLiteral("%1 closed the connection (it said: %2)").arg(peer, words);
    }
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return describeConnectError(m_socket);
    if (!m_codec.spoke())
        return QStringLiteral("%1 does not speak RFC 2217: set the port to telnet/RFC 2217 mode, or use --tcp")
            .arg(peer);
    return QStringLiteral("%1 did not acknowledge the line settings %2").arg(peer, serialSettingsString(m_baud));
}

bool Rfc2217Io::isOpen() const { return m_up && m_socket.state() == QAbstractSocket::ConnectedState; }

// Data already received stays readable after the server has gone.
qint64 Rfc2217Io::bytesAvailable() const { return m_up ? m_data.size() : 0; }

QByteArray Rfc2217Io::read(qint64 max)
{
    if (!m_up)
        return {};
    QByteArray taken = m_data.left(max);
    m_data.remove(0, taken.size());
    // The socket stops reading while our buffer is full: refill it.
    pull();
    return taken;
}

bool Rfc2217Io::write(const QByteArray &bytes) { return isOpen() && sendAll(m_socket, Rfc2217Codec::escape(bytes)); }

qint64 Rfc2217Io::bytesToWrite() const { return m_socket.bytesToWrite(); }

void Rfc2217Io::close()
{
    if (isOpen())
        drainQueuedWrites(m_socket);
    // Our own close is no lost link.
    m_up = false;
    m_socket.abort();
    m_data.clear();
    m_closedEarly = false;
}

void Rfc2217Io::onConnected()
{
    setLowDelay(m_socket);
    m_codec.start(m_baud);
    sendOutput();
}

void Rfc2217Io::onReadyRead()
{
    const qsizetype before = m_data.size();
    pull();
    if (!m_up) {
        if (m_codec.ready()) {
            m_up = true;
            Q_EMIT connected();
        } else if (!m_codec.failure().isEmpty()) {
            m_socket.abort();
        }
        return;
    }
    // The server withdrew binary transfer or serial-port control: what
    // follows could no longer be trusted.
    if (!m_codec.failure().isEmpty()) {
        m_socket.abort();
        return;
    }
    if (m_data.size() > before)
        Q_EMIT readyRead();
}

void Rfc2217Io::onDisconnected()
{
    pull();
    if (m_up)
        Q_EMIT lost();
    else if (m_codec.failure().isEmpty())
        m_closedEarly = true;
}

void Rfc2217Io::pull()
{
    while (m_data.size() < kReadBufferLimit && m_socket.bytesAvailable() > 0)
        m_data += m_codec.receive(m_socket.read(kReadBufferLimit - m_data.size()));
    sendOutput();
}

void Rfc2217Io::sendOutput()
{
    const QByteArray out = m_codec.takeOutput();
    if (!out.isEmpty() && m_socket.state() == QAbstractSocket::ConnectedState)
        sendAll(m_socket, out);
}

} // namespace wire
