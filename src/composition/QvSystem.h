#pragma once
// The composition (TQVSystem): the layer stack, which layers show at a frame, and the two steps
// of a frame: Advance (the pause rule, the tracks, each showing layer's own state) and Render
// (blending what the layers hold, which never moves anything on). The work area's mouse and key
// editing and the editing overlay are in WorkArea.cpp.
#include "composition/CompositionContext.h"
#include "composition/Layer.h"
#include "composition/WorkArea.h"
#include "model/BaseLib.h"
#include "model/BasicTypes.h"
#include "model/Signal.h"
#include "model/UndoEngine.h"
#include "platform/Canvas.h"
#include "platform/Clock.h"
#include "platform/Input.h"
#include "project/MediaPath.h"
#include "raster/Bitmap.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qv {

class TRichEdit;  // the shared rich-text engine of text and crawl layers (platform)
class TTextRenderer;

class TQVSystem : public TContainerObject {
  QV_CONTAINER(TQVSystem, TContainerObject)

 public:
  ~TQVSystem() override;

  // --- state ---------------------------------------------------------------------------------
  std::int32_t Dx = 0;  // last pointer position seen while dragging
  std::int32_t DY = 0;
  // Runs on every selection assignment; the grid, the object list and other panels listen.
  TSignal<TQVSystem*> onSelectItem;
  // Runs after a layer enters or leaves the stack, or the stack is reordered.
  TSignal<TQVSystem*> onLayersChanged;
  std::uint32_t lasttick = 0;                            // tick count of the previous Advance
  TRichEdit* RichEdit1 = nullptr;                        // not owned
  std::mutex richEditSection;                            // guards RichEdit1 against the crawl worker
  std::vector<std::unique_ptr<TLayer>> Layers;           // bottom first
  std::unique_ptr<TmemoryBitmap> work;                   // the work image, or none
  TLayer* MouseLayer = nullptr;                          // the hover layer
  TMouseArea MouseEvent = maLeft;                        // handle or area of MouseLayer
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
    onLayersChanged(this);
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
  // Puts the layer at Index of the stack (0 the bottom; kept within the stack), the others keeping
  // their order.
  void MoveLayer(TLayer* layer, int Index);
  int IndexOf(const TLayer* layer) const;

  // --- drawing -------------------------------------------------------------------------------
  // One shown frame: Advance, then Render of `frame` into Dst, or into `work` when Dst is none.
  void DrawAll(TmemoryBitmap* Dst);
  // Moves the composition on by one shown frame: `frame` restarts at 0 after more than 2000 ms
  // without an Advance; every layer's tracks take their values at `frame`; every layer that
  // shows at it moves its own state on (a crawl scrolls, a clock reads the time of day, a text
  // takes its metadata slot). Once per shown or exported frame.
  void Advance();
  // Composes the layers as they stand, with their tracks at Frame, into Target: bottom to top,
  // each layer that shows at Frame blended with its opacity as Target's factor (the factor stays
  // at the last layer's opacity). Moves nothing on: rendering twice gives the same pixels.
  void Render(std::int32_t Frame, TmemoryBitmap& Target);
  // The editing overlay on `work`, or on Target (a presentation image; frames rendered for
  // output never carry it): each visible layer's own overlay, the hover outline (XOR) and name,
  // the selection outline and handles. Needs a canvas factory in the context.
  void DrawEditor();
  void DrawEditor(TmemoryBitmap& Target);

  // --- mouse and keys ------------------------------------------------------------------------
  void MouseDown(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y);
  void MouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y, TCursor& Cursor);
  void MouseUp(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y);
  // The pointer left the work area: no hover layer (unless a drag is running, which keeps its
  // layer wherever the pointer goes).
  void MouseLeave();
  void KeyDown(std::uint16_t& Key, TShiftState Shift);

  // --- page size -----------------------------------------------------------------------------
  // Pages are 768 × 576 unless a project or the editor says otherwise (720p, 1080p, any size up
  // to 3840 × 2160).
  static constexpr std::int32_t kStandardWidth = 768;
  static constexpr std::int32_t kStandardHeight = 576;
  static constexpr std::int32_t kMaxPageWidth = 3840;
  static constexpr std::int32_t kMaxPageHeight = 2160;
  // Sets the page's size (each side kept within 1 and its maximum) and makes the work image anew
  // at that size, cleared; layers keep their places. Runs onPageSizeChanged when the size changed.
  void SetPageSize(std::int32_t Width, std::int32_t Height);
  bool StandardSize() const { return fwidth == kStandardWidth && fheight == kStandardHeight; }
  // Runs after the page's size changed (the work image is a new one).
  TSignal<TQVSystem*> onPageSizeChanged;

  // --- files ---------------------------------------------------------------------------------
  // Writes the composition and its layers; the previous file survives any failure. Throws
  // EProjectError naming the file. Media in the file's folder or below it are written relative
  // to it, the others with their absolute paths (PortableMediaPath, from ProjectFolder).
  void SaveToFile(const std::string& FileName) const;
  // What SaveToFile writes, with the media paths as the page holds them: the page's project text,
  // CR LF after every line.
  std::string ProjectText() const;
  // The composition's block and then each layer's, into Writer.
  void WriteProject(TLineWriter& Writer) const;
  // Reads project text (as ProjectText gives it) into this composition, as LoadFromFile reads a
  // file, without changing ProjectFolder or ffilename; Source names the text in errors.
  void ReadProjectText(const std::string& Text, const std::string& Source);
  // Reads a project into this composition (its own values are overwritten, each layer block adds
  // a layer). Throws EProjectError naming the file (and the line of a damaged one); the layers
  // completed before the error stay.
  void LoadFromFile(const std::string& FileName);
  // The factory the reader asks for each top-level block.
  TContainerObject* GetObject(std::string_view Name, std::string_view ClassName) override;
  // The published properties, and for the reader "Width" and "Height": the page's size, which a
  // project states only when it is not 768 × 576.
  TBaseProperty* GetProperty(std::string_view Name) const override;
  // The end of the composition's block: a size the file stated takes effect.
  void CloseObject() override;
  // The composition's block; a page of another size than 768 × 576 adds "Width = …" and
  // "Height = …" at its end, so files of standard pages stay as they always were.
  void SaveToStream(const std::string& Space, TLineWriter& Writer) const override;

  // --- services ------------------------------------------------------------------------------
  // Where media paths stored in the project are also looked for (the folder of the last project
  // loaded; empty until then).
  std::filesystem::path ProjectFolder;
  std::string ResolveMedia(const std::string& Stored, TMediaKind Kind) const;
  // Told about every picture a layer could not load (the layer then draws nothing); the message
  // names the file.
  std::function<void(const std::string& Message)> OnMediaProblem;
  void ReportMediaProblem(const std::string& Message) const;
  // How many bytes an image sequence's decoded frames may take before it plays through a window
  // of frames decoded ahead instead of holding them all: 1 GiB, or QV_SEQUENCE_MEMORY_MB
  // mebibytes when that is set in the environment.
  std::uint64_t SequenceMemoryBudget = DefaultSequenceMemoryBudget();
  static std::uint64_t DefaultSequenceMemoryBudget();
  // Told how far an image sequence's load is (files decoded of files found), on the calling
  // thread; none: sequences load without reporting.
  std::function<void(std::size_t Loaded, std::size_t Found)> OnLoadProgress;

  // What the composition reaches the platform through (set when it is made).
  const TCompositionContext& Context() const { return fContext; }
  const TTextRenderer* TextRenderer() const { return fContext.TextRenderer; }
  TTickSource& Ticks() const { return *fTicks; }
  TTimeOfDaySource& TimeOfDay() const { return *fTimeOfDay; }
  TCanvasFactory* CanvasFactory() const { return fContext.Canvases; }

  TEnum<TShowTime>& ShowTimeProperty() const { return *fshowtime; }
  TTimeCode& TimeProperty() const { return *fsec; }
  TEnum<TDurationType>& DurationTypeProperty() const { return *fdurt; }
  TTimeCode& DurationProperty() const { return *fdur; }

 protected:
  // A composition whose only platform service is the rich-text engine.
  TQVSystem(std::int32_t Width, std::int32_t Height, TRichEdit* richedit, bool CreateBitmap);
  TQVSystem(std::int32_t Width, std::int32_t Height, const TCompositionContext& Context, bool CreateBitmap);
  void AfterConstruction() override;

 private:
  // Whether L shows at Frame by the time rule (visibility and opacity aside).
  bool Shows(const TLayer& L, std::int32_t Frame) const;
  // The snapshot of the stack that a frame walks (a layer's hook may change the stack).
  void TakeSnapshot();
  // Starts the page over at frame 0 when more than 2000 ms passed since the last call (an editor
  // left alone shows its page from the start again); the tick count may wrap meanwhile.
  void RestartAfterPause();
  // Takes a layer whose block a damaged project left open out again.
  void DiscardHalfRead(TContainerObject* Object);
  // Render of the layers in fSnapshot, without evaluating their tracks.
  void Compose(std::int32_t Frame, TmemoryBitmap& Target);

  TEnum<TShowTime>* fshowtime = nullptr;
  TTimeCode* fsec = nullptr;
  TTimeCode* fdur = nullptr;
  TEnum<TDurationType>* fdurt = nullptr;
  TLayer* fSelectedLayer = nullptr;
  // The page's size as the reader sets it (not published: the grid does not show it).
  std::unique_ptr<TMinMaxInteger> fPageWidth;
  std::unique_ptr<TMinMaxInteger> fPageHeight;
  bool fSyncingSize = false;  // SetPageSize is bringing the two properties up to date

  TCompositionContext fContext;
  // The registry and undo engine the context did not give; the page's objects reach the ones in
  // use through fServices.
  std::unique_ptr<TAnimationManager> fOwnAnimations;
  std::unique_ptr<TUndoEngine> fOwnUndo;
  TPageServices fServices;
  TSteadyTickSource fSteadyTicks;
  TSystemTimeOfDay fSystemTime;
  TTickSource* fTicks = &fSteadyTicks;
  TTimeOfDaySource* fTimeOfDay = &fSystemTime;
  std::vector<TLayer*> fSnapshot;  // a frame's copy of the stack, kept to avoid reallocating
};

}  // namespace qv
