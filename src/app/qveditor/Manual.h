#pragma once
// qveditor's manual page and its --help, made from one description so that they say the same.
// No toolkit here: the manual pages are written at build time without a display.
#include "app/manual/Manual.h"

#include <string>

namespace qv::editor {

manual::TManual QveditorManual();

// The synopsis, the arguments and the exit status, as --help prints them.
std::string QveditorHelp();

}  // namespace qv::editor
