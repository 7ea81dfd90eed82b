#pragma once
// qvrender batch: one page (or one range of frames) per row of a CSV table, from one template.
#include "app/qvrender/OnDemandQt.h"
#include "app/qvrender/Options.h"
#include "batch/BatchRows.h"
#include "composition/ImageLayers.h"
#include "composition/RollLayer.h"
#include "platform/Clock.h"
#include "video/FrameFiles.h"
#include "video/FrameRenderer.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::render {

// One job's page: a composition of its own loaded from the template, with the clocks of a
// repeatable render (as qvrender render has them), put back to the start for every row.
class TBatchPage {
 public:
  // A page is 768 × 576 until its template says otherwise.
  static constexpr int kWidth = TQVSystem::kStandardWidth;
  static constexpr int kHeight = TQVSystem::kStandardHeight;

  TBatchPage(const TBatchOptions& o, const TTextRenderer& text) : fStart(o.Time) {
    if (fStart) fFixedTime = std::make_unique<TFixedTimeOfDay>(*fStart);
    TCompositionContext context;
    context.TextRenderer = &text;
    context.RichEdit = &fRichEdit;
    context.Ticks = &fTicks;
    context.TimeOfDay = fFixedTime ? static_cast<TTimeOfDaySource*>(fFixedTime.get()) : &fSystemTime;
    Sys = Make<TQVSystem>(kWidth, kHeight, context, true);
    fFrames = std::make_unique<video::TFrameRenderer>(*Sys, fTicks, fFixedTime.get());
    // The layers the template's values were put back in are closed once their first Advance
    // has taken the row's metadata.
    fFrames->OnAdvanced = [this] {
      for (TLayer* layer : fRestored) layer->CloseObject();
      fRestored.clear();
    };
    Sys->OnMediaProblem = [this](const std::string& message) {
      if (InRow) {
        Problems.push_back(message);
      } else {
        ++TemplateProblems;
        std::cerr << "qvrender: warning: " << message << "\n";
      }
    };
  }
  ~TBatchPage() {
    fFrames.reset();
    Sys.reset();
  }
  TBatchPage(const TBatchPage&) = delete;
  TBatchPage& operator=(const TBatchPage&) = delete;

  void Load(const std::string& file, unsigned loadThreads) {
    Sys->LoadFromFile(file);
    for (const auto& layer : Sys->Layers) {
      // A sequence a row names loads on this job's share of the cores.
      if (auto* multi = dynamic_cast<TMultiImageLayer*>(layer.get())) multi->LoadThreads = loadThreads;
    }
    fFrames->Prepare();
    fTemplate = std::make_unique<TPageSnapshot>(*Sys);
  }

  // Sets the row's values for frames from `first` on; answers its problems (none: the page is
  // ready for its frames).
  std::vector<std::string> Apply(const std::vector<TBatchColumn>& columns, const std::vector<std::string>& row,
                                 int first) {
    Problems.clear();
    InRow = true;
    fFrames->Restart();
    // A row that failed before its frames left these unclosed.
    for (TLayer* layer : fRestored) layer->CloseObject();
    fRestored = fTemplate->Restore(columns, fCarrier);
    // An animated value takes the row's value at the first frame, its curve keeping its shape
    // around it; the tracks stand there first, whatever frames the job drew before.
    for (const auto& layer : Sys->Layers) layer->SetFrame(first);
    if (fFixedTime) *fFixedTime = TFixedTimeOfDay(*fStart);
    Sys->lasttick = fTicks.TickCount();
    std::vector<std::string> rowProblems = ApplyRow(*Sys, columns, row, fCarrier);
    // Crawls start over, as on a page just loaded: with the strips they hold when nothing they
    // show changed, rendered again otherwise.
    const std::vector<TRollLayer*>& crawls = fFrames->Crawls();
    for (TRollLayer* roll : crawls) {
      const bool changed = std::find(fRestored.begin(), fRestored.end(), roll) != fRestored.end();
      if (changed || !roll->Rewind()) roll->CloseObject();
    }
    PrepareStrips(crawls);
    std::erase_if(fRestored, [&](TLayer* l) { return std::find(crawls.begin(), crawls.end(), l) != crawls.end(); });
    rowProblems.insert(rowProblems.end(), Problems.begin(), Problems.end());
    return rowProblems;
  }

  // Frame `frame` of the row into the work image, as qvrender render and sequence compose it.
  void Compose(int frame) { fFrames->Compose(frame); }

  std::unique_ptr<TQVSystem> Sys;
  TFrameWriter Frames;                // the rows' frames, flushed to the disk when the job ends
  std::vector<std::string> Problems;  // media problems of the row under way
  bool InRow = false;
  int TemplateProblems = 0;           // media of the template that could not be loaded

 private:
  std::optional<TTimeOfDay> fStart;
  TManualTickSource fTicks;
  std::unique_ptr<TFixedTimeOfDay> fFixedTime;
  TSystemTimeOfDay fSystemTime;
  TOnDemandRichEdit fRichEdit;
  TString fCarrier;
  std::unique_ptr<TPageSnapshot> fTemplate;
  std::vector<TLayer*> fRestored;  // to be closed after the row's first Advance
  std::unique_ptr<video::TFrameRenderer> fFrames;  // made after the clocks it moves
};


// Args are those after "batch". Answers the exit status: 0 when every row chosen was rendered, 1
// when some row failed (each is reported with its number) or the run could not start, 2 for a
// bad command line, 3 when every row was rendered but media of the template could not be loaded
// (unless --allow-missing-media).
int RunBatch(const std::vector<std::string>& Args);
// The run the command line describes.
int RunBatch(const TBatchOptions& Options);

// Sets a row on the page and writes its frames (Output: the row's name, its frame field not yet
// filled); answers the row's problems, none when every frame was written.
std::vector<std::string> RenderRow(TBatchPage& Page, const TBatchOptions& Options,
                                   const std::vector<TBatchColumn>& Columns, const std::vector<std::string>& Row,
                                   const std::string& Output);

}  // namespace qv::render
