#include "base/Parser.h"

namespace qv {

TParser::TParser(std::string_view Delimiters) {
  for (char c : Delimiters) delemiter.set(static_cast<unsigned char>(c));
}

bool TParser::IsDelimiter(int pos1) const {
  return delemiter.test(static_cast<unsigned char>(s[static_cast<std::size_t>(pos1 - 1)]));
}

void TParser::beginParse(std::string_view st) {
  s.assign(st);
  idx = 1;
  Len = static_cast<int>(s.size());
  while (idx <= Len && IsDelimiter(idx)) ++idx;
}

std::string TParser::Parse() {
  const int start = idx;
  while (idx <= Len && !IsDelimiter(idx)) ++idx;
  std::string token = s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(idx - start));
  while (idx <= Len && IsDelimiter(idx)) ++idx;
  return token;
}

}  // namespace qv
