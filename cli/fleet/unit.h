#pragma once

#include "fleet/inventory.h"

#include <QDateTime>
#include <QJsonObject>

namespace cli::fleet {

enum class State { Waiting, Running, Ok, Failed, Crashed, Interrupted };

QString stateName(State state);

// One controller's part of a fleet run, as the views and the report see it.
struct Unit {
    ::fleet::Controller controller;
    QStringList arguments; // tarnic-cli's, for this controller
    QStringList linkKeys;  // what its link reaches
    State state = State::Waiting;
    int attempts = 0;
    int exitCode = -1; // of the last attempt
    QDateTime started; // of the first attempt
    QDateTime ended;   // of the last
    QString status;    // the last status, message or error text
    qint64 percent = -1;
    QString timeLeft;
    QJsonObject results; // of the last attempt
};

} // namespace cli::fleet
