#include "ServeFixtures.h"

#include "raster/Bitmap.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <string>

namespace qv::test {

namespace {

// W x H in one hue whose alpha ramps across, colours premultiplied: every pixel tests Over.
void Picture(const std::string& file, int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r, int minAlpha) {
  TmemoryBitmap bmp(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = bmp.PixelPtr(x, y);
      const int a = minAlpha + (255 - minAlpha) * x / std::max(1, w - 1);
      p[0] = static_cast<std::uint8_t>(b * a / 255);
      p[1] = static_cast<std::uint8_t>(g * a / 255);
      p[2] = static_cast<std::uint8_t>(r * a / 255);
      p[3] = static_cast<std::uint8_t>(a);
    }
  }
  bmp.SaveTga(file);
}

std::string Image(const std::string& name, const std::string& file, int x, int y, int w, int h, int opacity,
                  const std::string& anim) {
  return "\tObject '':TImageLayer\r\n\t\tFileName = " + file + "\r\n\t\tlayerName = " + name +
         "\r\n\t\tOpacity = " + std::to_string(opacity) + "\r\n" + (anim.empty() ? "" : "\t\t" + anim + "\r\n") +
         "\t\tX = " + std::to_string(x) + "\r\n\t\tY = " + std::to_string(y) + "\r\n\t\tWidth = " + std::to_string(w) +
         "\r\n\t\tHeight = " + std::to_string(h) + "\r\n\t\tLayerIN = 0\r\n\t\tDuration = 250\r\n\tEnd\r\n";
}

std::string Text(const std::string& name, const std::string& text, int source, int x, int y) {
  return "\tObject '':TTextLayer\r\n\t\tText = " + text + "\r\n\t\tTextSource = " + std::to_string(source) +
         "\r\n\t\tObject 'Font':TTextFont\r\n\t\t\tFontSize = 14\r\n\t\tEnd\r\n\t\tlayerName = " + name +
         "\r\n\t\tX = " + std::to_string(x) + "\r\n\t\tY = " + std::to_string(y) +
         "\r\n\t\tLayerIN = 0\r\n\t\tDuration = 250\r\n\tEnd\r\n";
}

std::string Write(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file.string();
}

const std::string kPage = "\tObject '':TQVSystem\r\n\t\tDuration = 10.00000000\r\n\t\tWidth = 200\r\n\t\tHeight = 120\r\n\tEnd\r\n";

}  // namespace

std::string WriteServeFolder(const std::filesystem::path& dir) {
  Picture((dir / "strap.tga").string(), 180, 30, 200, 90, 30, 96);
  Picture((dir / "logo.tga").string(), 40, 24, 40, 200, 240, 60);
  std::filesystem::create_directories(dir / "badge");
  for (int i = 0; i < kBadgeFrames; ++i) {
    std::string name(1, 'b');  // "b" + std::string: GCC 12 warns wrongly (-Wrestrict)
    name += std::to_string(i + 1) + ".tga";
    Picture((dir / "badge" / name).string(), 20, 20, static_cast<std::uint8_t>(30 * i),
            static_cast<std::uint8_t>(255 - 30 * i), 128, 128);
  }
  Write(dir / "l3.QV", kPage + Image("strap", "strap.tga", 10, 80, 180, 30, 0, "Anim0 Constant 0 0.0000 6 230.0000 ") +
                         Text("name", "Name", 1, 16, 82) + Text("title", "Title", 0, 16, 98));
  Write(dir / "bug.QV", kPage + Image("logo", "logo.tga", 150, 6, 40, 24, 255, "") +
                          "\tObject '':TMultiImageLayer\r\n\t\tDirectory = badge\r\n\t\tLoop = True\r\n\t\tINFrames = " +
                          std::to_string(kBadgeIn) + "\r\n\t\tOUTFrames = " + std::to_string(kBadgeOut) +
                          "\r\n\t\tlayerName = badge\r\n\t\tX = 172\r\n\t\tY = 86\r\n\t\tLayerIN = 0\r\n"
                          "\t\tDuration = 250\r\n\tEnd\r\n");
  return Write(dir / "rundown.json", R"({
  "rows": [
    {"id": "bug", "page": "bug.QV", "layer": 2, "fields": {}},
    {"id": "anna", "page": "l3.QV", "layer": 1, "fields": {"Meta1": "Anna Berg", "title.Text": "Reporter"}},
    {"id": "ben", "page": "l3.QV", "layer": 1, "fields": {"Meta1": "Ben Okafor", "title.Text": "Weather"}},
    {"id": "cara", "page": "l3.QV", "layer": 1, "fields": {"Meta1": "Cara Lind", "strap.Opacity": "200"}}
  ]
}
)");
}

std::string Over(const std::string& under, const std::string& over) {
  std::string out = under;
  for (std::size_t i = 0; i + 3 < out.size() && i + 3 < over.size(); i += 4) {
    const unsigned ia = 255u - static_cast<unsigned char>(over[i + 3]);
    for (std::size_t c = 0; c < 4; ++c) {
      const unsigned v = static_cast<unsigned char>(over[i + c]) + ((ia * static_cast<unsigned char>(under[i + c])) >> 8);
      out[i + c] = static_cast<char>(std::min(255u, v));
    }
  }
  return out;
}

std::uint64_t Fnv1a(const void* bytes, std::size_t size) {
  std::uint64_t h = 1469598103934665603ull;
  const auto* p = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

}  // namespace qv::test
