#pragma once

#include "sim/module.h"

#include <QElapsedTimer>

#include <functional>

#include <memory>
#include <vector>

namespace sim {

// The controller's flash boot code: the break-in sequence drops it out of
// command mode; "B" (answered "TK") starts a flash or TCP extension download,
// "w" (answered "YK") the serial extension download. It checks every frame's
// length and check byte, answers "K", takes the end marker, the trailer and
// the date where that download has them, answers "B", and answers "B" to each
// 52-byte FF fill that follows. The image it received (blocks, then trailer)
// is kept, and written to a file when asked; a flash image changes the reply
// to "V" (a bootloader extension does not). A download that fails leaves
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

    // What the controller answers to "V" once it runs a flash image: the
    // text of the trailer up to its first NUL, trailing blanks dropped, when
    // that is printable and not empty; otherwise the current identification
    // up to its last " V ", then " V " and the first 8 hex digits of the
    // image's SHA-256.
    static QByteArray identification(const QByteArray &image, const QByteArray &current);

private:
    class Session;
    friend class Session;
    void received(const QByteArray &image, const QByteArray &date, bool flash);
    void extensionFills();
    void setVersion(const QByteArray &version);

    Faults m_faults;
    bool m_keepVersion = false; // the controller does not start a new image
    QString m_savePath;
    std::vector<std::unique_ptr<Session>> m_sessions;
    std::vector<Controller *> m_controllers;
    QByteArray m_versionBefore; // the last download's
    std::function<void()> m_onChange;
};

} // namespace sim
