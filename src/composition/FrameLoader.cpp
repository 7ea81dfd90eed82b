#include "composition/FrameLoader.h"

#include "composition/NaturalOrder.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>

namespace qv {

namespace fs = std::filesystem;

namespace {

// kPremul[a][c] = round(c * a / 255). 2 * c * a is even and 255 * (2k + 1) odd, so the quotient
// is never halfway and (2ca + 255) div 510 is the nearest integer.
struct PremulTable {
  std::array<std::array<std::uint8_t, 256>, 256> t{};
  PremulTable() {
    for (int a = 0; a < 256; ++a) {
      for (int c = 0; c < 256; ++c) t[a][c] = static_cast<std::uint8_t>((2 * c * a + 255) / 510);
    }
  }
};

const PremulTable& Table() {
  static const PremulTable table;
  return table;
}

}  // namespace

void Premultiply(TmemoryBitmap& bmp) {
  if (bmp.Empty()) return;
  const auto& t = Table().t;
  std::uint8_t* p = bmp.Bits;
  const std::size_t n = static_cast<std::size_t>(bmp.Width()) * static_cast<std::size_t>(bmp.Height());
  for (std::size_t i = 0; i < n; ++i, p += 4) {
    const auto& row = t[p[3]];
    p[0] = row[p[0]];
    p[1] = row[p[1]];
    p[2] = row[p[2]];
  }
}

std::unique_ptr<TStreamedBitmap> LoadPremultiplied(const std::string& fileName) {
  auto bmp = std::make_unique<TStreamedBitmap>();
  bmp->LoadFromFile(fileName, false, true);
  Premultiply(*bmp);
  return bmp;
}

std::vector<std::string> ListSequenceFiles(const std::string& folder) {
  std::vector<std::string> names;
  if (folder.empty()) return names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return names;
  for (const fs::directory_entry& e : it) {
    const std::string name = e.path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code fec;
    if (!e.is_regular_file(fec)) continue;
    names.push_back(name);
  }
  SortNatural(names);
  std::vector<std::string> files;
  files.reserve(names.size());
  for (const auto& n : names) files.push_back((fs::path(folder) / n).string());
  return files;
}

std::vector<TLoadedFrame> LoadFrames(const std::vector<std::string>& files, unsigned threads) {
  return LoadFrames(files, threads, TLoadProgress());
}

std::vector<TLoadedFrame> LoadFrames(const std::vector<std::string>& files, unsigned threads,
                                     const TLoadProgress& progress) {
  std::vector<TLoadedFrame> frames(files.size());
  if (files.empty()) return frames;
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, files.size()));

  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> done{0};
  std::mutex doneMutex;
  std::condition_variable doneChanged;
  auto work = [&] {
    for (;;) {
      const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
      if (i >= files.size()) return;
      try {
        frames[i].Bitmap = LoadPremultiplied(files[i]);
      } catch (const std::exception& e) {
        frames[i].Bitmap.reset();
        frames[i].Error = e.what();
      } catch (...) {
        frames[i].Bitmap.reset();
        frames[i].Error = files[i] + ": cannot be read";
      }
      if (progress) {
        {
          std::lock_guard lock(doneMutex);
          done.fetch_add(1, std::memory_order_release);
        }
        doneChanged.notify_one();
      }
    }
  };
  if (progress) {
    std::vector<std::thread> pool;
    pool.reserve(threads);
    try {
      for (unsigned t = 0; t < threads; ++t) pool.emplace_back(work);
    } catch (...) {
      // No more threads to be had: the ones started share the work.
    }
    if (pool.empty()) {
      work();
    } else {
      std::unique_lock lock(doneMutex);
      while (done.load(std::memory_order_acquire) < files.size()) {
        doneChanged.wait_for(lock, std::chrono::milliseconds(30));
        const std::size_t n = done.load(std::memory_order_acquire);
        lock.unlock();
        progress(n, files.size());
        lock.lock();
      }
    }
    for (auto& t : pool) t.join();
    progress(files.size(), files.size());
    return frames;
  }
  if (threads == 1) {
    work();
    return frames;
  }
  std::vector<std::thread> pool;
  pool.reserve(threads - 1);
  try {
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
  } catch (...) {
    // No more threads to be had: the ones started and this one share the work.
  }
  work();
  for (auto& t : pool) t.join();
  return frames;
}

}  // namespace qv
