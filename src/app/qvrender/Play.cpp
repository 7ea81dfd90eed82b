#include "app/qvrender/Play.h"
#include "base/FrameRate.h"

#include "video/DataFile.h"
#include "video/Export.h"
#include "video/FrameConvert.h"
#include "video/Pacer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv::render {

namespace {

// The output: standard output for "-", else a file (or FIFO) made for it.
class TOutput {
 public:
  explicit TOutput(const std::string& name) : fName(name == "-" ? "standard output" : name) {
    if (name == "-") {
      fFd = STDOUT_FILENO;
    } else {
      fFd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fFd < 0) throw std::runtime_error(name + ": cannot create: " + std::strerror(errno));
      fOwned = true;
    }
  }
  ~TOutput() {
    if (fOwned) ::close(fFd);
  }
  TOutput(const TOutput&) = delete;
  TOutput& operator=(const TOutput&) = delete;

  void Write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
      const ssize_t n = ::write(fFd, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EPIPE) throw std::runtime_error(fName + ": the consumer closed the pipe");
        throw std::runtime_error(fName + ": cannot write: " + std::strerror(errno));
      }
      data += n;
      size -= std::size_t(n);
    }
  }

 private:
  std::string fName;
  int fFd = -1;
  bool fOwned = false;
};

// YUV4MPEG frames (4:4:4, studio range, the page's matrix) of the page over a background.
class TY4mWriter {
 public:
  TY4mWriter(int w, int h, bool interlaced, const TmemoryBitmap* background) : fPlanes(w, h, background) {
    fHeader = "YUV4MPEG2 W" + std::to_string(w) + " H" + std::to_string(h) + " F" + std::to_string(kFramesPerSecond) + ":1 " +
              (interlaced ? "It" : "Ip") + " A1:1 C444 XYSCSS=444\n";
    fBytes.resize(sizeof kFrame - 1 + std::size_t(w) * h * 3);
    std::memcpy(fBytes.data(), kFrame, sizeof kFrame - 1);
  }

  const std::string& Header() const { return fHeader; }

  const std::vector<std::uint8_t>& Frame(const TmemoryBitmap& bmp) {
    fPlanes.Convert(bmp, fBytes.data() + sizeof kFrame - 1);
    return fBytes;
  }

 private:
  static constexpr char kFrame[] = "FRAME\n";
  video::TYuvPlanes fPlanes;
  std::string fHeader;
  std::vector<std::uint8_t> fBytes;
};

}  // namespace

int Play(const TOptions& o, video::TFrameRenderer& frames, const std::atomic<bool>& stop) {
  TQVSystem& sys = frames.System();
  const int w = sys.work->Width();
  const int h = sys.work->Height();
  const TmemoryBitmap background = video::LoadBackground(o.Background, w, h);
  std::unique_ptr<TY4mWriter> y4m;
  if (o.Stream == TStreamFormat::sfY4m)
    y4m = std::make_unique<TY4mWriter>(w, h, frames.HasFieldLayers(), background.Empty() ? nullptr : &background);
  std::optional<video::TDataFileWatcher> data;
  if (!o.DataFile.empty()) data.emplace(o.DataFile);

  TOutput out(o.Output);
  if (y4m) out.Write(reinterpret_cast<const std::uint8_t*>(y4m->Header().data()), y4m->Header().size());

  video::TSteadyPaceClock clock;
  video::TPacer pacer(clock);
  std::int64_t reported = 0;
  auto lastReport = std::chrono::steady_clock::now();
  auto reportDrops = [&](bool now) {
    const std::int64_t dropped = pacer.Dropped();
    if (dropped == reported) return;
    const auto t = std::chrono::steady_clock::now();
    if (!now && t - lastReport < std::chrono::seconds(1)) return;
    std::cerr << "qvrender: dropped " << dropped - reported << " frame" << (dropped - reported == 1 ? "" : "s")
              << " (" << dropped << " in all): the consumer is slower than " << kFramesPerSecond << " frames per second\n";
    reported = dropped;
    lastReport = t;
  };

  while (!stop.load()) {
    if (o.Frames && pacer.Sent() >= *o.Frames) break;
    const std::int64_t n = pacer.Next();
    if (o.Frames && n >= *o.Frames) break;
    if (n > INT32_MAX) break;
    if (data) {
      if (auto values = data->Poll()) {
        for (int i = 0; i < 4; ++i) {
          if (values->Meta[std::size_t(i)]) sys.Meta(i) = *values->Meta[std::size_t(i)];
          if (values->NextMeta[std::size_t(i)]) sys.NextMeta(i) = *values->NextMeta[std::size_t(i)];
        }
      }
    }
    const TmemoryBitmap& frame = frames.Compose(static_cast<int>(n));
    if (y4m) {
      const auto& bytes = y4m->Frame(frame);
      out.Write(bytes.data(), bytes.size());
    } else {
      out.Write(frame.Bits, frame.ByteSize());
    }
    reportDrops(false);
  }
  reportDrops(true);
  return 0;
}

}  // namespace qv::render
