#pragma once

namespace sim {

// Raises the soft limit on open descriptors to the hard limit (the default
// soft limit of 1,024 serves a few hundred controllers). Answers the limit
// now in force.
long raiseDescriptorLimit();

} // namespace sim
