#include "cli/commands.h"
#include "utilities/resultjson.h"

namespace cli {

// Wake the controller, ask for its version and print the reply line.
int runVersion(Context &c)
{
    c.link.SendWakeup();
    const bool sent = c.link.SendCommand("V");
    const wire::ReplyLine reply = sent ? c.link.ReadReplyLine() : wire::ReplyLine{{}, true};
    if (reply.timedOut) {
        c.out.message(QStringLiteral("No response from controller"));
        return kExitFailure;
    }
    const QString text = QString::fromLatin1(reply.text);
    c.learn(utilities::versionJson(text));
    c.out.line(text);
    return kExitOk;
}

} // namespace cli
