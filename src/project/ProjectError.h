#pragma once
// The one error of project files: names the file and, for a damaged file, the line.
#include <stdexcept>
#include <string>

namespace qv {

class EProjectError : public std::runtime_error {
 public:
  // Line 0 means the error concerns the file as a whole (cannot be opened, written, renamed).
  EProjectError(const std::string& FileName, int Line, const std::string& What);

  const std::string& FileName() const { return fFileName; }
  int Line() const { return fLine; }
  const std::string& Reason() const { return fReason; }

 private:
  std::string fFileName;
  int fLine;
  std::string fReason;
};

}  // namespace qv
