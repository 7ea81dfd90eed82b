#include "animation/KeyedFile.h"

#include <algorithm>
#include <stdexcept>

#include "base/NumberText.h"

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

}  // namespace qv
