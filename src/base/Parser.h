#pragma once
// The tokenizer that both text readers share.
#include <bitset>
#include <string>
#include <string_view>

namespace qv {

// Splits a text into tokens separated by runs of delimiter characters.
class TParser {
 public:
  explicit TParser(std::string_view Delimiters);

  std::string s;
  std::bitset<256> delemiter;
  int idx = 1;  // 1-based read position
  int Len = 0;

  void beginParse(std::string_view st);
  // The next token, or "" once the text is used up.
  std::string Parse();

 private:
  bool IsDelimiter(int pos1) const;
};

}  // namespace qv
