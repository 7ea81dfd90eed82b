#include "Tga.h"

#include "Files.h"

namespace qv::test {

TTgaImage ReadTga(const std::filesystem::path& File) {
  const std::string b = ReadBytes(File);
  TTgaImage t;
  if (b.size() < 18) return t;
  t.w = std::uint8_t(b[12]) | std::uint8_t(b[13]) << 8;
  t.h = std::uint8_t(b[14]) | std::uint8_t(b[15]) << 8;
  const std::size_t row = std::size_t(t.w) * 4;
  if (b.size() != 18 + row * t.h) return TTgaImage{};
  for (int y = 0; y < t.h; ++y) t.pixels += b.substr(18 + row * std::size_t(t.h - 1 - y), row);
  return t;
}

}  // namespace qv::test
