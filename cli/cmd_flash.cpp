#include "cli/commands.h"
#include "flash/download.h"
#include "flash/stoptext.h"

#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

// Each status text once, as the screen's status line would change; a cleared
// line prints nothing.
class ChangedStatus final : public core::StatusLine {
public:
    explicit ChangedStatus(StdoutSinks &out) : m_out(out) {}
    void setStatus(const QString &text) override
    {
        if (!text.isEmpty() && text != m_last)
            m_out.setStatus(text);
        m_last = text;
    }

private:
    StdoutSinks &m_out;
    QString m_last;
};

// A one-line progress display on a terminal's stderr, or progress events
// with --json.
class Progress final : public flash::Observer {
public:
    explicit Progress(StdoutSinks &out) : m_out(out) {}

    void blocksStarting(qint64 totalBlocks, qint64 payloadLength, flash::Ms now) override
    {
        m_total = totalBlocks;
        m_payload = payloadLength;
        m_started = now;
        m_shown = now - kInterval;
    }
    void blockAcknowledged(qint64 number, qint64 bytes, flash::Ms now) override
    {
        if (number != m_total && now - m_shown < kInterval)
            return;
        m_shown = now;
        // The figure the status text shows, so that the two never disagree.
        const qint64 percent = bytes >= m_payload ? 100 : flash::progressHundredths(bytes, m_payload);
        const QString timeLeft = flash::timeLeftText(now - m_started, bytes, m_payload);
        if (m_out.json()) {
            m_out.progress(percent, timeLeft);
            return;
        }
        const QString text =
            QStringLiteral("\rBlock %1 of %2  %3 %  %4   ").arg(number).arg(m_total).arg(percent, 3).arg(timeLeft);
        std::fputs(text.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        m_printed = true;
    }
    void finished(const flash::Result &, flash::Ms) override
    {
        if (m_printed)
            std::fputc('\n', stderr);
        m_printed = false;
    }

private:
    static constexpr flash::Ms kInterval{200};
    StdoutSinks &m_out;
    qint64 m_total = 0;
    qint64 m_payload = 0;
    flash::Ms m_started{0};
    flash::Ms m_shown{0};
    bool m_printed = false;
};

int runDownload(Context &c, flash::Kind kind)
{
    if (!flash::baudAllowsDownload(c.link)) {
        c.out.message(flash::kBaudRuleMessage);
        return kExitFailure;
    }
    ChangedStatus status(c.out);
    Progress progress(c.out);
    flash::FlashDownload download(kind, c.link, status, c.out);
    if (c.out.json() || isatty(STDERR_FILENO))
        download.setObserver(&progress);
    const flash::Result result = download.doflashdl(c.args.operands.constFirst());
    // Where a failed download stopped, and whether it left the controller
    // in its boot code (a fleet's report says so).
    c.learn(flash::stopJson(result));
    return result.outcome == flash::Outcome::Complete ? kExitOk : kExitFailure;
}

} // namespace

// An empty name names no file: said before any link opens.
QString checkImage(const Arguments &arguments)
{
    if (arguments.operands.constFirst().isEmpty())
        return QStringLiteral("the image file name is empty");
    return {};
}

// The firmware image and the bootloader extension, through the same
// operation the screens run.
int runFlash(Context &c) { return runDownload(c, flash::Kind::Flash); }
int runBootext(Context &c) { return runDownload(c, flash::Kind::BootExt); }

} // namespace cli
