#pragma once
// Files a client names are looked for inside one folder (the rundown's) and nowhere else: a name
// that is absolute, that climbs out with "..", or that reaches a place outside through a symbolic
// link is refused before anything is opened.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qv::serve {

class TFolderGuard {
 public:
  // Folder must exist; it is resolved once (its own links followed), here.
  explicit TFolderGuard(const std::filesystem::path& Folder);

  const std::filesystem::path& Folder() const { return fFolder; }

  // The file (or folder) Name names inside the folder, with every link resolved; none, with
  // Error saying why, when it would be outside. The file need not exist.
  std::optional<std::filesystem::path> Resolve(std::string_view Name, std::string& Error) const;

 private:
  std::filesystem::path fFolder;  // canonical
};

}  // namespace qv::serve
