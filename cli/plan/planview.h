#pragma once

#include "cli/plan/siteplan.h"

#include <QJsonObject>
#include <QStringList>

namespace cli::plan {

// Hex digits of a hash that a line shows.
inline constexpr int kShortHash = 12;

// A controller's object of plan's JSON Lines ("event": "controller"): its
// name, endpoint, whether it was read and what, its desired state, the
// actions with their reasons and predicted seconds, the programming the
// profile relies on, and the run id. Apply adds what became of the actions.
QJsonObject controllerObject(const ::fleet::Controller &controller, const Targets &targets, const Reading &reading,
                             const ControllerPlan &plan, const QString &runId);

// The same as text: a line for the controller, one for each action, one for
// its lists as read and one for each note.
QStringList planLines(const ::fleet::Controller &controller, const Targets &targets, const Reading &reading,
                      const ControllerPlan &plan);

} // namespace cli::plan
