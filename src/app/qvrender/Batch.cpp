#include "app/qvrender/Batch.h"

#include "app/qvrender/Options.h"
#include "app/qvrender/Output.h"
#include "batch/BatchRows.h"
#include "batch/CsvTable.h"
#include "composition/ImageLayers.h"
#include "composition/LayerClasses.h"
#include "composition/QvSystem.h"
#include "composition/RollLayer.h"
#include "project/ProjectFile.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <system_error>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace qv::render {
namespace {

struct TRowResult {
  std::vector<std::string> Problems;
};

}  // namespace

std::vector<std::string> RenderRow(TBatchPage& page, const TBatchOptions& o, const std::vector<TBatchColumn>& columns,
                                   const std::vector<std::string>& row, const std::string& output) {
  const int first = o.Range ? o.From : o.Frame;
  const int last = o.Range ? o.To : o.Frame;
  std::vector<std::string> problems = page.Apply(columns, row, first);
  if (!problems.empty()) {
    page.InRow = false;
    return problems;
  }
  try {
    const std::filesystem::path folder = std::filesystem::path(output).parent_path();
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);  // a failure shows when writing
    for (int f = first;; ++f) {
      page.Compose(f);
      WriteFrame(*page.Sys->work, o.Range ? FormatFramePattern(output, f) : output, o.Tga);
      if (f == last) break;  // last may be INT_MAX
    }
  } catch (const std::exception& e) {
    problems.push_back(e.what());
  }
  problems.insert(problems.end(), page.Problems.begin(), page.Problems.end());
  page.InRow = false;
  return problems;
}

int RunBatch(const TBatchOptions& o) {
  const TCsvTable table = ReadCsvFile(o.Data);
  std::string error;
  const auto pattern = TOutputPattern::Parse(o.Output, error);
  if (!pattern) throw std::runtime_error(error);
  for (const std::string& name : pattern->Columns()) {
    if (std::find(table.Header.begin(), table.Header.end(), name) == table.Header.end()) {
      throw std::runtime_error(o.Data + ": no column \"" + name + "\" for the output name " + o.Output);
    }
  }
  for (std::size_t i = 0; i < table.Header.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (!table.Header[i].empty() && table.Header[i] == table.Header[j]) {
        throw std::runtime_error(o.Data + ": two columns are named \"" + table.Header[i] + "\"");
      }
    }
  }

  // Each job loads its own page on a thread of its own and draws its rows there: a page has its
  // own registry and undo engine, so pages load and draw side by side sharing nothing mutable
  // (the text renderer is the one service they share, and it is made for that). No row starts
  // before every page is loaded, so a template that cannot be read writes nothing.
  TOnDemandTextRenderer text;
  const std::vector<std::string> classes = ProjectObjectClasses(o.Template);
  if (std::any_of(classes.begin(), classes.end(), [](const std::string& c) { return LayerClassDrawsText(c); }))
    text.Start();
  const std::vector<std::size_t> chosen = o.Shard.Rows(table.Rows.size());
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const unsigned jobs = static_cast<unsigned>(std::clamp<std::size_t>(o.Jobs != 0 ? o.Jobs : cores, 1, std::max<std::size_t>(chosen.size(), 1)));
  const unsigned loadThreads = std::max(1u, cores / jobs);

  std::vector<TRowResult> results(chosen.size());
  std::vector<TBatchColumn> columns;  // classified on the first page loaded; the same for every page
  std::atomic<std::size_t> next{0};
  auto work = [&](TBatchPage& page) {
    for (std::size_t k = next++; k < chosen.size(); k = next++) {
      const std::size_t r = chosen[k];
      results[k].Problems = RenderRow(page, o, columns, table.Rows[r].Fields,
                                      pattern->Expand(table.Header, table.Rows[r].Fields, o.Range));
    }
  };

  enum class TPhase { Loading, Drawing, Stopped };
  struct TJob {
    std::unique_ptr<TBatchPage> Page;
    std::string Error;
  };
  std::vector<TJob> jobState(jobs);
  std::atomic<int> templateProblems{0};
  std::mutex lock;
  std::condition_variable changed;
  unsigned loaded = 0;
  bool classified = false;
  TPhase phase = TPhase::Loading;
  auto load = [&](TJob& job) {
    try {
      job.Page = std::make_unique<TBatchPage>(o, text);
      job.Page->Load(o.Template, loadThreads);
      templateProblems += job.Page->TemplateProblems;
    } catch (const std::exception& e) {
      job.Error = e.what();
      job.Page.reset();
    }
    std::lock_guard<std::mutex> hold(lock);
    if (job.Page && !classified) {
      try {
        columns = ClassifyColumns(table.Header, *job.Page->Sys, pattern->Columns());
        classified = true;
      } catch (const std::exception& e) {
        job.Error = e.what();
        job.Page.reset();
      }
    }
    ++loaded;
    changed.notify_all();
  };
  auto run = [&](TJob& job) {
    load(job);
    {
      std::unique_lock<std::mutex> hold(lock);
      changed.wait(hold, [&] { return phase != TPhase::Loading; });
      if (phase == TPhase::Stopped || !job.Page) return;
    }
    work(*job.Page);
    job.Page.reset();  // freed by the thread that used it
  };
  std::vector<std::thread> threads;
  for (TJob& job : jobState) {
    try {
      threads.emplace_back(run, std::ref(job));
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones started share the rows
    }
  }
  if (threads.empty()) load(jobState[0]);  // not even one thread: the job runs here

  // Every row's name, over the whole table, so that shards on other machines agree: two rows
  // that would write the same file stop the run before anything is drawn.
  std::vector<std::string> names(table.Rows.size());
  for (std::size_t r = 0; r < table.Rows.size(); ++r) {
    if (table.Rows[r].Fields.size() != table.Header.size()) continue;  // reported as the row's fault
    const std::string name = pattern->Expand(table.Header, table.Rows[r].Fields, o.Range);
    names[r] = o.Range ? FormatFramePattern(name, o.From) : name;
  }
  std::string failure;
  {
    std::unique_lock<std::mutex> hold(lock);
    const unsigned started = threads.empty() ? 1u : static_cast<unsigned>(threads.size());
    changed.wait(hold, [&] { return loaded == started; });
    for (unsigned j = 0; j < started && failure.empty(); ++j) failure = jobState[j].Error;
    if (const auto dup = FirstDuplicate(names); failure.empty() && dup) {
      failure = o.Data + ": rows " + std::to_string(dup->first + 1) + " (line " +
                std::to_string(table.Rows[dup->first].Line) + ") and " + std::to_string(dup->second + 1) +
                " (line " + std::to_string(table.Rows[dup->second].Line) + ") would both write " +
                names[dup->first];
    }
    phase = failure.empty() ? TPhase::Drawing : TPhase::Stopped;
  }
  changed.notify_all();
  if (threads.empty() && failure.empty()) {
    work(*jobState[0].Page);
    jobState[0].Page.reset();
  }
  for (std::thread& t : threads) t.join();
  if (!failure.empty()) throw std::runtime_error(failure);

  std::size_t failed = 0;
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    if (results[k].Problems.empty()) continue;
    ++failed;
    const std::size_t r = chosen[k];
    for (const std::string& p : results[k].Problems) {
      std::cerr << "qvrender: " << o.Data << ": row " << r + 1 << " (line " << table.Rows[r].Line << "): " << p
                << "\n";
    }
  }
  if (failed != 0) {
    std::cerr << "qvrender: " << failed << " of " << chosen.size() << " rows failed and were skipped\n";
    return 1;
  }
  const int status = StatusWithMedia(0, templateProblems.load(), o.AllowMissingMedia);
  if (status == kMissingMediaStatus) std::cerr << kMissingMediaLine << "\n";
  return status;
}

int RunBatch(const std::vector<std::string>& args) {
  std::string error;
  const auto options = ParseBatchOptions(args, error);
  if (!options) {
    std::cerr << "qvrender: " << error << "\n" << UsageText();
    return 2;
  }
  try {
    return RunBatch(*options);
  } catch (const std::exception& e) {
    std::cerr << "qvrender: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace qv::render
