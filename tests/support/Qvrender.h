#pragma once
// Runs a program (the built qvrender) the way a user does, and keeps what it printed.
#include <string>
#include <vector>

namespace qv::test {

struct TRunResult {
  int code = -1;    // exit status; -1 when the program could not start or did not exit
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs Program with Args (no shell between) in the current directory and environment, and waits.
TRunResult RunProgram(const std::string& Program, const std::vector<std::string>& Args);

#ifdef QVRENDER_BIN
// qvrender as built with the test program (qv_uses_qvrender in tests/CMakeLists.txt).
inline TRunResult RunQvrender(const std::vector<std::string>& Args) { return RunProgram(QVRENDER_BIN, Args); }
#endif

}  // namespace qv::test
