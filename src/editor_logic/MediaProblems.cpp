#include "editor_logic/MediaProblems.h"

#include <algorithm>

namespace qv {

std::string TMediaProblems::Summary() const {
  if (fMessages.size() == 1) return "1 picture or folder could not be loaded; its layer shows nothing.";
  return std::to_string(fMessages.size()) +
         " pictures or folders could not be loaded; their layers show nothing where they are missing.";
}

std::string TMediaProblems::Details(std::size_t MaxLines) const {
  std::string text;
  const std::size_t shown = std::min(MaxLines, fMessages.size());
  for (std::size_t i = 0; i < shown; ++i) {
    text += fMessages[i];
    text += '\n';
  }
  if (shown < fMessages.size()) text += "… and " + std::to_string(fMessages.size() - shown) + " more\n";
  return text;
}

}  // namespace qv
