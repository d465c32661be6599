#pragma once

#include "core/inputfile.h"
#include "link/endpoint.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace fleet {

// What plan and apply keep a controller at; a blank column leaves that
// aspect unmanaged. Files are absolute (or against the inventory's folder).
struct DesiredState {
    QString firmware;        // the image to download
    QString firmwareVersion; // what the controller answers to "V" once it runs it
    QString profile;         // the settings profile it is programmed with
    // The controller's clock against this computer's shifted by clockHours:
    // at most this many seconds off.
    std::optional<qint64> clockTolerance;
    int clockHours = 0; // as time set --hours adds (or, negative, subtracts)
    // An access list the controller holds at least, with the options of
    // access download.
    QString access;
    bool accessSorted = false;   // the sorted list (else the ad hoc list)
    bool accessSchedule = false; // its lines begin with a schedule
    QString schedules;           // the schedule table the controller holds

    bool managed() const
    {
        return !firmware.isEmpty() || !profile.isEmpty() || clockTolerance.has_value() || !access.isEmpty()
            || !schedules.isEmpty();
    }
};

// One controller of a site, as a row of the inventory names it.
struct Controller {
    int line = 0; // in the inventory file, for messages
    QString name; // letters, digits, '-', '_' and '.'; it names files
    QString link; // as written: tcp:HOST[:PORT], serial:DEVICE or rfc2217:HOST:PORT
    wire::Endpoint endpoint;
    // Files this controller gets instead of the command's own (absolute, or
    // against the inventory's folder); empty when the row names none.
    QString profile;
    QString image;
    DesiredState desired;

    // tarnic-cli's link options for this controller.
    QStringList linkArguments() const { return endpoint.cliArguments(); }
    // What its link reaches (wire::Endpoint::linkKeys): rows with a key in
    // common never run at once.
    QStringList linkKeys() const { return endpoint.linkKeys(); }
};

struct Inventory {
    std::vector<Controller> controllers;
    QString error; // names the line; when set, nothing runs
};

// The inventory is CSV with a header row: columns name and link, optional
// baud, profile and image, and the desired state (firmware with
// firmware_version, desired_profile, clock with clock_hours, access with
// access_options, schedules). Blank lines and lines starting with '#' are
// skipped; a field may be quoted ("a,b", "" for a quote). A control
// character in a field refuses the line.
Inventory parseInventory(const QString &text, const QString &folder);
// The inventory file at path (at most 16 MiB and 100,000 lines; a pipe is
// read through wait); relative files resolve against its folder.
Inventory readInventory(const QString &path, const core::ReadWait &wait = {});

// What a link as the inventory (or the journal) prints it reaches, as
// Controller::linkKeys(); none for text that is no link.
QStringList linkKeysOf(const QString &link);

} // namespace fleet
