#pragma once
// TLayer: the base of the layer kinds. What every layer has (name, visibility, opacity, position
// and size, in-point and duration in frames, two drawing hooks, the resize-handle flags) and the
// two steps of a frame: Advance moves the layer's own state on by one shown frame (a crawl's
// position, a clock's time, a metadata slot's text), DrawLayer only reads that state and blends it.
#include "model/BaseLib.h"
#include "model/BasicTypes.h"
#include "platform/Canvas.h"
#include "raster/Bitmap.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class TQVSystem;
class TLayer;

// Hooks around a layer's drawing.
using TLayerDrawBool = std::function<void(TLayer* Sender, TmemoryBitmap& bmp, bool& ContinueDrawing)>;
using TLayerDraw = std::function<void(TLayer* Sender, TmemoryBitmap& bmp)>;

class TLayer : public TContainerObject {
  QV_CONTAINER(TLayer, TContainerObject)

 public:
  ~TLayer() override;

  TQVSystem* owner = nullptr;  // the composition the layer belongs to (not owned)
  std::string ParentName;      // not set by the system
  TLayerDrawBool OnBeforeDraw;
  TLayerDraw OnAfterDraw;
  std::int32_t tag = 0;
  std::int32_t tag0 = 0;  // 1 while the layer is moved or resized with the mouse
  std::int32_t tag1 = 0;
  bool AccpetResizeX = false;  // the left/right (and corner) handles apply
  bool AccpetResizeY = false;  // the top/bottom (and corner) handles apply
  TLayer* Parent = nullptr;    // not set by the system
  std::vector<TLayer*> Childs; // the list is the layer's, its members are not
  // The layer's kind for the object list's icons: 0 image, 1 sequence, 2 text, 3 roll, 4 clock.
  // Each class sets its own, so layers read from a project show the right icon too.
  std::int32_t IconIndex = 0;

  // Moves the layer's own state on by one shown frame, after its tracks took their values at
  // `frame`; called once per frame the layer shows in, never for a repaint. Nothing in TLayer.
  virtual void Advance(double frame) {}
  // Draws the layer's content as its state stands; draws the same pixels until the next Advance.
  // Nothing in TLayer.
  virtual void DrawLayer(TmemoryBitmap& Dest, double frame) {}
  // OnBeforeDraw (which may veto), DrawLayer, then OnAfterDraw whether or not the layer drew.
  virtual void Draw(TmemoryBitmap& bmp, double frame);
  // An extra overlay of the layer kind on the editor's canvas; nothing in TLayer.
  virtual void DrawEditor(TmemoryBitmap& bmp, TCanvas& Canvas) {}
  // (X, Y, X + Width, Y + Height).
  virtual TRect BoundsRect() const;
  // The text a layer shows, for layers that show one (listed by the tools); none here.
  virtual std::optional<std::string> ShownText() const { return std::nullopt; }

  // Values of the published properties, and setters that go through the properties (so limits,
  // keyframes and change notification apply).
  const std::string& layerName() const { return fname->Value(); }
  bool Visible() const { return fvisible->Value(); }
  std::int32_t Opacity() const { return fopacity->Value(); }
  std::int32_t X() const { return fx->Value(); }
  std::int32_t Y() const { return fy->Value(); }
  std::int32_t Width() const { return fw->Value(); }
  std::int32_t Height() const { return fh->Value(); }
  std::int32_t LayerIN() const { return flin->Value(); }
  std::int32_t Duration() const { return flout->Value(); }
  void SetlayerName(const std::string& v) { fname->SetValue(v); }
  void SetVisible(bool v) { fvisible->SetValue(v); }
  void SetOpacity(std::int32_t v) { fopacity->SetValue(v); }
  void SetX(std::int32_t v) { fx->SetValue(v); }
  void SetY(std::int32_t v) { fy->SetValue(v); }
  void SetWidth(std::int32_t v) { fw->SetValue(v); }
  void SetHeight(std::int32_t v) { fh->SetValue(v); }
  void SetLayerIN(std::int32_t v) { flin->SetValue(v); }
  void SetDuration(std::int32_t v) { flout->SetValue(v); }

  TString& NameProperty() const { return *fname; }
  TBoolean& VisibleProperty() const { return *fvisible; }
  TMinMaxInteger& OpacityProperty() const { return *fopacity; }
  TInteger& XProperty() const { return *fx; }
  TInteger& YProperty() const { return *fy; }
  TInteger& WidthProperty() const { return *fw; }
  TInteger& HeightProperty() const { return *fh; }
  TInteger& LayerINProperty() const { return *flin; }
  TInteger& DurationProperty() const { return *flout; }

 protected:
  // A layer made for a composition belongs to its page (its registry and undo engine) from the
  // start, so its children join the page as they are discovered.
  explicit TLayer(TQVSystem* Aowner);
  void AfterConstruction() override;

  // The size a layer kind derives from its content (a picture's, a measured text's): stored and
  // notified, but neither an edit nor a key (see TInteger::StoreDerived).
  void StoreDerivedSize(std::int32_t W, std::int32_t H) {
    fw->StoreDerived(W);
    fh->StoreDerived(H);
  }

  TBoolean* fvisible = nullptr;
  TMinMaxInteger* fopacity = nullptr;
  TInteger* fx = nullptr;
  TInteger* fy = nullptr;
  TString* fname = nullptr;
  TInteger* flin = nullptr;
  TInteger* flout = nullptr;
  TInteger* fw = nullptr;
  TInteger* fh = nullptr;
};

}  // namespace qv
