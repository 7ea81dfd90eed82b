#pragma once
// Finding a project's media after the project has moved: a file stored as "D:\media\logo.png"
// on another machine is found as media/logo.png beside the project, or as logo.png in the
// project's folder. The stored text itself is never changed by reading; writing a project keeps
// the media that lie in its folder (or below it) relative to it, so that the folder can move.
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

// The text a project written into ToFolder keeps for a media path stored as Stored by a page
// whose relative paths start from FromFolder (the folder of the project it was read from; empty
// when there was none):
// - a file or folder inside ToFolder or below it: relative to ToFolder, "\" between the names,
//   as projects have always stored them ("media\strap.png");
// - one elsewhere: its absolute path;
// - unchanged when nothing is known of where it lies: empty, a relative path while FromFolder is
//   empty, an absolute path of another system ("D:\media\logo.png" on Linux), or a relative path
//   written back into the folder it starts from (so such projects are written byte for byte as
//   they were read).
// Only the names are compared; nothing on the disk is looked at.
std::string PortableMediaPath(const std::string& Stored, const std::filesystem::path& FromFolder,
                              const std::filesystem::path& ToFolder);

}  // namespace qv
