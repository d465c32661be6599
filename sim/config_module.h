#pragma once

#include "sim/module.h"

#include <QMap>
#include <QString>

#include <vector>

namespace sim {

// The configuration commands ("X001" to "X058", "X0590" to "X0594") and the
// six stand-alone commands: each is acknowledged and its last value kept. The
// stand-alone ID-size command changes the size reported for "x" and clears
// the lists and schedules. The reset
// (NUL "U1") gets no answer.
class ConfigModule final : public Module {
public:
    void addOptions(QCommandLineParser &parser) override;
    bool configure(const QCommandLineParser &parser, QString *error) override;
    void place(const Placement &placement) override;
    void install(Controller &controller) override;

    // Last value per command, keyed by its code ("X001") or the stand-alone
    // setting's name ("idsize", "mode", "relaytime", "badidlog", "seriallog",
    // "lookup"); "reset" counts resets.
    const QMap<QString, QByteArray> &values() const { return m_values; }

    // Which key a line sets and its value; false for lines this module
    // does not own.
    static bool classify(const QByteArray &line, QString *key, QByteArray *value);

private:
    bool onLine(Controller &controller, const QByteArray &line);
    void writeLog() const;

    QMap<QString, QByteArray> m_values;
    std::vector<Controller *> m_controllers;
    QString m_logPath;
};

} // namespace sim
