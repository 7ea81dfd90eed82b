#include "serve/OnAir.h"

#include "composition/RollLayer.h"
#include "project/TextFile.h"
#include "raster/StreamBitmaps.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <system_error>

namespace qv::serve {

namespace fs = std::filesystem;

namespace {

// This thread gives way to the others of the process (the playout, the requests).
void LowerThisThreadsPriority() { ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10); }

std::shared_ptr<const std::string> Png(const TmemoryBitmap& picture) {
  const std::vector<std::uint8_t> bytes = TStreamedBitmap::StraightAlphaPng(picture);
  return std::make_shared<const std::string>(bytes.begin(), bytes.end());
}

}  // namespace

TOnAir::TOnAir(TOnAirSettings settings, TRundown rundown, TProgram& program)
    : fSettings(std::move(settings)),
      fGuard(fSettings.RundownFile.has_parent_path() ? fSettings.RundownFile.parent_path() : fs::path(".")),
      fProgram(program),
      fRundown(std::move(rundown)) {
  // Old versions a server killed before its worker removed them.
  if (fSettings.SaveFile) {
    const std::string prefix = "." + fSettings.RundownFile.filename().string() + ".old-";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fGuard.Folder(), ec)) {
      if (entry.path().filename().string().rfind(prefix, 0) == 0) fs::remove(entry.path(), ec);
    }
  }
  fProgram.OnChanged = [this] { Bump(); };
  fWorker = std::thread([this] { Work(); });
  fPictures = std::thread([this] { MakePictures(); });
}

TOnAir::~TOnAir() {
  Stop();
  {
    std::lock_guard<std::mutex> hold(fLock);
    fQuit = true;
  }
  fWork.notify_all();
  fWorker.join();
  {
    std::lock_guard<std::mutex> hold(fPictureLock);
    fQuitPictures = true;
  }
  fPictureWork.notify_all();
  fPictureReady.notify_all();
  fPictures.join();
  fProgram.OnChanged = nullptr;
}

TOnAir::TShape TOnAir::ProgramShape(const TRundown& rundown, const TFolderGuard& guard) {
  TShape shape;
  bool sized = false;
  std::vector<std::string> seen;
  for (const TRundownRow& row : rundown.Rows) {
    std::string error;
    const auto path = guard.Resolve(row.Page, error);
    if (!path || std::find(seen.begin(), seen.end(), path->string()) != seen.end()) continue;
    seen.push_back(path->string());
    try {
      TServePage page{TPageTools{}};
      page.Load(*path, {}, guard);
      if (!sized) {
        shape.Width = page.Sys().fwidth;
        shape.Height = page.Sys().fheight;
        sized = true;
      }
      for (const auto& layer : page.Sys().Layers)
        shape.Interlaced = shape.Interlaced || dynamic_cast<const TRollLayer*>(layer.get()) != nullptr;
    } catch (const std::exception&) {
      // A template that cannot be read says nothing; cueing it will say what is wrong.
    }
  }
  return shape;
}

// ---- changes ----------------------------------------------------------------------------------

void TOnAir::Bump() {
  {
    std::lock_guard<std::mutex> hold(fEventLock);
    ++fVersion;
  }
  fEvent.notify_all();
}

std::uint64_t TOnAir::Version() const {
  std::lock_guard<std::mutex> hold(fEventLock);
  return fVersion;
}

std::uint64_t TOnAir::WaitForChange(std::uint64_t seen, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> hold(fEventLock);
  fEvent.wait_for(hold, timeout, [&] { return fVersion != seen || fStopped; });
  return fVersion;
}

void TOnAir::Stop() {
  {
    std::lock_guard<std::mutex> hold(fEventLock);
    fStopped = true;
  }
  fEvent.notify_all();
}

bool TOnAir::Stopped() const {
  std::lock_guard<std::mutex> hold(fEventLock);
  return fStopped;
}

// ---- the rundown ------------------------------------------------------------------------------

std::shared_ptr<TServePage> TOnAir::Template(const std::string& page, std::string& error) {
  const auto path = fGuard.Resolve(page, error);
  if (!path) return nullptr;
  std::error_code ec;
  const auto time = fs::last_write_time(*path, ec);
  const auto size = ec ? 0 : fs::file_size(*path, ec);
  if (ec) {
    error = page + ": cannot be read: " + ec.message();
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(fTemplateLock);
  TTemplate& t = fTemplates[path->string()];
  if (t.Page && t.Time == time && t.Size == size) return t.Page;
  // Only the page's layers and properties are looked at: no text is drawn.
  auto loaded = std::make_shared<TServePage>(TPageTools{});
  try {
    loaded->Load(*path, {}, fGuard);
  } catch (const std::exception& e) {
    error = page + ": " + e.what();
    fTemplates.erase(path->string());
    return nullptr;
  }
  t = {time, size, loaded};
  return loaded;
}

std::string TOnAir::RowProblem(const TRundownRow& row, int& status) {
  std::string error;
  if (!fGuard.Resolve(row.Page, error)) {
    status = 403;
    return "\"page\": " + error;
  }
  if (const std::string p = PageNameProblem(row.Page); !p.empty()) {
    status = 400;
    return "\"page\": " + p;
  }
  const std::shared_ptr<TServePage> page = Template(row.Page, error);
  if (!page) {
    status = 422;
    return error;
  }
  for (const auto& [name, value] : row.Fields) {
    bool outside = false;
    if (std::string p = FieldProblem(page->Sys(), name, value, fGuard, &outside); !p.empty()) {
      status = outside ? 403 : 422;
      return p;
    }
  }
  return {};
}

bool TOnAir::Commit(TRundown next, std::string& error) {
  if (fSettings.SaveFile) {
    const std::string file = fSettings.RundownFile.string();
    // The old version keeps a name of its own until the worker removes it: freeing its blocks
    // (a discard on some disks) then happens there and not while a client waits.
    const std::string old = OldVersionName(++fVersions);
    const bool kept = ::link(file.c_str(), old.c_str()) == 0;
    try {
      // In place for every reader now; on the disk a moment later (the worker flushes it).
      WriteRundownFile(file, next, /*Flush=*/false);
      fUnflushed = true;
    } catch (const std::exception& e) {
      if (kept) ::unlink(old.c_str());
      error = e.what();
      return false;
    }
    if (kept) {
      std::lock_guard<std::mutex> hold(fLock);
      fOldVersions.push_back(old);
    }
  }
  std::lock_guard<std::mutex> hold(fLock);
  fRundown = std::move(next);
  ++fRundownRevision;
  Bump();
  return true;
}

void TOnAir::Changed(const TRundownRow& row) {
  if (fCue.State != TCueState::csNone && fCue.Row == row.Id) CueLocked(row);
  for (const auto& [layer, airing] : fAiring) {
    if (airing.Row == row.Id) fRefreshJobs[layer] = {row, airing.Take};
  }
  fWork.notify_all();
}

TJson TOnAir::Rundown() const {
  std::lock_guard<std::mutex> hold(fLock);
  TJson r = RundownToJson(fRundown);
  r["revision"] = fRundownRevision;
  return r;
}

TResult TOnAir::Row(const std::string& id) const {
  std::lock_guard<std::mutex> hold(fLock);
  const TRundownRow* row = fRundown.Find(id);
  if (row == nullptr) return TResult::Error(404, "no row \"" + id + "\"");
  return {200, RowToJson(*row)};
}

TResult TOnAir::AddRow(const TJson& body) {
  if (!body.is_object()) return TResult::Error(400, "the body is a JSON object: a row");
  TJson rowJson = body;
  std::optional<std::int64_t> index;
  if (const auto it = rowJson.find("index"); it != rowJson.end()) {
    if (!it->is_number_integer()) return TResult::Error(400, "\"index\" is a whole number");
    index = it->get<std::int64_t>();
    rowJson.erase("index");
  }
  std::string error;
  auto row = RowFromJson(rowJson, true, error);
  if (!row) return TResult::Error(400, error);
  // One edit at a time, from the rundown it was checked against to the file and back.
  std::lock_guard<std::mutex> editing(fEditLock);
  int status = 0;
  if (std::string p = RowProblem(*row, status); !p.empty()) return TResult::Error(status, p);
  TRundown next;
  {
    std::lock_guard<std::mutex> hold(fLock);
    next = fRundown;
  }
  if (index && (*index < 0 || *index > static_cast<std::int64_t>(next.Rows.size())))
    return TResult::Error(400, "\"index\" is from 0 to " + std::to_string(next.Rows.size()));
  if (row->Id.empty()) row->Id = FreeRowId(next);
  if (next.Find(row->Id) != nullptr) return TResult::Error(409, "a row has the id \"" + row->Id + "\" already");
  next.Rows.insert(next.Rows.begin() + (index ? *index : static_cast<std::int64_t>(next.Rows.size())), *row);
  if (!Commit(std::move(next), error)) return TResult::Error(500, error);
  return {201, RowToJson(*row)};
}

TResult TOnAir::EditRow(const std::string& id, const TJson& body) {
  if (!body.is_object()) return TResult::Error(400, "the body is a JSON object of \"page\", \"layer\" and \"fields\"");
  std::lock_guard<std::mutex> editing(fEditLock);
  TRundown next;
  {
    std::lock_guard<std::mutex> hold(fLock);
    next = fRundown;
  }
  TRundownRow* row = next.Find(id);
  if (row == nullptr) return TResult::Error(404, "no row \"" + id + "\"");
  TRundownRow edited = *row;
  for (const auto& [key, value] : body.items()) {
    if (key == "page") {
      if (!value.is_string()) return TResult::Error(400, "\"page\" is a string");
      edited.Page = value.get<std::string>();
    } else if (key == "layer") {
      if (!value.is_number_integer() || value.get<std::int64_t>() < 1 || value.get<std::int64_t>() > kMaxLayer)
        return TResult::Error(400, "\"layer\" is a whole number from 1 to " + std::to_string(kMaxLayer));
      edited.Layer = static_cast<int>(value.get<std::int64_t>());
    } else if (key == "fields") {
      if (!value.is_object()) return TResult::Error(400, "\"fields\" is an object of names and texts (null removes)");
      for (const auto& item : value.items()) {
        const std::string& name = item.key();
        const TJson& text = item.value();
        if (name.empty()) return TResult::Error(400, "a field has a name");
        const auto at = std::find_if(edited.Fields.begin(), edited.Fields.end(), [&](const auto& f) { return f.first == name; });
        if (text.is_null()) {
          if (at != edited.Fields.end()) edited.Fields.erase(at);
        } else if (text.is_string()) {
          if (at != edited.Fields.end()) {
            at->second = text.get<std::string>();
          } else {
            edited.Fields.emplace_back(name, text.get<std::string>());
          }
        } else {
          return TResult::Error(400, "field \"" + name + "\": a value is a string (or null to remove the field)");
        }
      }
    } else if (key == "id") {
      return TResult::Error(400, "a row's \"id\" does not change");
    } else {
      return TResult::Error(400, "no member \"" + key + "\" to change (page, layer, fields)");
    }
  }
  int status = 0;
  if (std::string p = RowProblem(edited, status); !p.empty()) return TResult::Error(status, p);
  if (edited == *row) return {200, RowToJson(edited)};
  *row = edited;
  std::string error;
  if (!Commit(std::move(next), error)) return TResult::Error(500, error);
  std::lock_guard<std::mutex> hold(fLock);
  Changed(edited);
  return {200, RowToJson(edited)};
}

TResult TOnAir::DeleteRow(const std::string& id) {
  std::lock_guard<std::mutex> editing(fEditLock);
  TRundown next;
  {
    std::lock_guard<std::mutex> hold(fLock);
    next = fRundown;
  }
  const int at = next.IndexOf(id);
  if (at < 0) return TResult::Error(404, "no row \"" + id + "\"");
  next.Rows.erase(next.Rows.begin() + at);
  std::string error;
  if (!Commit(std::move(next), error)) return TResult::Error(500, error);
  return {200, TJson{{"deleted", id}}};
}

// ---- on air -----------------------------------------------------------------------------------

TResult TOnAir::CueLocked(const TRundownRow& row) {
  std::string error;
  if (!fGuard.Resolve(row.Page, error)) return TResult::Error(403, "\"page\": " + error);
  fCue = {row.Id, row.Layer, ++fCueSeq, TCueState::csLoading, {}, {}};
  fCueJob = TCueJob{row, fCue.Seq};
  if (fCuePage) fGarbage.push_back(std::move(fCuePage));
  fPreviewPng.reset();
  fWork.notify_all();
  Bump();
  return {202, CueJson()};
}

TResult TOnAir::Cue(const std::string& id) {
  std::lock_guard<std::mutex> hold(fLock);
  const TRundownRow* row = fRundown.Find(id);
  if (row == nullptr) return TResult::Error(404, "no row \"" + id + "\"");
  return CueLocked(*row);
}

TResult TOnAir::Next() {
  std::lock_guard<std::mutex> hold(fLock);
  if (fRundown.Rows.empty()) return TResult::Error(409, "the rundown has no rows");
  int from = -1;
  if (fCue.State != TCueState::csNone) from = fRundown.IndexOf(fCue.Row);
  if (from < 0 && !fLastTaken.empty()) from = fRundown.IndexOf(fLastTaken);
  const std::size_t next = static_cast<std::size_t>(from + 1);
  if (next >= fRundown.Rows.size()) return TResult::Error(409, "no row after \"" + fRundown.Rows.back().Id + "\"");
  return CueLocked(fRundown.Rows[next]);
}

TResult TOnAir::Take() {
  std::lock_guard<std::mutex> hold(fLock);
  switch (fCue.State) {
    case TCueState::csNone: return TResult::Error(409, "nothing is cued");
    case TCueState::csLoading: return TResult::Error(409, "\"" + fCue.Row + "\" is still being cued");
    case TCueState::csFailed: return TResult::Error(409, "\"" + fCue.Row + "\" could not be cued: " + fCue.Error);
    case TCueState::csReady: break;
  }
  const std::uint64_t take = fProgram.Take(fCue.Layer, fCue.Row, std::move(fCuePage));
  fAiring[fCue.Layer] = {fCue.Row, take};
  fLastTaken = fCue.Row;
  TJson body{{"layer", fCue.Layer}, {"row", fCue.Row}, {"take", take}};
  fCue = {};
  fPreviewPng.reset();
  Bump();
  return {200, std::move(body)};
}

TResult TOnAir::TakeOut(int layer) {
  if (layer < 1 || layer > kMaxLayer) return TResult::Error(400, "\"layer\" is a whole number from 1 to " + std::to_string(kMaxLayer));
  std::lock_guard<std::mutex> hold(fLock);
  bool showing = fAiring.count(layer) != 0;
  for (const TOnAirLayer& l : fProgram.State()) showing = showing || (l.Layer == layer && !l.TakingOut);
  if (!showing) return TResult::Error(409, "layer " + std::to_string(layer) + " shows nothing to take out");
  fProgram.TakeOut(layer);
  fAiring.erase(layer);
  fRefreshJobs.erase(layer);
  return {200, TJson{{"layer", layer}}};
}

TJson TOnAir::CueJson() const {
  static const char* const kStates[] = {"none", "loading", "ready", "failed"};
  TJson cue{{"state", kStates[fCue.State]}};
  if (fCue.State == TCueState::csNone) return cue;
  cue["row"] = fCue.Row;
  cue["layer"] = fCue.Layer;
  cue["seq"] = fCue.Seq;
  if (fCue.State == TCueState::csReady) cue["preview"] = fCue.PreviewFrame;
  if (!fCue.Error.empty()) cue["error"] = fCue.Error;
  if (!fCue.Warnings.empty()) cue["warnings"] = fCue.Warnings;
  return cue;
}

TJson TOnAir::State() const {
  TJson layers = TJson::array();
  for (const TOnAirLayer& l : fProgram.State()) {
    layers.push_back({{"layer", l.Layer}, {"row", l.Row}, {"take", l.Take}, {"since", l.Since},
                      {"state", l.TakingOut ? "taking out" : "on air"}});
  }
  std::lock_guard<std::mutex> hold(fLock);
  return TJson{{"frame", fProgram.LastFrame()}, {"dropped", fDropped.load()}, {"rundown", fRundownRevision},
               {"cue", CueJson()}, {"layers", std::move(layers)}};
}

std::shared_ptr<const std::string> TOnAir::PreviewPng() const {
  std::lock_guard<std::mutex> hold(fLock);
  return fPreviewPng;
}

std::shared_ptr<const std::string> TOnAir::ProgramPng() {
  std::unique_lock<std::mutex> hold(fPictureLock);
  fPictureWanted = true;
  fPictureWork.notify_all();
  // Only the first still is waited for; later ones answer with the last made (at most about
  // 100 ms old) while the next is made.
  if (!fProgramPng) {
    const std::uint64_t round = fPictureRounds;
    fPictureReady.wait_for(hold, std::chrono::seconds(2), [&] { return fPictureRounds != round || fQuitPictures; });
  }
  return fProgramPng;
}

void TOnAir::MakePictures() {
  LowerThisThreadsPriority();
  std::unique_lock<std::mutex> hold(fPictureLock);
  for (;;) {
    fPictureWork.wait(hold, [&] { return fPictureWanted || fQuitPictures; });
    if (fQuitPictures) return;
    fPictureWanted = false;
    hold.unlock();
    std::vector<std::uint8_t> bgra;
    std::int64_t frame = -1;
    std::shared_ptr<const std::string> png;
    if (fProgram.CopyLastPicture(bgra, &frame)) {
      const TmemoryBitmap view(fProgram.Width(), fProgram.Height(), bgra.data());
      png = Png(view);
    }
    hold.lock();
    if (png) fProgramPng = std::move(png);
    ++fPictureRounds;
    fPictureReady.notify_all();
    // Ten stills a second at most, however many clients ask.
    hold.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    hold.lock();
  }
}

// ---- the worker -------------------------------------------------------------------------------

void TOnAir::WaitForWorker() {
  std::unique_lock<std::mutex> hold(fLock);
  fIdle.wait(hold, [&] { return !fWorking && !fCueJob && fRefreshJobs.empty(); });
}

void TOnAir::Work() {
  // Cueing takes what the playout leaves: the program's frames come first on a busy machine.
  LowerThisThreadsPriority();
  for (;;) {
    std::optional<TCueJob> cue;
    std::map<int, TRefreshJob> refresh;
    std::vector<std::unique_ptr<TServePage>> garbage;
    {
      std::unique_lock<std::mutex> hold(fLock);
      // Woken for work; otherwise every 50 ms for the pages the program let go of.
      fWork.wait_for(hold, std::chrono::milliseconds(50),
                     [&] { return fQuit || fCueJob || !fRefreshJobs.empty() || !fGarbage.empty(); });
      if (fQuit) {
        garbage.swap(fGarbage);
        garbage.push_back(std::move(fCuePage));
        break;
      }
      cue.swap(fCueJob);
      refresh.swap(fRefreshJobs);
      garbage.swap(fGarbage);
      fWorking = true;
    }
    garbage.clear();
    fProgram.Released().clear();
    Flush();
    if (cue) DoCue(std::move(*cue));
    for (auto& [layer, job] : refresh) DoRefresh(layer, std::move(job));
    std::lock_guard<std::mutex> hold(fLock);
    fWorking = false;
    fIdle.notify_all();
  }
  fProgram.Released().clear();
  Flush();
}

std::string TOnAir::OldVersionName(std::uint64_t n) const {
  const fs::path& file = fSettings.RundownFile;
  return (file.parent_path() / ("." + file.filename().string() + ".old-" + std::to_string(n))).string();
}

void TOnAir::Flush() {
  if (fUnflushed.exchange(false)) SyncFile(fSettings.RundownFile.string());
  std::vector<std::string> old;
  {
    std::lock_guard<std::mutex> hold(fLock);
    old.swap(fOldVersions);
  }
  for (const std::string& name : old) ::unlink(name.c_str());
}

void TOnAir::DoCue(TCueJob job) {
  auto page = std::make_unique<TServePage>(fSettings.Tools);
  std::shared_ptr<const std::string> png;
  std::string error;
  int previewFrame = 0;
  try {
    const auto path = fGuard.Resolve(job.Row.Page, error);
    if (!path) throw std::runtime_error("\"page\": " + error);
    page->Load(*path, job.Row.Fields, fGuard);
    const TQVSystem& sys = page->Sys();
    if (sys.fwidth != fProgram.Width() || sys.fheight != fProgram.Height()) {
      throw std::runtime_error(job.Row.Page + " is " + std::to_string(sys.fwidth) + " x " + std::to_string(sys.fheight) +
                               ", the program " + std::to_string(fProgram.Width()) + " x " +
                               std::to_string(fProgram.Height()));
    }
    previewFrame = page->PreviewFrame();
    png = Png(page->Preview());
  } catch (const std::exception& e) {
    error = e.what();
    png.reset();
  }
  std::unique_ptr<TServePage> old;
  {
    std::lock_guard<std::mutex> hold(fLock);
    if (job.Seq != fCue.Seq) {
      old = std::move(page);  // cued again meanwhile: this one is not wanted
    } else if (png) {
      fCue.State = TCueState::csReady;
      fCue.Warnings = page->Warnings();
      fCue.PreviewFrame = previewFrame;
      old = std::move(fCuePage);
      fCuePage = std::move(page);
      fPreviewPng = std::move(png);
      Bump();
    } else {
      fCue.State = TCueState::csFailed;
      fCue.Error = error;
      old = std::move(page);
      Bump();
    }
  }
}

void TOnAir::DoRefresh(int layer, TRefreshJob job) {
  auto page = std::make_unique<TServePage>(fSettings.Tools);
  try {
    std::string error;
    const auto path = fGuard.Resolve(job.Row.Page, error);
    if (!path) throw std::runtime_error("\"page\": " + error);
    page->Load(*path, job.Row.Fields, fGuard);
  } catch (const std::exception& e) {
    // The edit was checked against the template; what fails here (the template changed on the
    // disk since) leaves the page on air as it was.
    if (fSettings.Report)
      fSettings.Report("row \"" + job.Row.Id + "\" on layer " + std::to_string(layer) + " keeps its page: " + e.what());
    return;
  }
  // The program moves the page on from here to where the layer stands when it takes it.
  const int frame = fProgram.PageFrame(job.Take);
  if (frame > 0) page->AdvanceTo(frame);
  fProgram.Replace(layer, job.Take, std::move(page));
}

}  // namespace qv::serve
