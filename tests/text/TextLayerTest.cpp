// The text layer: defaults, margins and placement by the alignments, metadata slots, MaxWidth,
// which changes render again (and that an unchanged style keeps its image), drawing, the anchor
// cross and re-rendering after a silent load.
#include "TextTestSupport.h"
#include "animation/AnimationManager.h"
#include "composition/TextLayer.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

// Records the overlay calls a layer makes.
class TRecordingCanvas final : public TCanvas {
 public:
  struct Call {
    TRect r;
    std::uint32_t fill, outline;
    friend bool operator==(const Call&, const Call&) = default;
  };
  std::vector<Call> fills;
  int others = 0;
  void FrameRect(const TRect&, std::uint32_t, TPenMode) override { ++others; }
  void FillRect(const TRect& r, std::uint32_t fill, std::uint32_t outline) override { fills.push_back({r, fill, outline}); }
  void TextOut(int, int, std::string_view, std::uint32_t, std::uint32_t) override { ++others; }
};

std::vector<std::string> ChildNames(const TCustomContainerObject& c) {
  std::vector<std::string> names;
  for (const auto& p : c.Properties()) names.push_back(p->Name);
  return names;
}

// Counts the change notifications a property sends.
struct TChangeCounter {
  explicit TChangeCounter(TBaseProperty& p) : prop(p) {
    prop.AddChangeNotify(this, [this](TBaseProperty*, void*, const std::string&, std::int32_t) { ++count; });
  }
  ~TChangeCounter() { prop.RemoveChangeNotify(this); }
  TBaseProperty& prop;
  int count = 0;
};

TEST(TextLayer, DefaultsWithTheRealRenderer) {
  auto sys = Make<TQVSystem>(768, 576, TextContext(), false);
  TTextLayer& l = sys->NewLayer<TTextLayer>();
  EXPECT_EQ(l.Text(), "Text");
  EXPECT_EQ(l.TextSource(), tsNone);
  EXPECT_EQ(l.HorizontalAlignment(), haLeft);
  EXPECT_EQ(l.VerticalAlignment(), vaTop);
  EXPECT_EQ(l.MaxWidth(), 0);
  EXPECT_EQ(l.TextDirection(), tdLefttoRight);
  EXPECT_EQ(l.Font().FontName(), "Tahoma");
  EXPECT_EQ(l.Font().FontSize(), 32);
  EXPECT_EQ(l.Font().FontSizeProperty().Min(), 1);
  EXPECT_EQ(l.Font().FontSizeProperty().Max(), 768);
  EXPECT_EQ(l.Font().FontColor(), 0xFFFFFFu);
  EXPECT_DOUBLE_EQ(l.Font().FontColorProperty().Alpha()->Value(), 1.0);
  EXPECT_FALSE(l.AccpetResizeX);
  EXPECT_FALSE(l.AccpetResizeY);

  const TShadow& s = l.Shadow();
  EXPECT_TRUE(s.Enabled());
  EXPECT_EQ(s.Color(), 0u);
  EXPECT_DOUBLE_EQ(s.ColorProperty().Alpha()->Value(), 0.0);
  EXPECT_EQ(s.DeltaX(), 3);
  EXPECT_EQ(s.DeltaY(), 3);
  EXPECT_EQ(s.Blur(), 2);
  EXPECT_EQ(s.Opacity(), 255);
  EXPECT_EQ(s.DeltaXProperty().Min(), -50);
  EXPECT_EQ(s.DeltaYProperty().Max(), 50);
  EXPECT_EQ(s.BlurProperty().Max(), 10);
  EXPECT_EQ(s.OpacityProperty().Max(), 255);
  const TContour& c = l.Contour();
  EXPECT_TRUE(c.Enabled());
  EXPECT_EQ(c.Color(), 0u);
  EXPECT_EQ(c.Size(), 2);
  EXPECT_EQ(c.SizeProperty().Min(), 0);
  EXPECT_EQ(c.SizeProperty().Max(), 10);
  EXPECT_EQ(c.Opacity(), 255);

  // Shadow (3, 3) with blur 2 (radius 5) and contour 2: margins max(3 + 5, 2) = 8.
  ASSERT_TRUE(l.Image);
  EXPECT_EQ(l.Dx, 8);
  EXPECT_EQ(l.DY, 8);
  EXPECT_GT(l.Width(), 20);
  EXPECT_GT(l.Height(), 20);
  EXPECT_EQ(l.Image->Width(), l.Width() + 16);
  EXPECT_EQ(l.Image->Height(), l.Height() + 16);
  EXPECT_EQ(l.Image->HotSpotX, 8);
  EXPECT_EQ(l.Image->HotSpotY, 8);
  EXPECT_EQ(l.X(), (768 - l.Width()) / 2);
  EXPECT_EQ(l.Y(), (576 - l.Height()) / 2);
  EXPECT_EQ(l.BoundsRect(), (TRect{l.X() - 8, l.Y() - 8, l.X() + l.Width() + 8, l.Y() + l.Height() + 8}));

  EXPECT_EQ(ChildNames(l), (std::vector<std::string>{"Text", "TextSource", "HorizontalAlignment",
                                                     "VerticalAlignment", "MaxWidth", "Font", "Shadow", "Contour",
                                                     "TextDirection", "layerName", "Visible", "Opacity", "X", "Y",
                                                     "Width", "Height", "LayerIN", "Duration"}));
  EXPECT_EQ(ChildNames(l.Font()), (std::vector<std::string>{"FontName", "FontColor", "FontSize"}));
  EXPECT_EQ(ChildNames(l.Shadow()),
            (std::vector<std::string>{"Enabled", "Color", "DeltaX", "DeltaY", "Blur", "Opacity"}));
  EXPECT_EQ(ChildNames(l.Contour()), (std::vector<std::string>{"Enabled", "Color", "Size", "Opacity"}));
  EXPECT_TRUE(l.TextProperty().Attributes.Has(paVisible));
  EXPECT_EQ(l.ShownText(), std::optional<std::string>("Text"));
}

// The layers below run on the fake renderer: a text measures CharWidth(p) per byte by 2p at the
// drawing scale, unless a test sets the extent; coverage is full over the whole drawing.
class TextLayerFake : public ::testing::Test {
 protected:
  TTextLayer& NewLayer() { return sys->NewLayer<TTextLayer>(); }
  // The next texts render to a glyph block of exactly w x h (measured just under 4w x 4h).
  void GlyphBlock(int w, int h) {
    fake.Extent = [w, h](std::string_view, const TFontSpec&) { return TTextExtent{4 * w - 3, 4 * h - 3}; };
  }

  TFakeTextRenderer fake;
  std::unique_ptr<TQVSystem> sys = Make<TQVSystem>(768, 576, TextContext(&fake), true);
};

TEST_F(TextLayerFake, SizeIsTheTextWithoutMarginsAndCentredAtCreation) {
  GlyphBlock(200, 50);
  TTextLayer& l = NewLayer();
  EXPECT_EQ(l.Width(), 200);
  EXPECT_EQ(l.Height(), 50);
  EXPECT_EQ(l.Image->Width(), 216);
  EXPECT_EQ(l.X(), 284);
  EXPECT_EQ(l.Y(), 263);
}

struct BoundsCase {
  THTextAlig h;
  TVTextAlig v;
  int x, y;
  TRect expected;
};

// Text 200 x 50 with the default margins of 8.
TEST_F(TextLayerFake, BoundsFollowTheAlignmentsAroundTheAnchor) {
  GlyphBlock(200, 50);
  TTextLayer& l = NewLayer();
  const BoundsCase cases[] = {
      {haLeft, vaTop, 100, 50, {92, 42, 308, 108}},
      {haCenter, vaTop, 100, 50, {-8, 42, 208, 108}},
      {haRight, vaTop, 700, 50, {492, 42, 708, 108}},  // text spans 500..700, Image from 492
      {haLeft, vaCenter, 100, 50, {92, 17, 308, 83}},
      {haLeft, vaBottom, 100, 50, {92, -8, 308, 58}},
      {haRight, vaBottom, 0, 0, {-208, -58, 8, 8}},
  };
  for (const BoundsCase& c : cases) {
    l.SetHorizontalAlignment(c.h);
    l.SetVerticalAlignment(c.v);
    l.SetX(c.x);
    l.SetY(c.y);
    EXPECT_EQ(l.BoundsRect(), c.expected) << int(c.h) << " " << int(c.v);
  }
}

// Halves truncate toward zero, also for a size typed in as negative.
TEST_F(TextLayerFake, CentringHalvesTruncateTowardZero) {
  GlyphBlock(201, 51);
  TTextLayer& l = NewLayer();
  l.SetHorizontalAlignment(haCenter);
  l.SetVerticalAlignment(vaCenter);
  l.SetX(100);
  l.SetY(100);
  EXPECT_EQ(l.BoundsRect(), (TRect{100 - 100 - 8, 100 - 25 - 8, 100 - 100 + 8 + 201, 100 - 25 + 8 + 51}));
  l.SetWidth(-5);  // through the grid; only a new rendering sets it back
  EXPECT_EQ(l.BoundsRect().Left, 100 + 2 - 8);
}

TEST_F(TextLayerFake, DrawLayerBlendsTheImageAtItsBounds) {
  GlyphBlock(20, 10);
  TTextLayer& l = NewLayer();
  l.Shadow().SetEnabled(false);
  l.Contour().SetEnabled(false);
  l.SetHorizontalAlignment(haRight);
  l.SetX(700);
  l.SetY(100);
  TmemoryBitmap dest(768, 576);
  l.DrawLayer(dest, 0);
  const TInk ink = InkOf(dest, 3);
  EXPECT_EQ(ink.Left, 680);
  EXPECT_EQ(ink.Right, 700);
  EXPECT_EQ(ink.Top, 100);
  EXPECT_EQ(ink.Bottom, 110);
  EXPECT_EQ(dest.Pixel(690, 105), 0xFCFCFCFCu);
  // The destination's factor is the layer's opacity.
  TmemoryBitmap faded(768, 576);
  faded.SetFactor(128);
  l.DrawLayer(faded, 0);
  EXPECT_EQ(faded.Pixel(690, 105), 0x7E7E7E7Eu);  // 252 * 128 >> 8
}

struct MetaCase {
  std::int32_t source;
  const char* expected;
};

TEST_F(TextLayerFake, MetadataSlotsSetTheTextWhenNotEmpty) {
  sys->Meta1 = "one";
  sys->Meta2 = "";  // empty: the text stays
  sys->Meta3 = "three";
  sys->Meta4 = "four";
  sys->nextMeta1 = "next one";
  sys->nextMeta2 = "next two";
  sys->nextMeta3 = "";
  sys->nextMeta4 = "next four";
  const MetaCase cases[] = {{tsNone, "Text"},         {tsMeta1, "one"},      {tsMeta2, "Text"},
                            {tsMeta3, "three"},       {tsMeta4, "four"},     {tsNextMeta1, "next one"},
                            {tsNextMeta2, "next two"}, {tsNextMeta3, "Text"}, {tsNextMeta4, "next four"},
                            {42, "Text"}};
  for (const MetaCase& c : cases) {
    auto fresh = Make<TQVSystem>(768, 576, TextContext(&fake), false);
    fresh->Meta1 = sys->Meta1, fresh->Meta2 = sys->Meta2, fresh->Meta3 = sys->Meta3, fresh->Meta4 = sys->Meta4;
    fresh->nextMeta1 = sys->nextMeta1, fresh->nextMeta2 = sys->nextMeta2, fresh->nextMeta3 = sys->nextMeta3,
    fresh->nextMeta4 = sys->nextMeta4;
    TTextLayer& l = fresh->NewLayer<TTextLayer>();
    l.TextSourceProperty().SetOrdinal(c.source);
    l.Advance(0);
    EXPECT_EQ(l.Text(), c.expected) << c.source;
  }
}

TEST_F(TextLayerFake, MetadataTextRendersOnceAndOnlyWhenItChanges) {
  TTextLayer& l = NewLayer();
  l.SetTextSource(tsMeta1);
  TChangeCounter text(l.TextProperty());
  TmemoryBitmap dest(768, 576);
  sys->Meta1 = "Election night";
  const std::uint64_t before = l.RenderCount();
  l.Advance(0);
  l.DrawLayer(dest, 0);
  EXPECT_EQ(l.Text(), "Election night");
  EXPECT_EQ(text.count, 1);
  EXPECT_EQ(l.RenderCount(), before + 1);
  EXPECT_EQ(l.Width(), 14 * TFakeTextRenderer::CharWidth(128) / 4 + 1);
  l.Advance(0);  // the same text: no change at all
  l.DrawLayer(dest, 0);
  EXPECT_EQ(text.count, 1);
  EXPECT_EQ(l.RenderCount(), before + 1);
}

// The measured size is the text's, not an edit: it adds no key in auto-key mode and moves no
// keyed curve, yet the grid hears of it.
TEST_F(TextLayerFake, MeasuredSizeLeavesKeyframesAlone) {
  struct AutoKey {
    TAnimationManager& am;
    AutoKey(TAnimationManager& registry, double frame) : am(registry) {
      am.AutoAnimationMode = true;
      am.Frame = frame;
    }
    ~AutoKey() {
      am.AutoAnimationMode = false;
      am.Frame = 0;
    }
  };
  GlyphBlock(200, 50);
  TTextLayer& l = NewLayer();
  ASSERT_NE(l.AnimationManager(), nullptr);
  TChangeCounter width(l.WidthProperty());
  {
    AutoKey on(*l.AnimationManager(), 10);
    GlyphBlock(120, 40);
    l.SetText("Other");
  }
  EXPECT_EQ(l.Width(), 120);
  EXPECT_EQ(l.Height(), 40);
  EXPECT_EQ(width.count, 1);
  EXPECT_FALSE(l.WidthProperty().HasAnimation(0));
  EXPECT_FALSE(l.HeightProperty().HasAnimation(0));

  Tkeys* keys = l.WidthProperty().Animation(true);
  ASSERT_NE(keys, nullptr);
  keys->AddKey(0, 300);
  keys->AddKey(50, 500);
  GlyphBlock(100, 40);
  l.SetText("Third");
  EXPECT_EQ(l.Width(), 100);
  ASSERT_EQ(keys->Count(), 2);
  EXPECT_DOUBLE_EQ(keys->key(0)->fvalue, 300);
  EXPECT_DOUBLE_EQ(keys->key(1)->fvalue, 500);
}

TEST_F(TextLayerFake, MaxWidthFitsTheText) {
  TTextLayer& l = NewLayer();
  l.SetText("ABCDE");  // 150 pixels at 32 points
  EXPECT_EQ(l.Width(), 151);
  l.SetMaxWidth(100);
  ASSERT_FALSE(fake.drawn.empty());
  EXPECT_EQ(fake.drawn.back().Font.PointSize, 85);  // 5 x CharWidth(85) = 400 = 4 x 100
  EXPECT_EQ(l.Width(), 101);                        // 400 raised to whole blocks: 404 / 4
  l.SetMaxWidth(0);
  EXPECT_EQ(fake.drawn.back().Font.PointSize, 128);
  EXPECT_EQ(l.Width(), 151);
}

// Changes of these re-render the text (each test value differs from the current one).
TEST_F(TextLayerFake, ChangesOfTheStyleRenderAgain) {
  TTextLayer& l = NewLayer();
  struct Change {
    const char* what;
    std::function<void()> apply;
  };
  const Change changes[] = {
      {"Text", [&] { l.SetText("Other"); }},
      {"MaxWidth", [&] { l.SetMaxWidth(50); }},
      {"TextDirection", [&] { l.SetTextDirection(tdRighttoLeft); }},
      {"FontName", [&] { l.Font().SetFontName("Liberation Sans"); }},
      {"FontSize", [&] { l.Font().SetFontSize(20); }},
      {"FontColor", [&] { l.Font().FontColorProperty().Green()->SetValue(0.5); }},
      {"Shadow.Enabled", [&] { l.Shadow().SetEnabled(false); }},
      {"Shadow.Enabled back", [&] { l.Shadow().SetEnabled(true); }},
      {"Shadow.DeltaX", [&] { l.Shadow().SetDeltaX(-4); }},
      {"Shadow.Blur", [&] { l.Shadow().SetBlur(0); }},
      {"Shadow.Opacity", [&] { l.Shadow().SetOpacity(10); }},
      {"Shadow.Color", [&] { l.Shadow().ColorProperty().SetWinColor(0x123456); }},
      {"Contour.Size", [&] { l.Contour().SetSize(5); }},
      {"Contour.Opacity", [&] { l.Contour().SetOpacity(100); }},
      {"Contour.Color", [&] { l.Contour().ColorProperty().Blue()->SetValue(1.0); }},
      {"Contour.Enabled", [&] { l.Contour().SetEnabled(false); }},
  };
  for (const Change& c : changes) {
    const std::uint64_t before = l.RenderCount();
    TChangeCounter width(l.WidthProperty());
    c.apply();
    EXPECT_GT(l.RenderCount(), before) << c.what;  // a colour set as a whole notifies per channel
    EXPECT_GE(width.count, 1) << c.what;
  }
}

// The alignments, the source and the position act when drawing; they do not render.
TEST_F(TextLayerFake, PlacementChangesDoNotRender) {
  TTextLayer& l = NewLayer();
  const std::uint64_t before = l.RenderCount();
  TChangeCounter width(l.WidthProperty());
  l.SetHorizontalAlignment(haCenter);
  l.SetVerticalAlignment(vaBottom);
  l.SetTextSource(tsMeta3);
  l.SetX(5);
  l.SetY(7);
  l.SetOpacity(100);
  EXPECT_EQ(width.count, 0);
  EXPECT_EQ(l.RenderCount(), before);
}

// Setting a value equal to the current one still notifies, and Width and Height are set again,
// but the image is kept: same pixels, no new rasterisation.
TEST_F(TextLayerFake, AnUnchangedStyleKeepsItsImage) {
  TTextLayer& l = NewLayer();
  const TmemoryBitmap* image = l.Image.get();
  const std::uint64_t before = l.RenderCount();
  TChangeCounter width(l.WidthProperty());
  TChangeCounter height(l.HeightProperty());
  l.SetText("Text");
  l.Shadow().SetBlur(2);
  EXPECT_EQ(width.count, 2);
  EXPECT_EQ(height.count, 2);
  EXPECT_EQ(l.RenderCount(), before);
  EXPECT_EQ(l.Image.get(), image);
  // A disabled shadow's values do not matter to the pixels.
  l.Shadow().SetEnabled(false);
  const std::uint64_t off = l.RenderCount();
  l.Shadow().SetDeltaX(-20);
  EXPECT_EQ(l.RenderCount(), off);
}

TEST_F(TextLayerFake, ZeroBlurAndZeroContour) {
  GlyphBlock(20, 10);
  TTextLayer& l = NewLayer();
  l.Shadow().SetBlur(0);
  EXPECT_EQ(l.Dx, 3);  // max(3 + 0, 2)
  l.Contour().SetSize(0);
  EXPECT_EQ(l.Dx, 3);
  l.Shadow().SetEnabled(false);
  EXPECT_EQ(l.Dx, 0);
  EXPECT_EQ(l.DY, 0);
  EXPECT_EQ(l.Image->Width(), 20);
  EXPECT_EQ(l.BoundsRect(), (TRect{l.X(), l.Y(), l.X() + 20, l.Y() + 10}));
}

TEST_F(TextLayerFake, TextTooLargeForABitmapShowsNothing) {
  TTextLayer& l = NewLayer();
  fake.Extent = [](std::string_view, const TFontSpec&) { return TTextExtent{4 * 20000, 40}; };
  l.SetText("far too wide");
  EXPECT_FALSE(l.Image);
  EXPECT_EQ(l.Width(), 0);
  EXPECT_EQ(l.Height(), 0);
  EXPECT_EQ(l.Dx, 0);
  TmemoryBitmap dest(64, 64);
  l.DrawLayer(dest, 0);  // nothing to draw, nothing breaks
  fake.Extent = nullptr;
  l.SetText("fits");
  EXPECT_TRUE(l.Image);
}

TEST_F(TextLayerFake, AnchorCrossWhenSelected) {
  TTextLayer& l = NewLayer();
  l.SetX(300);
  l.SetY(200);
  TmemoryBitmap work(768, 576);
  TRecordingCanvas canvas;
  l.DrawEditor(work, canvas);
  EXPECT_TRUE(canvas.fills.empty());
  sys->SetSelectedLayer(&l);
  l.DrawEditor(work, canvas);
  // 18 up and down, 24 left and right, each line ending before its last point; red.
  const std::vector<TRecordingCanvas::Call> expected = {{{300, 182, 301, 218}, 0xFF0000, 0xFF0000},
                                                        {{276, 200, 324, 201}, 0xFF0000, 0xFF0000}};
  EXPECT_EQ(canvas.fills, expected);
  EXPECT_EQ(canvas.others, 0);
}

// Loading stores values silently; CloseObject renders them.
TEST_F(TextLayerFake, CloseObjectRendersTheLoadedValues) {
  TTextLayer& l = NewLayer();
  const int before = l.Width();
  l.BeginChange(0);
  TString text("A much longer text");
  l.TextProperty().GetValueFrom(&text);
  TString size("64");
  l.Font().FontSizeProperty().GetValueFrom(&size);
  l.EndChange(0);
  EXPECT_EQ(l.Width(), before);
  l.CloseObject();
  EXPECT_EQ(l.Width(), 18 * TFakeTextRenderer::CharWidth(256) / 4 + 1);
}

// A program that only reads and writes projects need not install a renderer: the layers are made
// and keep the size they were given, without an image.
TEST(TextLayerNoRenderer, LayersWithoutARendererHaveNoImageAndKeepTheirSize) {
  auto sys = Make<TQVSystem>(768, 576, TextContext(nullptr), false);
  TTextLayer& l = sys->NewLayer<TTextLayer>();
  EXPECT_FALSE(l.Image);
  EXPECT_EQ(l.Width(), 0);
  l.SetWidth(120);
  l.SetText("Other");
  EXPECT_EQ(l.Width(), 120);
  EXPECT_FALSE(l.Image);
  TmemoryBitmap dest(64, 64);
  l.DrawLayer(dest, 0);
  EXPECT_EQ(InkOf(dest, 3).Mass, 0);
}

}  // namespace
}  // namespace qv::test
