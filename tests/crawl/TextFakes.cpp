#include "TextFakes.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace qv::test {

TTextExtent TFakeTextRenderer::Measure(std::string_view Text, const TFontSpec& Font) const {
  return {static_cast<int>(Text.size()) * Cell(Font.PointSize), std::max(1, Font.PointSize / 2)};
}

void TFakeTextRenderer::Draw(std::string_view Text, const TFontSpec& Font, TReadingOrder, int BoxWidth,
                             const TTextSurface& S) const {
  const int now = ++InFlight;
  for (int most = MostInFlight.load(); now > most && !MostInFlight.compare_exchange_weak(most, now);) {
  }
  ++Draws;
  if (const int d = DelayMicroseconds.load()) std::this_thread::sleep_for(std::chrono::microseconds(d));
  if (const int company = WaitForCompany.load()) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (MostInFlight.load() < company && std::chrono::steady_clock::now() < giveUp) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  const int cell = Cell(Font.PointSize);
  const int height = std::max(1, Font.PointSize / 2);
  const int textW = static_cast<int>(Text.size()) * cell;
  const int left = (BoxWidth - textW) / 2;  // centred in the box
  for (int y = 0; y < S.Height; ++y) {
    const int by = S.OriginY + y;
    if (by >= height) break;
    for (int x = 0; x < S.Width; ++x) {
      const int bx = S.OriginX + x - left;
      if (bx < 0 || bx >= textW) continue;
      const int i = bx / cell;
      if (static_cast<unsigned char>(Text[static_cast<std::size_t>(i)]) <= 32) continue;
      if (bx % cell == cell - 1) continue;
      std::memset(S.Bits + (std::size_t(y) * S.Width + x) * 4, 255, 4);
    }
  }
  --InFlight;
}

void TFakeRichEdit::Load(const TRichDocument& Document) {
  ++Loads;
  fLines.clear();
  int start = 0;
  for (const TRichParagraph& p : Document.Paragraphs) {
    TLine line;
    line.Start = start;
    for (const TRichRun& r : p.Runs) {
      for (char c : r.Text) line.Chars.push_back({c, r.HalfPoints, r.AutoColor ? 0u : r.Color});
    }
    start += static_cast<int>(line.Chars.size()) + 1;
    fLines.push_back(std::move(line));
  }
}

const TFakeRichEdit::TLine* TFakeRichEdit::LineOf(int Index) const {
  for (const TLine& l : fLines) {
    if (Index >= l.Start && Index <= l.Start + static_cast<int>(l.Chars.size())) return &l;
  }
  return nullptr;
}

std::string TFakeRichEdit::Text(int Start, int Length) const {
  std::string s;
  const TLine* l = LineOf(Start);
  if (l == nullptr) return s;
  for (int i = Start - l->Start; i < Start - l->Start + Length && i < static_cast<int>(l->Chars.size()); ++i) {
    s += l->Chars[static_cast<std::size_t>(i)].C;
  }
  return s;
}

TRichFontMetrics TFakeRichEdit::CharMetrics(int Index) const {
  const TLine* l = LineOf(Index);
  if (l == nullptr || Index - l->Start >= static_cast<int>(l->Chars.size())) return {};
  const TChar& c = l->Chars[static_cast<std::size_t>(Index - l->Start)];
  return {c.HalfPoints / 2, c.HalfPoints / 6};
}

int TFakeRichEdit::RangeHeight(int Start, int Length) const {
  int a = 0, d = 0;
  for (int i = Start; i < Start + Length; ++i) {
    a = std::max(a, CharMetrics(i).Ascent);
    d = std::max(d, CharMetrics(i).Descent);
  }
  return a + d;
}

int TFakeRichEdit::RangeWidth(int Start, int Length) const {
  const TLine* l = LineOf(Start);
  if (l == nullptr) return 0;
  int w = 0;
  for (int i = Start - l->Start; i < Start - l->Start + Length && i < static_cast<int>(l->Chars.size()); ++i) {
    w += CharWidth(l->Chars[static_cast<std::size_t>(i)]);
  }
  return w;
}

void TFakeRichEdit::Render(int Start, int Length, int Scale, const TTextSurface& S) const {
  const TLine* l = LineOf(Start);
  if (l == nullptr) return;
  int ascent = 0;
  for (int i = Start; i < Start + Length; ++i) ascent = std::max(ascent, CharMetrics(i).Ascent);
  const int baseline = ascent * Scale;
  int x = 0;
  for (int i = Start - l->Start; i < Start - l->Start + Length && i < static_cast<int>(l->Chars.size()); ++i) {
    const TChar& c = l->Chars[static_cast<std::size_t>(i)];
    const int w = CharWidth(c) * Scale;
    if (static_cast<unsigned char>(c.C) > 32) {
      const int top = baseline - (c.HalfPoints / 2) * Scale * 2 / 3;
      for (int by = top; by < baseline; ++by) {
        const int y = by - S.OriginY;
        if (y < 0 || y >= S.Height) continue;
        for (int bx = x; bx < x + w - Scale; ++bx) {
          const int sx = bx - S.OriginX;
          if (sx < 0 || sx >= S.Width) continue;
          const std::uint32_t px = 0xFF000000u | c.Color;
          std::memcpy(S.Bits + (std::size_t(y) * S.Width + sx) * 4, &px, 4);
        }
      }
    }
    x += w;
  }
}

}  // namespace qv::test
