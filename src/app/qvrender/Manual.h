#pragma once
// qvrender's manual page: its synopsis, commands, options and exit statuses come from the tables
// of Options.h, which also make its usage and --help, so that the page cannot drift from them.
#include "app/manual/Manual.h"

namespace qv::render {

manual::TManual QvrenderManual();

}  // namespace qv::render
