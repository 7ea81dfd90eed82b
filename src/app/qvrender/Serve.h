#pragma once
// qvrender serve: plays out the rundown's pages on air and serves the control page and its API.
#include <atomic>
#include <string>
#include <vector>

namespace qv::render {

// Args are those after "serve". Runs until Stop (SIGINT, SIGTERM); answers the exit status: 0,
// 1 when it could not start or the output failed, 2 for a bad command line.
int RunServe(const std::vector<std::string>& Args, std::atomic<bool>& Stop);

}  // namespace qv::render
