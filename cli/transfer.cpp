#include "cli/transfer.h"

#include "core/safewrite.h"
#include "utilities/resultjson.h"

namespace cli {

namespace {
// The action's notes as lines of the command's output.
class NoteLines final : public utilities::Display {
public:
    explicit NoteLines(StdoutSinks &out) : m_out(out) {}
    void showNote(const QString &text) override
    {
        if (!text.isEmpty())
            m_out.line(text);
    }

private:
    StdoutSinks &m_out;
};
} // namespace

int runTransfer(Context &c, const QString &file, bool upload, const char *key,
                const std::function<utilities::Transfer(utilities::Actions &, const QString &file)> &transfer)
{
    if (const QString problem = upload ? core::outputPathProblem(file) : QString(); !problem.isEmpty()) {
        c.out.failure(problem);
        return kExitUsage;
    }
    NoteLines notes(c.out);
    utilities::Actions actions(c.link, c.out, notes);
    const utilities::Transfer moved = transfer(actions, file);
    if (moved.outcome == utilities::Outcome::Refused)
        return kExitUsage;
    if (moved.outcome != utilities::Outcome::Done)
        return kExitFailure;
    c.learn(utilities::countJson(key, moved.value));
    return kExitOk;
}

} // namespace cli
