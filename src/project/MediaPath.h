#pragma once
// Finding a project's media after the project has moved: a file stored as "D:\media\logo.png"
// on another machine is found as media/logo.png beside the project, or as logo.png in the
// project's folder. The stored text itself is never changed.
#include <filesystem>
#include <string>

namespace qv {

enum class TMediaKind { mkFile, mkDirectory };

// The path to open for the stored text Stored of a project in ProjectFolder (empty when the
// project folder is unknown): Stored itself when it names an existing file (or directory);
// otherwise Stored with its drive or root removed and "\" read as a separator, taken relative
// to ProjectFolder; otherwise the bare last name in ProjectFolder. A relative Stored is tried in
// ProjectFolder first, so it does not depend on the folder the program runs in. When none
// exists the answer is Stored unchanged, so the caller's error names what the project holds.
std::string ResolveMediaPath(const std::string& Stored, const std::filesystem::path& ProjectFolder,
                             TMediaKind Kind);

}  // namespace qv
