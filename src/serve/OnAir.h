#pragma once
// The server's model: the rundown (every edit saved to its file before it is answered), the cue
// (a page made off air by the worker, with its preview picture) and what the program shows. HTTP
// handlers call these operations and never touch a page; the worker thread makes and frees
// pages; the playout thread only runs the program. Every operation answers a status and a JSON
// body, so that requests and their answers are data for table tests.
#include "serve/Program.h"
#include "serve/Rundown.h"
#include "serve/SafePath.h"
#include "serve/ServePage.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace qv::serve {

struct TResult {
  int Status = 200;
  TJson Body;
  static TResult Error(int Status, std::string Message) { return {Status, TJson{{"error", std::move(Message)}}}; }
};

struct TOnAirSettings {
  std::filesystem::path RundownFile;
  TPageTools Tools;
  // Each edit is written to RundownFile before it is answered; none: kept in memory only.
  bool SaveFile = true;
  // Told what went wrong where no request is waiting for an answer (one line).
  std::function<void(const std::string&)> Report;
};

class TOnAir {
 public:
  // Rundown is what RundownFile holds (read by the caller). Starts the worker.
  TOnAir(TOnAirSettings Settings, TRundown Rundown, TProgram& Program);
  ~TOnAir();
  TOnAir(const TOnAir&) = delete;
  TOnAir& operator=(const TOnAir&) = delete;

  // The program's shape: the size of the first page of the rundown that loads (the standard
  // 768 x 576 when none does), interlaced when a page of the rundown has a crawl (which draws
  // field by field). Loads the templates: call before the playout starts.
  struct TShape {
    int Width = TQVSystem::kStandardWidth;
    int Height = TQVSystem::kStandardHeight;
    bool Interlaced = false;
  };
  static TShape ProgramShape(const TRundown& Rundown, const TFolderGuard& Guard);

  // --- the rundown ---------------------------------------------------------------------------
  TJson Rundown() const;
  TResult Row(const std::string& Id) const;
  // Body: a row (its "id" may be left out) and optionally "index", where it goes (default: last).
  TResult AddRow(const TJson& Body);
  // Body: any of "page", "layer" and "fields" (an object whose strings set fields and whose nulls
  // remove them).
  TResult EditRow(const std::string& Id, const TJson& Body);
  TResult DeleteRow(const std::string& Id);

  // --- on air --------------------------------------------------------------------------------
  TResult Cue(const std::string& Id);
  // Cues the row after the one cued (or after the one last taken; the first row when neither).
  TResult Next();
  TResult Take();
  TResult TakeOut(int Layer);
  TJson State() const;
  // The cued page's preview picture (PNG), or none.
  std::shared_ptr<const std::string> PreviewPng() const;
  // The program's last picture (PNG), made again at most ten times a second on a thread of its own
  // (an answer is the last one made); none before the first frame.
  std::shared_ptr<const std::string> ProgramPng();
  // The playout's count of dropped frames, for the state.
  void SetDropped(std::int64_t Dropped) { fDropped.store(Dropped); }

  // --- changes -------------------------------------------------------------------------------
  // A number that moves on with every change of the rundown, the cue or the program's layers.
  std::uint64_t Version() const;
  // Waits until the version differs from Seen, for at most Timeout, or until Stop; answers it.
  std::uint64_t WaitForChange(std::uint64_t Seen, std::chrono::milliseconds Timeout) const;
  // Wakes every waiter for good (the server is going down).
  void Stop();
  bool Stopped() const;

  // Waits until the worker has nothing left to do (tests).
  void WaitForWorker();

 private:
  struct TCueState {
    std::string Row;
    int Layer = 1;
    std::uint64_t Seq = 0;
    enum { csNone, csLoading, csReady, csFailed } State = csNone;
    std::string Error;
    std::vector<std::string> Warnings;
    int PreviewFrame = 0;  // the page's frame the preview shows
  };
  struct TCueJob {
    TRundownRow Row;
    std::uint64_t Seq;
  };
  struct TRefreshJob {
    TRundownRow Row;
    std::uint64_t Take;
  };
  struct TAiring {
    std::string Row;
    std::uint64_t Take;
  };

  // The template of Page, loaded once per version of its file, for checking fields.
  std::shared_ptr<TServePage> Template(const std::string& Page, std::string& Error);
  // Why Row cannot be in the rundown (its page outside the folder or unreadable, a field the
  // page does not have); empty when it can, with the status to answer in Status.
  std::string RowProblem(const TRundownRow& Row, int& Status);
  // Saves Next as the rundown and makes it current; false (nothing changed) when it cannot be
  // written. Under fEditLock.
  bool Commit(TRundown Next, std::string& Error);
  // After Row changed: a cued copy is cued again, pages on air are made anew. Under fLock.
  void Changed(const TRundownRow& Row);
  TResult CueLocked(const TRundownRow& Row);
  void Bump();
  void Work();
  // Flushes the file to the disk and removes the old versions kept (on the worker).
  void Flush();
  std::string OldVersionName(std::uint64_t N) const;
  void MakePictures();
  void DoCue(TCueJob Job);
  void DoRefresh(int Layer, TRefreshJob Job);
  TJson CueJson() const;

  TOnAirSettings fSettings;
  TFolderGuard fGuard;
  TProgram& fProgram;

  std::mutex fEditLock;       // one edit at a time, from the check to the file (taken before fLock)
  std::atomic<bool> fUnflushed{false};  // the file was replaced and not yet flushed to the disk
  std::uint64_t fVersions = 0;          // old versions kept so far (under fEditLock)
  std::vector<std::string> fOldVersions;  // to be removed by the worker (under fLock)
  mutable std::mutex fLock;  // the rundown, the cue, the jobs; never held while the disk is written
  TRundown fRundown;
  std::uint64_t fRundownRevision = 1;
  TCueState fCue;
  std::unique_ptr<TServePage> fCuePage;
  std::shared_ptr<const std::string> fPreviewPng;
  std::string fLastTaken;
  std::map<int, TAiring> fAiring;  // by layer: what was last taken there and not taken out
  std::optional<TCueJob> fCueJob;
  std::map<int, TRefreshJob> fRefreshJobs;
  std::vector<std::unique_ptr<TServePage>> fGarbage;
  bool fWorking = false;
  bool fQuit = false;
  std::condition_variable fWork;  // the worker's wake-up (with fLock)
  std::condition_variable fIdle;  // the worker went idle (with fLock)
  std::uint64_t fCueSeq = 0;

  std::mutex fTemplateLock;
  struct TTemplate {
    std::filesystem::file_time_type Time;
    std::uintmax_t Size = 0;
    std::shared_ptr<TServePage> Page;
  };
  std::map<std::string, TTemplate> fTemplates;

  // The program's still, made by a thread of its own when asked for.
  std::mutex fPictureLock;
  std::condition_variable fPictureWork;
  std::condition_variable fPictureReady;
  bool fPictureWanted = false;
  std::uint64_t fPictureRounds = 0;  // stills tried
  bool fQuitPictures = false;
  std::shared_ptr<const std::string> fProgramPng;
  std::thread fPictures;

  mutable std::mutex fEventLock;  // never held for long: the playout thread takes it
  mutable std::condition_variable fEvent;
  std::uint64_t fVersion = 1;
  bool fStopped = false;

  std::atomic<std::int64_t> fDropped{0};
  std::thread fWorker;
};

}  // namespace qv::serve
