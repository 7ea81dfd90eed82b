#include "animation/KeyedFile.h"

#include <algorithm>
#include <stdexcept>

#include "animation/NumberText.h"

namespace qv {

TPersistentClass* TPersistentClass::getObject(const std::string&, const std::string&) { return nullptr; }
void TPersistentClass::SetValue(const std::string&, const std::string&) {}
void TPersistentClass::CloseObject() {}

TFileSave::TFileSave(const std::string& FileName)
    : fFile(std::make_unique<std::ofstream>(FileName, std::ios::binary | std::ios::trunc)) {
  if (!*fFile) throw std::runtime_error("Cannot create file \"" + FileName + "\"");
  fOut = fFile.get();
}

TFileSave::TFileSave(std::ostream& Stream) : fOut(&Stream) {}

TFileSave::~TFileSave() {
  if (fOut) fOut->flush();
}

void TFileSave::WriteLine(const std::string& line) {
  fOut->write(line.data(), static_cast<std::streamsize>(line.size()));
  fOut->write("\r\n", 2);
}

void TFileSave::OpenObjectKey(const TPersistentClass* Obj, const std::string& ObjectName) {
  std::string className = Obj ? std::string(Obj->ClassName()) : std::string();
  WriteLine(Spacer + "Object " + ObjectName + " : " + className);
  Spacer += "   ";
}

void TFileSave::CloseObjectKey() {
  Spacer.erase(0, std::min<std::size_t>(3, Spacer.size()));
  WriteLine(Spacer + "End Object");
}

void TFileSave::AddIntKey(const std::string& KeyName, std::int32_t KeyValue) {
  WriteLine(Spacer + KeyName + " = " + std::to_string(KeyValue));
}

void TFileSave::AddDoubleKey(const std::string& KeyName, double KeyValue) {
  WriteLine(Spacer + KeyName + " = " + FormatFixed(KeyValue, 12));
}

void TFileSave::AddStrKey(const std::string& KeyName, const std::string& KeyValue) {
  WriteLine(Spacer + KeyName + " = \"" + KeyValue + "\"");
}

void TFileSave::AddDoubleArrayKey(const std::string& KeyName, std::span<const double> Values, int High) {
  std::string line = Spacer + KeyName + " = ";
  if (High >= static_cast<int>(Values.size())) High = static_cast<int>(Values.size()) - 1;
  for (int i = 0; i <= High; ++i) {
    line += FormatFixed(Values[static_cast<std::size_t>(i)], 8);
    if (i < High) line += " , ";
  }
  WriteLine(line);
}

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
