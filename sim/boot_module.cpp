#include "sim/boot_module.h"

#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace sim {

namespace {
const QByteArray kBreakIn = QByteArrayLiteral("\x00\x1b\x0d\x00\x1b\x0d");
constexpr int kTrailer = 44;
constexpr int kDate = 8;
constexpr int kFill = 52;
constexpr int kFills = 2;
// A download in progress that goes quiet this long was abandoned by the
// program (a time-out on its side); the boot code then waits for a break-in.
constexpr qint64 kAbandonMs = 1000;

bool validDate(const QByteArray &d)
{
    if (d.size() != kDate)
        return false;
    for (const char c : d)
        if (c < '0' || c > '9')
            return false;
    const int month = d.left(2).toInt();
    const int day = d.mid(2, 2).toInt();
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}
} // namespace

// The boot code's state on one transport.
class BootModule::Session {
public:
    Session(BootModule &module, Controller &controller) : m_module(module), m_controller(controller)
    {
        m_quiet.start();
    }

    bool take(char c)
    {
        if (m_passThrough)
            return false;
        const qint64 quiet = m_quiet.restart();
        if (m_state > State::WaitStart && m_state != State::Done && quiet > kAbandonMs) {
            m_state = State::Aborted;
            m_match = 0;
        }
        const auto b = static_cast<quint8>(c);
        switch (m_state) {
        case State::Command:
            return command(c);
        case State::WaitStart:
            return waitStart(c);
        case State::Length:
            length(b);
            return true;
        case State::Data:
            m_block.append(c);
            if (m_block.size() == (m_expect + 1) / 2 && fires(m_module.m_faults.dropMidAt, m_acks + 1)) {
                dropLink();
                return true;
            }
            if (m_block.size() == m_expect)
                m_state = State::Check;
            return true;
        case State::Check:
            check(b);
            return true;
        case State::Trailer:
            m_trailer.append(c);
            if (m_trailer.size() == kTrailer)
                m_state = State::Date;
            return true;
        case State::Date:
            m_date.append(c);
            if (m_date.size() == kDate) {
                if (validDate(m_date))
                    finish();
                else
                    nack();
            }
            return true;
        case State::Done:
            return done(c);
        case State::Aborted:
            // A failed download leaves the controller in its boot code, which
            // answers no command line; a break-in restarts it, whether the
            // program retries at once or on a new connection.
            abortedByte(c);
            return true;
        }
        return false;
    }

private:
    enum class State { Command, WaitStart, Length, Data, Check, Trailer, Date, Done, Aborted };

    // Command mode watches for the break-in. Its bytes are held back while
    // they match; when the match fails they are handed on (the reset command
    // starts with a NUL too).
    bool command(char c)
    {
        if (c == kBreakIn.at(m_match)) {
            if (++m_match == kBreakIn.size()) {
                m_match = 0;
                m_state = State::WaitStart;
            }
            return true;
        }
        if (m_match > 0) {
            const QByteArray held = kBreakIn.left(m_match);
            m_match = 0;
            handOn(held);
            return command(c);
        }
        return false;
    }

    void abortedByte(char c)
    {
        if (c != kBreakIn.at(m_match))
            m_match = 0;
        if (c != kBreakIn.at(m_match))
            return;
        ++m_match;
        if (m_match == kBreakIn.size()) {
            m_match = 0;
            m_state = State::WaitStart;
        }
    }

    bool waitStart(char c)
    {
        if (c == 'B' || c == 'w') {
            m_serialExtension = c == 'w';
            m_maxBlock = m_serialExtension ? 32 : 50;
            m_payload.clear();
            m_trailer.clear();
            m_date.clear();
            m_acks = 0;
            m_shortSeen = false;
            m_state = State::Length;
            m_controller.sendRaw(m_serialExtension ? "YK" : "TK");
            return true;
        }
        // A repeated break-in keeps the boot code waiting.
        if (kBreakIn.contains(c))
            return true;
        // Not a download after all (the loopback test sends the same
        // sequence, and its module sees it before this one): back to
        // command mode with this byte.
        m_state = State::Command;
        return command(c);
    }

public:
    // A new peer meets command mode, unless a download was under way: the
    // boot code is still running then.
    void restart()
    {
        if (m_state == State::WaitStart || m_state == State::Done)
            m_state = State::Command;
        else if (m_state != State::Command)
            m_state = State::Aborted;
        m_match = 0;
    }

private:
    void length(quint8 n)
    {
        if (n == 0) {
            if (m_serialExtension)
                finish();
            else
                m_state = State::Trailer;
            return;
        }
        // Only the last block may be short, and none longer than the loader's.
        if (n > m_maxBlock || m_shortSeen) {
            nack();
            return;
        }
        m_expect = n;
        m_block.clear();
        m_state = State::Data;
    }

    void check(quint8 sum)
    {
        quint8 x = 0;
        for (const char c : m_block)
            x ^= static_cast<quint8>(c);
        if (x != sum) {
            nack();
            return;
        }
        if (!acknowledge('K'))
            return;
        m_payload.append(m_block);
        m_shortSeen = m_block.size() < m_maxBlock;
        m_state = State::Length;
    }

    void finish()
    {
        // The image is kept before the "B" goes out, so that whoever sees the
        // "B" finds the image already written.
        if (!acknowledge('B', [this] { m_module.received(m_payload + m_trailer, m_date, !m_serialExtension); }))
            return;
        m_fillBytes = 0;
        m_fillsDone = 0;
        m_state = State::Done;
    }

    bool done(char c)
    {
        if (static_cast<quint8>(c) != 0xff || m_fillsDone == kFills) {
            m_state = State::Command;
            return command(c);
        }
        if (m_fillBytes == 0 && m_fillsDone == 0)
            m_module.extensionFills();
        if (++m_fillBytes == kFill) {
            m_fillBytes = 0;
            if (acknowledge('B')) {
                ++m_fillsDone;
                m_state = State::Done;
            }
        }
        return true;
    }

    // Sends one acknowledgement, or the fault set for this one; false when
    // the download cannot go on.
    bool acknowledge(char ack, const std::function<void()> &beforeSending = {})
    {
        const int n = ++m_acks;
        Faults &f = m_module.m_faults;
        if (fires(f.dropAt, n)) {
            dropLink();
            return false;
        }
        if (fires(f.silentAt, n)) {
            m_state = State::Aborted;
            return false;
        }
        if (fires(f.wrongAckAt, n)) {
            m_controller.sendRaw(QByteArray(1, static_cast<char>(ack - 'A' + 'a')));
            m_state = State::Aborted;
            return false;
        }
        if (beforeSending)
            beforeSending();
        m_controller.sendRaw(QByteArray(1, ack));
        return true;
    }

    // Each fault fires once in the simulator's life, so that a retry finds
    // a working controller (still in its boot code).
    static bool fires(int &faultAt, int n)
    {
        if (n != faultAt)
            return false;
        faultAt = 0;
        return true;
    }

    void dropLink()
    {
        m_state = State::Aborted;
        m_controller.dropConnection();
    }

    void nack()
    {
        m_controller.sendRaw("N");
        m_state = State::Aborted;
    }

    void handOn(const QByteArray &bytes)
    {
        m_passThrough = true;
        m_controller.feed(bytes);
        m_passThrough = false;
    }

    BootModule &m_module;
    Controller &m_controller;
    State m_state = State::Command;
    QElapsedTimer m_quiet;
    bool m_passThrough = false;
    qsizetype m_match = 0;
    bool m_serialExtension = false;
    int m_maxBlock = 50;
    int m_expect = 0;
    bool m_shortSeen = false;
    int m_acks = 0;
    int m_fillBytes = 0;
    int m_fillsDone = 0;
    QByteArray m_block;
    QByteArray m_payload;
    QByteArray m_trailer;
    QByteArray m_date;
};

BootModule::BootModule() = default;
BootModule::~BootModule() = default;

void BootModule::addOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("save-image"), QStringLiteral("Write each image the boot code receives to PATH."),
                      QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("boot-wrong-ack"),
                      QStringLiteral("Answer the Nth acknowledgement of a download in lower case (the final B "
                                     "follows the last block; once)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("boot-silent-at"),
                      QStringLiteral("Give no Nth acknowledgement of a download (once)."), QStringLiteral("N")});
    parser.addOption({QStringLiteral("boot-drop-at"),
                      QStringLiteral("Drop the connection instead of the Nth acknowledgement (once)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("boot-drop-mid"),
                      QStringLiteral("Drop the connection when half of the Nth block has arrived (once)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("keep-version"),
                      QStringLiteral("Come back from every flash download still answering \"V\" as before (a "
                                     "controller that did not start its new image).")});
}

bool BootModule::configure(const QCommandLineParser &parser, QString *error)
{
    m_savePath = parser.value(QStringLiteral("save-image"));
    m_keepVersion = parser.isSet(QStringLiteral("keep-version"));
    struct Switch {
        const char *name;
        int *value;
    };
    for (const Switch s : {Switch{"boot-wrong-ack", &m_faults.wrongAckAt}, Switch{"boot-silent-at", &m_faults.silentAt},
                           Switch{"boot-drop-at", &m_faults.dropAt}, Switch{"boot-drop-mid", &m_faults.dropMidAt}}) {
        const QString name = QString::fromLatin1(s.name);
        if (!parser.isSet(name))
            continue;
        bool ok = false;
        *s.value = parser.value(name).toInt(&ok);
        if (!ok || *s.value < 1) {
            *error = QStringLiteral("--%1 takes a number from 1").arg(name);
            return false;
        }
    }
    return true;
}

void BootModule::place(const Placement &placement)
{
    m_savePath.replace(QLatin1String("{index}"), QString::number(placement.index));
    if (!placement.faults) {
        m_faults = {};
        m_keepVersion = false;
    }
    m_onChange = placement.changed;
}

void BootModule::install(Controller &controller)
{
    m_controllers.push_back(&controller);
    m_sessions.push_back(std::make_unique<Session>(*this, controller));
    Session *session = m_sessions.back().get();
    controller.addInterceptor([session](char c) { return session->take(c); });
    controller.addSessionStart([session] { session->restart(); });
}

void BootModule::received(const QByteArray &image, const QByteArray &date, bool flash)
{
    if (!m_savePath.isEmpty()) {
        QFile file(m_savePath);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(image);
        else
            std::fprintf(stderr, "tarnic-sim: cannot write %s\n", m_savePath.toLocal8Bit().constData());
    }
    std::printf("boot: image of %lld bytes received, date \"%s\"\n", static_cast<long long>(image.size()),
                date.constData());
    std::fflush(stdout);
    // Over TCP a bootloader extension looks like a flash download until its
    // fills arrive; they put the identification back.
    m_versionBefore = m_controllers.front()->options().version;
    if (flash && !m_keepVersion)
        setVersion(identification(image, m_versionBefore));
}

void BootModule::extensionFills() { setVersion(m_versionBefore); }

void BootModule::setVersion(const QByteArray &version)
{
    for (Controller *c : m_controllers)
        c->options().version = version;
    if (m_onChange)
        m_onChange();
}

QByteArray BootModule::identification(const QByteArray &image, const QByteArray &current)
{
    QByteArray text = image.right(kTrailer);
    if (const qsizetype nul = text.indexOf('\0'); nul >= 0)
        text.truncate(nul);
    while (text.endsWith(' '))
        text.chop(1);
    if (!text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c <= '~'; }))
        return text;
    const qsizetype model = current.lastIndexOf(" V ");
    return (model < 0 ? current : current.left(model)) + " V "
        + QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex().left(8);
}

} // namespace sim
