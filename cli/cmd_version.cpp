#include "cli/commands.h"

namespace cli {

// Wake the controller, ask for its version and print the reply line.
int runVersion(Context &c)
{
    if (!c.args.isEmpty()) {
        StdoutSinks::error(QStringLiteral("version takes no arguments"));
        return kExitUsage;
    }
    c.link.SendWakeup();
    c.link.SendCommand("V");
    QByteArray reply;
    if (c.state.sendFailure || c.link.ReadReplyLine(reply) != wire::ReplyReceived) {
        StdoutSinks::line(QStringLiteral("No response from controller"));
        return kExitFailure;
    }
    StdoutSinks::line(QString::fromLatin1(reply));
    return kExitOk;
}

} // namespace cli
