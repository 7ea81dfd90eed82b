#pragma once
// Reads back a video file with FFmpeg's libraries: every frame as straight-alpha BGRA (alpha 255
// where the codec has none), converted with the matrix the file states.
#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

struct TDecodedVideo {
  int width = 0, height = 0;
  std::string codec;     // the decoder's codec name
  std::string pixelFormat;
  std::string colourSpace;  // the matrix the stream states ("smpte170m", "bt709", "gbr", ...)
  // What the first decoded frame's own header says (codecs that code fields: ProRes, H.264).
  bool interlaced = false, topFieldFirst = false;
  std::vector<std::vector<std::uint8_t>> frames;  // BGRA, rows top to bottom
};

// Throws std::runtime_error when the file cannot be read.
TDecodedVideo DecodeVideo(const std::string& File);

}  // namespace qv::test
