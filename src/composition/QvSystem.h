#pragma once
// The composition (TQVSystem) and the base of its layers (TLayer): the layer stack, which layers
// show at a frame, composing a frame, and the mouse and key editing of the work area.
#include "model/BaseLib.h"
#include "model/BasicTypes.h"
#include "platform/Canvas.h"
#include "platform/Clock.h"
#include "platform/Input.h"
#include "project/MediaPath.h"
#include "raster/Bitmap.h"

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class TQVSystem;
class TLayer;
class TRichEdit;  // the shared rich-text engine of text and crawl layers (platform)

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
  std::int32_t IconIndex = 0;  // 0 image, 1 sequence, 2 text, 3 roll, 4 clock

  // Draws the layer's content; nothing in TLayer.
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
  explicit TLayer(TQVSystem* Aowner) : owner(Aowner) {}
  void AfterConstruction() override;

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

class TQVSystem : public TContainerObject {
  QV_CONTAINER(TQVSystem, TContainerObject)

 public:
  ~TQVSystem() override;

  // --- state ---------------------------------------------------------------------------------
  std::int32_t Dx = 0;  // last pointer position seen while dragging
  std::int32_t DY = 0;
  std::function<void(TQVSystem* Sender)> onSelectItem;  // runs on every selection assignment
  std::uint32_t lasttick = 0;                            // tick count of the previous DrawAll
  TRichEdit* RichEdit1 = nullptr;                        // not owned
  std::mutex richEditSection;                            // guards RichEdit1 against the crawl worker
  std::vector<std::unique_ptr<TLayer>> Layers;           // bottom first
  std::unique_ptr<TmemoryBitmap> work;                   // the work image, or none
  TLayer* MouseLayer = nullptr;                          // the hover layer
  std::int32_t MouseEvent = 0;                           // handle or area of MouseLayer, 0..8
  std::int32_t frame = 0;                                // current frame, 25 per second
  std::string ffilename;                                 // the last project loaded
  std::int32_t fwidth = 0;
  std::int32_t fheight = 0;
  std::string Meta1, Meta2, Meta3, Meta4;                // text slots for text layers
  std::string nextMeta1, nextMeta2, nextMeta3, nextMeta4;
  // Slot i (0..3) of Meta1..Meta4 and nextMeta1..nextMeta4.
  std::string& Meta(int i);
  std::string& NextMeta(int i);

  // --- published properties ------------------------------------------------------------------
  TShowTime ShowTime() const { return fshowtime->Value(); }
  double Time() const { return fsec->Value(); }
  TDurationType DurationType() const { return fdurt->Value(); }
  double Duration() const { return fdur->Value(); }  // seconds
  void SetShowTime(TShowTime v) { fshowtime->SetValue(v); }
  void SetTime(double v) { fsec->SetValue(v); }
  void SetDurationType(TDurationType v) { fdurt->SetValue(v); }
  void SetDuration(double v) { fdur->SetValue(v); }

  // --- selection -----------------------------------------------------------------------------
  TLayer* _SelectedLayer() const { return fSelectedLayer; }
  // Stores the selection and calls onSelectItem, also when the value does not change.
  void SetSelectedLayer(TLayer* Value);

  // --- layers --------------------------------------------------------------------------------
  // Creates a layer of class L on top of the stack (the composition owns it).
  template <class L>
  L& NewLayer() {
    std::unique_ptr<L> layer = Make<L>(this);
    L& ref = *layer;
    Layers.push_back(std::move(layer));
    return ref;
  }
  // Creates a layer by its class keyword as the project file names it, upper case
  // ("TIMAGELAYER"); none for a keyword of no known layer class.
  TLayer* NewLayerOfClass(std::string_view Keyword);
  // Takes the layer out of the stack and frees it; hover and selection that point at it are
  // cleared first (the selection through its setter).
  void DeleteLayer(TLayer* Layer);
  void BringToFront(TLayer* layer);
  void SendToBack(TLayer* layer);
  int IndexOf(const TLayer* layer) const;

  // --- drawing -------------------------------------------------------------------------------
  // Composes `frame` into Dst, or into `work` when Dst is none.
  void DrawAll(TmemoryBitmap* Dst);
  // The editing overlay in `work`: each visible layer's own overlay, the hover outline (XOR) and
  // name, the selection outline and handles. Needs `work` and a canvas factory.
  void DrawEditor();

  // --- mouse and keys ------------------------------------------------------------------------
  void MouseDown(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y);
  void MouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y, TCursor& Cursor);
  void MouseUp(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y);
  void KeyDown(std::uint16_t& Key, TShiftState Shift);

  // --- files ---------------------------------------------------------------------------------
  // Writes the composition and its layers; the previous file survives any failure. Throws
  // EProjectError naming the file.
  void SaveToFile(const std::string& FileName) const;
  // Reads a project into this composition (its own values are overwritten, each layer block adds
  // a layer). Throws EProjectError naming the file (and the line of a damaged one); the layers
  // completed before the error stay.
  void LoadFromFile(const std::string& FileName);
  // The factory the reader asks for each top-level block.
  TContainerObject* GetObject(std::string_view Name, std::string_view ClassName) override;

  // --- services ------------------------------------------------------------------------------
  // Where media paths stored in the project are also looked for (the folder of the last project
  // loaded; empty until then).
  std::filesystem::path ProjectFolder;
  std::string ResolveMedia(const std::string& Stored, TMediaKind Kind) const;
  // Told about every picture a layer could not load (the layer then draws nothing); the message
  // names the file.
  std::function<void(const std::string& Message)> OnMediaProblem;
  void ReportMediaProblem(const std::string& Message) const;

  // The clocks and the overlay canvas (not owned); the defaults are the machine's clocks and no
  // canvas. Set them before the first DrawAll.
  void SetTickSource(TTickSource* Source) { fTicks = Source != nullptr ? Source : &fSteadyTicks; }
  void SetTimeOfDaySource(TTimeOfDaySource* Source) { fTimeOfDay = Source != nullptr ? Source : &fSystemTime; }
  void SetCanvasFactory(TCanvasFactory* Factory) { fCanvases = Factory; }
  TTickSource& Ticks() const { return *fTicks; }
  TTimeOfDaySource& TimeOfDay() const { return *fTimeOfDay; }
  TCanvasFactory* CanvasFactory() const { return fCanvases; }

  TEnum<TShowTime>& ShowTimeProperty() const { return *fshowtime; }
  TTimeCode& TimeProperty() const { return *fsec; }
  TEnum<TDurationType>& DurationTypeProperty() const { return *fdurt; }
  TTimeCode& DurationProperty() const { return *fdur; }

 protected:
  TQVSystem(std::int32_t Width, std::int32_t Height, TRichEdit* richedit, bool CreateBitmap);
  void AfterConstruction() override;

 private:
  bool Shows(const TLayer& L) const;

  TEnum<TShowTime>* fshowtime = nullptr;
  TTimeCode* fsec = nullptr;
  TTimeCode* fdur = nullptr;
  TEnum<TDurationType>* fdurt = nullptr;
  TLayer* fSelectedLayer = nullptr;

  TSteadyTickSource fSteadyTicks;
  TSystemTimeOfDay fSystemTime;
  TTickSource* fTicks = &fSteadyTicks;
  TTimeOfDaySource* fTimeOfDay = &fSystemTime;
  TCanvasFactory* fCanvases = nullptr;
  std::vector<TLayer*> fSnapshot;  // DrawAll's copy of the stack, kept to avoid reallocating
};

}  // namespace qv
