// One page of a batch on the example page (its text rendered again for the row, the frame
// composed, the PNG written) on one core against the 40 ms a frame of air lasts; a batch of 100
// rows drawn by two jobs against one; and the example page written as a PNG against the same
// pixels written as a TGA.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Ratio.h"
#include "app/qvrender/Batch.h"
#include "batch/CsvTable.h"
#include "video/FrameFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace qv;
using namespace qv::render;

const std::string kPage = std::string(QV_EXAMPLES_DIR) + "/news/news.QV";

fs::path ScratchDir(const char* name) {
  const fs::path dir = fs::temp_directory_path() / ("qvbench-" + std::string(name) + "-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir;
}

// Runs the calling thread (and the threads it starts) on the first core it may use, and puts the
// old set back when it goes.
class TOneCore {
 public:
  TOneCore() {
    pthread_getaffinity_np(pthread_self(), sizeof fOld, &fOld);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int c = 0; c < CPU_SETSIZE; ++c) {
      if (CPU_ISSET(c, &fOld)) {
        CPU_SET(c, &one);
        break;
      }
    }
    pthread_setaffinity_np(pthread_self(), sizeof one, &one);
  }
  ~TOneCore() { pthread_setaffinity_np(pthread_self(), sizeof fOld, &fOld); }

 private:
  cpu_set_t fOld;
};

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// What one page costs the core it runs on: the processor time of the whole process (the page's
// own thread and any it starts), all of it on one core. The machine's other programs stretch
// the wall-clock time of a shared core, not this; BM_BatchPageWall shows that time beside it.
void BatchPage(benchmark::State& state, bool wall) {
  const TOneCore core;
  const fs::path dir = ScratchDir("batchpage");
  TBatchOptions o;
  o.Template = kPage;
  o.Output = (dir / "{name}.png").string();
  o.Frame = 30;
  o.Time = TTimeOfDay{18, 0, 0, 0};
  TOnDemandTextRenderer text;
  TBatchPage page(o, text);
  page.Load(o.Template, 1);
  const std::vector<std::string> header = {"name", "Meta1"};
  const auto columns = ClassifyColumns(header, *page.Sys, {"name"});
  // Two names taken in turn, numbered: the headline's text changes for every page (a text layer
  // keeps the image of the text it showed before, so two texts alone would not be laid out again).
  const std::vector<std::string> names = {"Anna Berg – Mayor of Lund", "Omar Haddad, Economist"};
  std::size_t i = 0;
  for (auto _ : state) {
    const std::vector<std::string> row = {i % 2 == 0 ? "a" : "b", names[i % 2] + " " + std::to_string(i)};
    ++i;
    const double start = ProcessCpuSeconds();
    const auto problems = RenderRow(page, o, columns, row, (dir / (row[0] + ".png")).string());
    if (!problems.empty()) state.SkipWithError(problems[0].c_str());
    if (!wall) state.SetIterationTime(ProcessCpuSeconds() - start);
  }
  fs::remove_all(dir);
}
void BM_BatchPage(benchmark::State& state) { BatchPage(state, false); }
void BM_BatchPageWall(benchmark::State& state) { BatchPage(state, true); }
BENCHMARK(BM_BatchPage)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_BatchPageWall)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: a frame of air, 40 ms by the clock, as measured.
void BM_FrameBudget(benchmark::State& state) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::milliseconds(40);
    std::this_thread::sleep_until(end);
    while (std::chrono::steady_clock::now() < end) {
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}
BENCHMARK(BM_FrameBudget)->Unit(benchmark::kMillisecond)->UseManualTime();

QV_RATIO(batch_page_vs_frame_budget, "BM_BatchPage/manual_time", "BM_FrameBudget/manual_time");

// The example page at frame 30 with a row's values, as a batch composes it, written to a file
// as qvrender writes its frames (encoded, then put in place and flushed to the disk) as PNG or
// TGA, on one core: the time until the file is there (the TGA's 1.7 MB reach the disk, the PNG's
// 90 kB) and the processor time of the writing process.
void WritePage(benchmark::State& state, bool tga, bool wall) {
  const TOneCore core;
  const fs::path dir = ScratchDir(tga ? "pagetga" : "pagepng");
  TBatchOptions o;
  o.Template = kPage;
  o.Frame = 30;
  o.Time = TTimeOfDay{18, 0, 0, 0};
  TOnDemandTextRenderer text;
  TBatchPage page(o, text);
  page.Load(o.Template, 1);
  const std::vector<std::string> header = {"name", "Meta1"};
  const auto columns = ClassifyColumns(header, *page.Sys, {"name"});
  if (!page.Apply(columns, {"a", "Anna Berg – Mayor of Lund"}, o.Frame).empty()) state.SkipWithError("the row failed");
  page.Compose(o.Frame);
  const TmemoryBitmap& frame = *page.Sys->work;
  const std::string file = (dir / (tga ? "page.tga" : "page.png")).string();
  for (auto _ : state) {
    const double cpu = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    WriteFrame(frame, file, tga);
    state.SetIterationTime(wall ? std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()
                                : ProcessCpuSeconds() - cpu);
  }
  state.counters["bytes"] = double(fs::file_size(file));
  fs::remove_all(dir);
}
void BM_WritePagePng(benchmark::State& state) { WritePage(state, false, true); }
void BM_WritePageTga(benchmark::State& state) { WritePage(state, true, true); }
void BM_WritePagePngCpu(benchmark::State& state) { WritePage(state, false, false); }
void BM_WritePageTgaCpu(benchmark::State& state) { WritePage(state, true, false); }
// The disk's flushes vary from one moment to the next: medians of five runs.
BENCHMARK(BM_WritePagePng)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(5);
BENCHMARK(BM_WritePageTga)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(5);
BENCHMARK(BM_WritePagePngCpu)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_WritePageTgaCpu)->Unit(benchmark::kMillisecond)->UseManualTime();

QV_RATIO(png_write_vs_tga_write, "BM_WritePagePng/repeats:5/manual_time", "BM_WritePageTga/repeats:5/manual_time");
QV_RATIO(png_write_vs_tga_write_cpu, "BM_WritePagePngCpu/manual_time", "BM_WritePageTgaCpu/manual_time");

// 100 rows of names on the example page, with the given number of jobs.
void RunHundred(benchmark::State& state, unsigned jobs) {
  const fs::path dir = ScratchDir(jobs == 1 ? "batch1" : "batchn");
  std::ofstream csv(dir / "names.csv");
  csv << "name,Meta1\n";
  for (int i = 0; i < 100; ++i) csv << "p" << i << ",Person number " << i << "\n";
  csv.close();
  TBatchOptions o;
  o.Template = kPage;
  o.Data = (dir / "names.csv").string();
  o.Output = (dir / "out/{name}.png").string();
  o.Frame = 30;
  o.Time = TTimeOfDay{18, 0, 0, 0};
  o.Jobs = jobs;
  for (auto _ : state) {
    if (RunBatch(o) != 0) state.SkipWithError("a row failed");
  }
  fs::remove_all(dir);
}
void BM_BatchHundredTwoJobs(benchmark::State& state) { RunHundred(state, 2); }
void BM_BatchHundredOneJob(benchmark::State& state) { RunHundred(state, 1); }
BENCHMARK(BM_BatchHundredTwoJobs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);
BENCHMARK(BM_BatchHundredOneJob)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

QV_RATIO(batch_parallel_vs_serial, "BM_BatchHundredTwoJobs/iterations:1/repeats:5/real_time", "BM_BatchHundredOneJob/iterations:1/repeats:5/real_time");

}  // namespace
