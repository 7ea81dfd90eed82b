#include "app/qvrender/Playout.h"

#include "base/FrameRate.h"

#include "video/Export.h"
#include "video/FrameConvert.h"
#include "video/Pacer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <vector>

namespace qv::render {

namespace {

std::atomic<bool>* gStopFlag = nullptr;
// Written to by the signal handlers; a write waiting for its consumer also waits for this to
// become readable.
int gWakeRead = -1;
int gWakeWrite = -1;

void OnStopSignal(int) {
  const int saved = errno;
  if (gStopFlag != nullptr) gStopFlag->store(true);
  if (gWakeWrite >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gWakeWrite, &byte, 1);
  }
  errno = saved;
}

// The output: standard output for "-", else a file (or FIFO) made for it. A pipe, FIFO or socket
// is written without blocking, so that a consumer that stops reading leaves the program waiting
// in poll, where a stop signal reaches it, rather than inside write.
class TOutput {
 public:
  TOutput(const std::string& name, const std::atomic<bool>& stop)
      : fName(name == "-" ? "standard output" : name), fStop(stop) {
    if (name == "-") {
      fFd = STDOUT_FILENO;
    } else {
      fFd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fFd < 0) throw std::runtime_error(name + ": cannot create: " + std::strerror(errno));
      fOwned = true;
    }
    struct stat st{};
    if (::fstat(fFd, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) {
      fFlags = ::fcntl(fFd, F_GETFL);
      if (fFlags >= 0 && (fFlags & O_NONBLOCK) == 0) fNonBlocking = ::fcntl(fFd, F_SETFL, fFlags | O_NONBLOCK) == 0;
    }
  }
  ~TOutput() {
    // The pipe is shared with whoever else holds it (a shell): it is left as it was found.
    if (fNonBlocking) ::fcntl(fFd, F_SETFL, fFlags);
    if (fOwned) ::close(fFd);
  }
  TOutput(const TOutput&) = delete;
  TOutput& operator=(const TOutput&) = delete;

  // False when a stop came before every byte went out.
  bool Write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
      if (fStop.load()) return false;
      const ssize_t n = ::write(fFd, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
          pollfd fds[2] = {{fFd, POLLOUT, 0}, {gWakeRead, POLLIN, 0}};
          if (::poll(fds, gWakeRead >= 0 ? 2 : 1, gWakeRead >= 0 ? -1 : 20) < 0 && errno != EINTR)
            throw std::runtime_error(fName + ": cannot wait for the consumer: " + std::strerror(errno));
          continue;
        }
        if (errno == EPIPE) throw std::runtime_error(fName + ": the consumer closed the pipe");
        throw std::runtime_error(fName + ": cannot write: " + std::strerror(errno));
      }
      data += n;
      size -= std::size_t(n);
    }
    return true;
  }

 private:
  std::string fName;
  const std::atomic<bool>& fStop;
  int fFd = -1;
  bool fOwned = false;
  int fFlags = -1;
  bool fNonBlocking = false;
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

void InstallStopSignals(std::atomic<bool>& flag) {
  gStopFlag = &flag;
  if (gWakeRead < 0) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
      gWakeRead = fds[0];
      gWakeWrite = fds[1];
    }
  }
  struct sigaction sa{};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a blocked call returns
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
}

int RunPlayout(const TPlayoutTarget& target, int w, int h, bool interlaced,
               const std::function<const TmemoryBitmap&(std::int64_t)>& frameAt, const std::atomic<bool>& stop,
               const std::function<void(std::int64_t)>& onDropped) {
  const TmemoryBitmap background = video::LoadBackground(target.Background, w, h);
  std::unique_ptr<TY4mWriter> y4m;
  if (target.Stream == TStreamFormat::sfY4m)
    y4m = std::make_unique<TY4mWriter>(w, h, interlaced, background.Empty() ? nullptr : &background);

  TOutput out(target.Output, stop);
  if (y4m && !out.Write(reinterpret_cast<const std::uint8_t*>(y4m->Header().data()), y4m->Header().size())) return 0;

  video::TSteadyPaceClock clock;
  video::TPacer pacer(clock);
  std::int64_t reported = 0;
  auto lastReport = std::chrono::steady_clock::now();
  auto reportDrops = [&](bool now) {
    const std::int64_t dropped = pacer.Dropped();
    if (dropped == reported) return;
    if (onDropped) onDropped(dropped);
    const auto t = std::chrono::steady_clock::now();
    if (!now && t - lastReport < std::chrono::seconds(1)) return;
    std::cerr << "qvrender: dropped " << dropped - reported << " frame" << (dropped - reported == 1 ? "" : "s")
              << " (" << dropped << " in all): the consumer is slower than " << kFramesPerSecond << " frames per second\n";
    reported = dropped;
    lastReport = t;
  };

  while (!stop.load()) {
    if (target.Frames && pacer.Sent() >= *target.Frames) break;
    const std::int64_t n = pacer.Next();
    if (target.Frames && n >= *target.Frames) break;
    if (n > INT32_MAX) break;
    const TmemoryBitmap& frame = frameAt(n);
    bool whole;
    if (y4m) {
      const auto& bytes = y4m->Frame(frame);
      whole = out.Write(bytes.data(), bytes.size());
    } else {
      whole = out.Write(frame.Bits, frame.ByteSize());
    }
    if (!whole) {
      // Stopped while the consumer was not reading: the frames it missed meanwhile are told too.
      pacer.CountMissed();
      break;
    }
    reportDrops(false);
  }
  reportDrops(true);
  return 0;
}

}  // namespace qv::render
