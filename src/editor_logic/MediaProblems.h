#pragma once
// What could not be loaded while a project opened or a layer was inserted, told once: a page whose
// forty pictures moved gives one message, not forty.
#include <cstddef>
#include <string>
#include <vector>

namespace qv {

class TMediaProblems {
 public:
  void Add(const std::string& Message) { fMessages.push_back(Message); }
  bool Empty() const { return fMessages.empty(); }
  std::size_t Count() const { return fMessages.size(); }
  void Clear() { fMessages.clear(); }
  // One line saying how many, for the message's main text.
  std::string Summary() const;
  // Every message, one per line, the first MaxLines of them and how many more there were.
  std::string Details(std::size_t MaxLines = 40) const;

 private:
  std::vector<std::string> fMessages;
};

}  // namespace qv
