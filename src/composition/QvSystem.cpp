#include "composition/QvSystem.h"

#include "composition/LayerClasses.h"
#include "model/MathLib.h"
#include "project/ProjectFile.h"

#include <algorithm>
#include <cmath>

namespace qv {

QV_PUBLISHED(TLayer,
             QV_MEMBER("layerName", fname),
             QV_MEMBER("Visible", fvisible),
             QV_MEMBER("Opacity", fopacity),
             QV_MEMBER("X", fx),
             QV_MEMBER("Y", fy),
             QV_MEMBER("Width", fw),
             QV_MEMBER("Height", fh),
             QV_MEMBER("LayerIN", flin),
             QV_MEMBER("Duration", flout))

QV_PUBLISHED(TQVSystem,
             QV_MEMBER("ShowTime", fshowtime),
             QV_MEMBER("Time", fsec),
             QV_MEMBER("DurationType", fdurt),
             QV_MEMBER("Duration", fdur))

// ---- TLayer -----------------------------------------------------------------------------------

TLayer::~TLayer() = default;

void TLayer::AfterConstruction() {
  TContainerObject::AfterConstruction();
  fvisible->SetValue(true);
  fx->SetValue(0);
  fy->SetValue(0);
  fopacity->SetMinMax(0, 255);
  fopacity->SetValue(255);
  flin->SetValue(0);
  flin->Attributes.Exclude(paVisible);
  flout->SetValue(250);
  TPropertyAttributesSet hidden = flin->Attributes;
  hidden.Exclude(paVisible);
  flout->Attributes = hidden;
}

void TLayer::Draw(TmemoryBitmap& bmp, double frame) {
  bool continueDrawing = true;
  if (OnBeforeDraw) OnBeforeDraw(this, bmp, continueDrawing);
  if (continueDrawing) DrawLayer(bmp, frame);
  if (OnAfterDraw) OnAfterDraw(this, bmp);
}

TRect TLayer::BoundsRect() const {
  // Summed in 64 bits and saturated: a layer dragged to extreme values must not overflow.
  auto sum = [](std::int32_t a, std::int32_t b) {
    const std::int64_t s = std::int64_t(a) + b;
    return static_cast<int>(std::clamp<std::int64_t>(s, INT32_MIN, INT32_MAX));
  };
  return {X(), Y(), sum(X(), Width()), sum(Y(), Height())};
}

// ---- TQVSystem --------------------------------------------------------------------------------

namespace {

// Sums of positions and sizes saturate: nothing limits the values a file or a drag gives them.
std::int32_t Add(std::int32_t a, std::int64_t b) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(a + b, INT32_MIN, INT32_MAX));
}

bool Near(std::int32_t v, std::int32_t a) { return std::int64_t(a) - 3 < v && v < std::int64_t(a) + 3; }

}  // namespace

TQVSystem::TQVSystem(std::int32_t Width, std::int32_t Height, TRichEdit* richedit, bool CreateBitmap)
    : RichEdit1(richedit), fwidth(Width), fheight(Height) {
  if (CreateBitmap) work = std::make_unique<TmemoryBitmap>(TmemoryBitmap::CreateAsDib(Width, Height, 32));
}

void TQVSystem::AfterConstruction() {
  TContainerObject::AfterConstruction();
  MouseLayer = nullptr;
  SetSelectedLayer(nullptr);
  frame = 0;
  fshowtime->SetValue(stAllClip);
  fsec->Name = "Time";
  fdur->Name = "Duration";
  fdur->SetValue(3.0);
}

TQVSystem::~TQVSystem() {
  // Layers go first, in list order, while the composition they point at is still whole.
  MouseLayer = nullptr;
  fSelectedLayer = nullptr;
  for (auto& layer : Layers) layer.reset();
  Layers.clear();
}

std::string& TQVSystem::Meta(int i) {
  std::string* slots[] = {&Meta1, &Meta2, &Meta3, &Meta4};
  return *slots[std::clamp(i, 0, 3)];
}

std::string& TQVSystem::NextMeta(int i) {
  std::string* slots[] = {&nextMeta1, &nextMeta2, &nextMeta3, &nextMeta4};
  return *slots[std::clamp(i, 0, 3)];
}

void TQVSystem::SetSelectedLayer(TLayer* Value) {
  fSelectedLayer = Value;
  if (onSelectItem) onSelectItem(this);
}

int TQVSystem::IndexOf(const TLayer* layer) const {
  for (std::size_t i = 0; i < Layers.size(); ++i) {
    if (Layers[i].get() == layer) return static_cast<int>(i);
  }
  return -1;
}

TLayer* TQVSystem::NewLayerOfClass(std::string_view Keyword) {
  return CreateLayerOfClass(*this, Keyword);
}

void TQVSystem::DeleteLayer(TLayer* layer) {
  const int i = IndexOf(layer);
  if (i < 0) return;
  std::unique_ptr<TLayer> owned = std::move(Layers[static_cast<std::size_t>(i)]);
  Layers.erase(Layers.begin() + i);
  if (MouseLayer == layer) MouseLayer = nullptr;
  if (fSelectedLayer == layer) SetSelectedLayer(nullptr);
  owned.reset();
}

void TQVSystem::BringToFront(TLayer* layer) {
  const int i = IndexOf(layer);
  if (i < 0) return;
  std::rotate(Layers.begin() + i, Layers.begin() + i + 1, Layers.end());
}

void TQVSystem::SendToBack(TLayer* layer) {
  const int i = IndexOf(layer);
  if (i < 0) return;
  std::rotate(Layers.begin(), Layers.begin() + i, Layers.begin() + i + 1);
}

bool TQVSystem::Shows(const TLayer& L) const {
  if (ShowTime() == stAllClip) return true;
  // stAfterStart, stBeforeEnd (and any other stored ordinal) apply the time rule.
  if (DurationType() == dtFixed) {
    const std::int64_t in = L.LayerIN();
    const std::int64_t f = frame;
    return !(f < in || f > in + L.Duration());
  }
  return Duration() > frame / 25.0;
}

void TQVSystem::DrawAll(TmemoryBitmap* Dst) {
  const std::uint32_t now = fTicks->TickCount();
  if (static_cast<std::uint32_t>(now - lasttick) > 2000u) frame = 0;
  lasttick = fTicks->TickCount();

  TmemoryBitmap* target = Dst != nullptr ? Dst : work.get();
  if (target == nullptr) return;

  fSnapshot.clear();
  for (const auto& layer : Layers) fSnapshot.push_back(layer.get());
  const double f = frame;
  for (TLayer* L : fSnapshot) {
    L->SetFrame(f);
    target->SetFactor(L->Opacity());
    if (Shows(*L) && L->Visible() && L->Opacity() > 0) L->Draw(*target, f);
  }
}

void TQVSystem::DrawEditor() {
  if (!work || work->Empty() || fCanvases == nullptr) return;
  std::unique_ptr<TCanvas> canvas = fCanvases->Open(work->Bits, work->Width(), work->Height());
  if (!canvas) return;

  for (const auto& layer : Layers) {
    if (layer->Visible()) layer->DrawEditor(*work, *canvas);
  }
  constexpr std::uint32_t white = 0xFFFFFF;
  constexpr std::uint32_t blue = 0x0000FF;  // 0x00RRGGBB
  if (MouseLayer != nullptr && MouseLayer != fSelectedLayer) {
    canvas->FrameRect(MouseLayer->BoundsRect(), white, TPenMode::pmXor);
  }
  if (MouseLayer != nullptr) {
    canvas->TextOut(MouseLayer->X(), MouseLayer->Y(), MouseLayer->layerName(), 0x000000, white);
  }
  if (TLayer* s = fSelectedLayer) {
    canvas->FrameRect(s->BoundsRect(), white, TPenMode::pmXor);
    const int x = s->X();
    const int y = s->Y();
    const int w = s->Width();
    const int h = s->Height();
    auto handle = [&](int cx, int cy) { canvas->FillRect({cx - 3, cy - 3, cx + 3, cy + 3}, blue, white); };
    if (s->AccpetResizeX) {
      handle(x, y + h / 2);
      handle(x + w, y + h / 2);
    }
    if (s->AccpetResizeY) {
      handle(x + w / 2, y + h);
      handle(x + w / 2, y);
    }
    if (s->AccpetResizeX && s->AccpetResizeY) {
      handle(x, y);
      handle(x + w, y);
      handle(x, y + h);
      handle(x + w, y + h);
    }
  }
}

void TQVSystem::MouseDown(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y) {
  if (MouseLayer == nullptr) {
    SetSelectedLayer(nullptr);
    return;
  }
  if ((Shift & ssLeft) != 0) {
    MouseLayer->tag0 = 1;
    SetSelectedLayer(MouseLayer);
    Dx = X;
    DY = Y;
  }
}

namespace {

}  // namespace

void TQVSystem::MouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y, TCursor& Cursor) {
  TLayer* s = fSelectedLayer;
  if (s != nullptr && s->tag0 == 1) {
    const std::int64_t dX = std::int64_t(X) - Dx;
    const std::int64_t dY = std::int64_t(Y) - DY;
    switch (MouseEvent) {
      case 0:
        s->SetX(Add(s->X(), std::int64_t(dX)));
        s->SetWidth(Add(s->Width(), -std::int64_t(dX)));
        break;
      case 1:
        s->SetWidth(Add(s->Width(), std::int64_t(dX)));
        break;
      case 2:
        s->SetY(Add(s->Y(), std::int64_t(dY)));
        s->SetHeight(Add(s->Height(), -std::int64_t(dY)));
        break;
      case 3:
        s->SetHeight(Add(s->Height(), std::int64_t(dY)));
        break;
      case 4:
        s->SetX(Add(s->X(), std::int64_t(dX)));
        s->SetWidth(Add(s->Width(), -std::int64_t(dX)));
        s->SetY(Add(s->Y(), std::int64_t(dY)));
        s->SetHeight(Add(s->Height(), -std::int64_t(dY)));
        break;
      case 5:
        s->SetWidth(Add(s->Width(), std::int64_t(dX)));
        s->SetHeight(Add(s->Height(), std::int64_t(dY)));
        break;
      case 6:
        s->SetWidth(Add(s->Width(), std::int64_t(dX)));
        s->SetHeight(Add(s->Height(), -std::int64_t(dY)));
        s->SetY(Add(s->Y(), std::int64_t(dY)));
        break;
      case 7:
        s->SetWidth(Add(s->Width(), -std::int64_t(dX)));
        s->SetHeight(Add(s->Height(), std::int64_t(dY)));
        s->SetX(Add(s->X(), std::int64_t(dX)));
        break;
      case 8:
        s->SetX(Add(s->X(), std::int64_t(dX)));
        s->SetY(Add(s->Y(), std::int64_t(dY)));
        break;
      default:
        break;
    }
    Dx = X;
    DY = Y;
    return;
  }

  // Hover: top layer first; all nine tests on a layer before the layer below it.
  for (auto it = Layers.rbegin(); it != Layers.rend(); ++it) {
    TLayer* L = it->get();
    const TRect r = L->BoundsRect();
    const std::int32_t hw = static_cast<std::int32_t>((std::int64_t(r.Right) - r.Left) / 2);
    const std::int32_t hh = static_cast<std::int32_t>((std::int64_t(r.Bottom) - r.Top) / 2);
    const std::int32_t midX = static_cast<std::int32_t>(std::int64_t(r.Left) + hw);
    const std::int32_t midY = static_cast<std::int32_t>(std::int64_t(r.Top) + hh);
    const bool rx = L->AccpetResizeX;
    const bool ry = L->AccpetResizeY;
    int event = -1;
    TCursor cursor = TCursor::crDefault;
    if (rx && Near(X, r.Left) && Near(Y, midY)) {
      event = 0, cursor = TCursor::crSizeWE;
    } else if (rx && Near(X, r.Right) && Near(Y, midY)) {
      event = 1, cursor = TCursor::crSizeWE;
    } else if (ry && Near(X, midX) && Near(Y, r.Top)) {
      event = 2, cursor = TCursor::crSizeNS;
    } else if (ry && Near(X, midX) && Near(Y, r.Bottom)) {
      event = 3, cursor = TCursor::crSizeNS;
    } else if (rx && ry && Near(X, r.Left) && Near(Y, r.Top)) {
      event = 4, cursor = TCursor::crSizeNWSE;
    } else if (rx && ry && Near(X, r.Right) && Near(Y, r.Bottom)) {
      event = 5, cursor = TCursor::crSizeNWSE;
    } else if (rx && ry && Near(X, r.Right) && Near(Y, r.Top)) {
      event = 6, cursor = TCursor::crSizeNESW;
    } else if (rx && ry && Near(X, r.Left) && Near(Y, r.Bottom)) {
      event = 7, cursor = TCursor::crSizeNESW;
    } else if (r.Left < X && X < r.Right && r.Top < Y && Y < r.Bottom) {
      event = 8, cursor = TCursor::crSizeAll;
    }
    if (event >= 0) {
      MouseLayer = L;
      MouseEvent = event;
      Cursor = cursor;
      return;
    }
  }
}

void TQVSystem::MouseUp(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y) {
  if (fSelectedLayer != nullptr) fSelectedLayer->tag0 = 0;
}

void TQVSystem::KeyDown(std::uint16_t& Key, TShiftState Shift) {
  TLayer* s = fSelectedLayer;
  if (s == nullptr) return;
  if (Key == VK_DELETE) {
    DeleteLayer(s);
    MouseLayer = nullptr;
    return;
  }
  const bool ctrl = (Shift & ssCtrl) != 0;
  const bool alt = (Shift & ssAlt) != 0;
  std::int32_t dx = 0;
  std::int32_t dy = 0;
  std::int32_t dw = 0;
  switch (Key) {
    case VK_UP:
      dy = ctrl ? -4 : -1;
      break;
    case VK_DOWN:
      dy = ctrl ? 4 : 1;
      break;
    case VK_LEFT:
      if (ctrl) {
        dx = -4;
      } else if (alt) {
        dw = -1;
      } else {
        dx = -1;
      }
      break;
    case VK_RIGHT:
      if (ctrl) {
        dx = 4;
      } else if (alt) {
        dw = 1;
      } else {
        dx = 1;
      }
      break;
    default:
      break;
  }
  if (dx == 0 && dy == 0 && dw == 0) return;
  s->SetX(Add(s->X(), std::int64_t(dx)));
  s->SetY(Add(s->Y(), std::int64_t(dy)));
  s->SetWidth(Add(s->Width(), std::int64_t(dw)));
}

std::string TQVSystem::ResolveMedia(const std::string& Stored, TMediaKind Kind) const {
  return ResolveMediaPath(Stored, ProjectFolder, Kind);
}

void TQVSystem::ReportMediaProblem(const std::string& Message) const {
  if (OnMediaProblem) OnMediaProblem(Message);
}

// ---- files ------------------------------------------------------------------------------------

void TQVSystem::SaveToFile(const std::string& FileName) const {
  TProjectTextWriter writer;
  SaveToStream("\t", writer);
  for (const auto& layer : Layers) layer->SaveToStream("\t", writer);
  writer.SaveTo(FileName);
}

TContainerObject* TQVSystem::GetObject(std::string_view Name, std::string_view ClassName) {
  // The reader asks the composition for its own block and for each layer block (the object name
  // does not matter); a layer block makes a new layer on top.
  if (SameText(ClassName, "TOBJECTS") || SameText(ClassName, "TQVSYSTEM")) return this;
  return NewLayerOfClass(ClassName);
}

void TQVSystem::LoadFromFile(const std::string& FileName) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(FileName, ec);
  ProjectFolder = (ec ? std::filesystem::path(FileName) : absolute).parent_path();

  // A layer whose block was still open when the file turned out damaged is taken out again,
  // so no half-read layer stays behind.
  auto discard = [this](TContainerObject* obj) {
    for (const auto& layer : Layers) {
      if (layer.get() == obj) {
        DeleteLayer(layer.get());
        return;
      }
    }
  };
  LoadProjectFile(FileName, *this, discard);
  ffilename = FileName;
}

}  // namespace qv
