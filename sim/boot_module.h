#pragma once

#include "sim/module.h"

#include <QElapsedTimer>

#include <memory>
#include <vector>

namespace sim {

// The controller's flash boot code: the break-in sequence drops it out of
// command mode; "B" (answered "TK") starts a flash or TCP extension download,
// "w" (answered "YK") the serial extension download. It checks every frame's
// length and check byte, answers "K", takes the end marker, the trailer and
// the date where that download has them, answers "B", and answers "B" to each
// 52-byte FF fill that follows. The image it received (blocks, then trailer)
// is kept, and written to a file when asked. A download that fails leaves
// the controller in its boot code, across connections, until a break-in
// starts the next one.
class BootModule final : public Module {
public:
    // Faults, each at the Nth acknowledgement of a download (block 1 is the
    // first; the final "B" follows the last block) and once; 0 is off.
    struct Faults {
        int wrongAckAt = 0; // answer in lower case
        int silentAt = 0;   // answer nothing
        int dropAt = 0;     // drop the connection instead of answering
        int dropMidAt = 0;  // drop the connection halfway through this block
    };

    BootModule();
    ~BootModule() override;

    void addOptions(QCommandLineParser &parser) override;
    bool configure(const QCommandLineParser &parser, QString *error) override;
    void place(const Placement &placement) override;
    void install(Controller &controller) override;

    Faults &faults() { return m_faults; }
    void setSavePath(const QString &path) { m_savePath = path; }
    // The last image received in full, its date stamp (empty when the
    // download had none), and how many downloads completed.
    const QByteArray &lastImage() const { return m_lastImage; }
    const QByteArray &lastDate() const { return m_lastDate; }
    int completed() const { return m_completed; }

private:
    class Session;
    friend class Session;
    void received(const QByteArray &image, const QByteArray &date);

    Faults m_faults;
    QString m_savePath;
    QByteArray m_lastImage;
    QByteArray m_lastDate;
    int m_completed = 0;
    std::vector<std::unique_ptr<Session>> m_sessions;
};

} // namespace sim
