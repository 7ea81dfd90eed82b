#pragma once
// A canvas that writes down what is drawn on it.
#include "platform/Canvas.h"

#include <string>
#include <vector>

namespace qv::test {

struct TCanvasCall {
  std::string op;  // "frame", "fill", "text"
  TRect r;
  std::uint32_t color = 0;   // pen / fill / text colour
  std::uint32_t second = 0;  // outline / background colour
  TPenMode mode = TPenMode::pmCopy;
  std::string text;
  friend bool operator==(const TCanvasCall&, const TCanvasCall&) = default;
};

class TRecordingCanvasFactory final : public TCanvasFactory {
 public:
  std::vector<TCanvasCall> calls;
  int opened = 0;

  std::unique_ptr<TCanvas> Open(std::uint8_t*, int, int) override {
    ++opened;
    return std::make_unique<Canvas>(calls);
  }

 private:
  class Canvas final : public TCanvas {
   public:
    explicit Canvas(std::vector<TCanvasCall>& c) : calls(c) {}
    void FrameRect(const TRect& r, std::uint32_t color, TPenMode mode) override {
      calls.push_back({"frame", r, color, 0, mode, {}});
    }
    void FillRect(const TRect& r, std::uint32_t fill, std::uint32_t outline) override {
      calls.push_back({"fill", r, fill, outline, TPenMode::pmCopy, {}});
    }
    void TextOut(int x, int y, std::string_view text, std::uint32_t color, std::uint32_t back) override {
      calls.push_back({"text", {x, y, x, y}, color, back, TPenMode::pmCopy, std::string(text)});
    }
    std::vector<TCanvasCall>& calls;
  };
};

}  // namespace qv::test
