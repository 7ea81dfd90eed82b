#include "serve/SafePath.h"

#include <algorithm>
#include <system_error>

namespace qv::serve {

namespace fs = std::filesystem;

namespace {

// "\"NAME\" " followed by Why (appended: GCC 12 warns wrongly about "literal" + string).
std::string Problem(std::string_view name, std::string_view why) {
  std::string s(1, '"');
  s.append(name);
  s.append("\" ");
  s.append(why);
  return s;
}

}  // namespace

TFolderGuard::TFolderGuard(const fs::path& folder) : fFolder(fs::canonical(folder.empty() ? fs::path(".") : folder)) {}

std::optional<fs::path> TFolderGuard::Resolve(std::string_view name, std::string& error) const {
  if (name.empty()) {
    error = "no file was named";
    return std::nullopt;
  }
  if (name.find('\0') != std::string_view::npos) {
    error = "a file name holds no NUL character";
    return std::nullopt;
  }
  const fs::path relative(name);
  if (relative.is_absolute() || relative.has_root_name() || relative.has_root_directory()) {
    error = Problem(name, "is outside the rundown's folder (a path there is relative)");
    return std::nullopt;
  }
  if (std::any_of(relative.begin(), relative.end(), [](const fs::path& part) { return part == ".."; })) {
    error = Problem(name, "is outside the rundown's folder (\"..\")");
    return std::nullopt;
  }
  // Links are followed as far as the path exists; what is left is taken as written.
  std::error_code ec;
  const fs::path resolved = fs::weakly_canonical(fFolder / relative, ec);
  if (ec) {
    error = Problem(name, "cannot be looked up: " + ec.message());
    return std::nullopt;
  }
  const fs::path inside = resolved.lexically_relative(fFolder);
  if (inside.empty() || *inside.begin() == "..") {
    error = Problem(name, "leads outside the rundown's folder");
    return std::nullopt;
  }
  return resolved;
}

}  // namespace qv::serve
