#include "project/MediaPath.h"

#include <system_error>

namespace qv {

namespace fs = std::filesystem;

namespace {

bool Exists(const fs::path& p, TMediaKind kind) {
  std::error_code ec;
  return kind == TMediaKind::mkDirectory ? fs::is_directory(p, ec) : fs::is_regular_file(p, ec);
}

bool IsSep(char c) { return c == '/' || c == '\\'; }

// "D:\media\logo.png" -> "media/logo.png"; "\\server\share\a\b.png" -> "a/b.png";
// "/srv/media/x.png" -> "srv/media/x.png"; a relative path only gets its separators unified.
std::string RelativePart(const std::string& stored) {
  std::string s = stored;
  for (char& c : s) {
    if (c == '\\') c = '/';
  }
  std::size_t i = 0;
  if (s.size() >= 2 && s[1] == ':' &&
      ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'))) {
    i = 2;  // drive letter
  } else if (s.size() >= 2 && IsSep(s[0]) && IsSep(s[1])) {
    // UNC name: skip the server and the share.
    i = 2;
    for (int part = 0; part < 2 && i < s.size(); ++part) {
      while (i < s.size() && s[i] != '/') ++i;
      while (i < s.size() && s[i] == '/') ++i;
    }
  }
  while (i < s.size() && s[i] == '/') ++i;
  return s.substr(i);
}

bool IsRelative(const std::string& s) {
  if (s.empty() || IsSep(s[0])) return false;
  return !(s.size() >= 2 && s[1] == ':');
}

// A path with every "\" read as a separator.
fs::path WithSlashes(std::string s) {
  for (char& c : s) {
    if (c == '\\') c = '/';
  }
  return fs::path(s);
}

fs::path AbsoluteFolder(const fs::path& folder) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(folder, ec);
  fs::path p = (ec ? folder : absolute).lexically_normal();
  if (!p.has_filename() && p.has_relative_path()) p = p.parent_path();  // "/show/" is "/show"
  return p;
}

}  // namespace

std::string PortableMediaPath(const std::string& stored, const fs::path& fromFolder, const fs::path& toFolder) {
  if (stored.empty() || toFolder.empty()) return stored;
  fs::path where;
  if (fs::path(stored).is_absolute()) {
    where = fs::path(stored);
  } else if (!IsRelative(stored)) {
    return stored;  // a drive or a root of another system
  } else {
    if (fromFolder.empty()) return stored;
    const fs::path from = AbsoluteFolder(fromFolder);
    if (from == AbsoluteFolder(toFolder)) return stored;
    where = from / WithSlashes(stored);
  }
  where = where.lexically_normal();
  const fs::path to = AbsoluteFolder(toFolder);
  const fs::path rel = where.lexically_relative(to);
  if (rel.empty() || rel == "." || *rel.begin() == "..") return where.string();
  std::string text;
  for (const fs::path& part : rel) {
    if (part.empty() || part == ".") continue;  // a trailing separator
    if (!text.empty()) text += '\\';
    text += part.string();
  }
  return text;
}

std::string ResolveMediaPath(const std::string& stored, const fs::path& folder, TMediaKind kind) {
  if (stored.empty()) return stored;
  std::string rel = RelativePart(stored);
  while (!rel.empty() && rel.back() == '/') rel.pop_back();  // "D:\frames\" names "frames"
  const fs::path beside = folder.empty() || rel.empty() ? fs::path() : folder / fs::path(rel);

  // A relative path belongs to the project, wherever the program was started from.
  if (IsRelative(stored) && !beside.empty() && Exists(beside, kind)) return beside.string();
  if (Exists(fs::path(stored), kind)) return stored;
  if (beside.empty()) return stored;
  if (Exists(beside, kind)) return beside.string();

  const std::size_t slash = rel.rfind('/');
  const std::string bare = slash == std::string::npos ? rel : rel.substr(slash + 1);
  if (!bare.empty() && bare != "." && bare != "..") {
    const fs::path inFolder = folder / fs::path(bare);
    if (Exists(inFolder, kind)) return inFolder.string();
  }
  return stored;
}

}  // namespace qv
