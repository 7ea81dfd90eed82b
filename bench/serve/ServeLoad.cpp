// Load on qvrender serve while it plays (bench/serve-load.sh starts it): requests at a fixed rate
// from four clients, each sent at its own time whatever the answers before it took (a late
// answer delays nobody's clock, so queueing shows in the figures), a mix of reads (the state, the
// rundown, a row, the program picture), field edits (saved to the file) and cues (a page made and
// previewed by the worker); meanwhile the program's frames are read from the FIFO as a consumer
// would. Then the take latency: a marker page (an opaque magenta square at the top left) is cued
// and taken again and again on layer 2, and the frames are counted from the request to the first
// frame that shows it.
//   qv_serve_load PORT FRAMES.fifo WIDTH HEIGHT [RATE [SECONDS [READS:EDITS:CUES]]]
// (the mix, in parts of 20; default 12:5:3)
// Prints the figures and "RATIO serve_api_p99_vs_frame <p99 / 40 ms>"; exit status 1 when a
// request failed or a frame was dropped.
#include "serve/Rundown.h"

#include <httplib.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using qv::serve::TJson;

// The program's frames as they come: how many, and whether the last one shows the marker.
struct TFrames {
  std::atomic<std::int64_t> Count{0};
  std::atomic<std::int64_t> FirstMarked{-1};  // the first frame showing the marker since Arm
  std::atomic<bool> Ended{false};
  void Arm() { FirstMarked = -1; }
};

void ReadFrames(int fd, std::size_t bytes, int width, TFrames& frames) {
  std::vector<std::uint8_t> frame(bytes);
  for (;;) {
    std::size_t got = 0;
    while (got < bytes) {
      const ssize_t n = ::read(fd, frame.data() + got, bytes - got);
      if (n <= 0) break;
      got += std::size_t(n);
    }
    if (got < bytes) break;
    const std::uint8_t* p = frame.data() + (std::size_t(2) * width + 2) * 4;  // pixel (2, 2)
    const bool marked = p[0] == 255 && p[1] == 0 && p[2] == 255 && p[3] == 255;
    const std::int64_t n = frames.Count++;
    std::int64_t none = -1;
    if (marked) frames.FirstMarked.compare_exchange_strong(none, n);
  }
  frames.Ended = true;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

TJson Get(httplib::Client& c, const std::string& path) {
  const httplib::Result r = c.Get(path);
  if (!r || r->status != 200) return TJson();
  return TJson::parse(r->body, nullptr, false);
}

bool Post(httplib::Client& c, const std::string& path, const std::string& body) {
  const httplib::Result r = c.Post(path, body, "application/json");
  return r && r->status / 100 == 2;
}

void WaitForCue(httplib::Client& c) {
  for (int i = 0; i < 2000 && Get(c, "/api/state")["cue"]["state"] == "loading"; ++i) std::this_thread::sleep_for(2ms);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: qv_serve_load PORT FRAMES.fifo WIDTH HEIGHT [RATE [SECONDS]]\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const int width = std::atoi(argv[3]);
  const int height = std::atoi(argv[4]);
  const int rate = argc > 5 ? std::atoi(argv[5]) : 200;
  const int seconds = argc > 6 ? std::atoi(argv[6]) : 10;
  int readParts = 12, editParts = 5, cueParts = 3;
  if (argc > 7 && std::sscanf(argv[7], "%d:%d:%d", &readParts, &editParts, &cueParts) != 3) return 2;
  if (readParts + editParts + cueParts != 20) return 2;
  const int fd = ::open(argv[2], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::perror(argv[2]);
    return 1;
  }
  TFrames frames;
  std::thread reader(ReadFrames, fd, std::size_t(width) * height * 4, width, std::ref(frames));

  httplib::Client control("127.0.0.1", port);
  control.set_read_timeout(30);
  // The example page on air on layer 1 throughout.
  if (!Post(control, "/api/cue", R"({"row": "news"})")) return 1;
  WaitForCue(control);
  if (!Post(control, "/api/take", "{}")) return 1;
  std::this_thread::sleep_for(1s);
  const std::int64_t droppedBefore = Get(control, "/api/state")["dropped"].get<std::int64_t>();

  // The mix, request k of the run: of every 20, readParts reads, then edits, then cues.
  enum TKind { kRead, kEdit, kCue };
  auto kindOf = [&](int k) {
    const int m = k % 20;
    return m < readParts ? kRead : m < readParts + editParts ? kEdit : kCue;
  };
  const std::vector<std::string> reads = {"/api/state", "/api/rundown", "/api/rows/anna", "/api/program.png"};
  const std::vector<std::string> rows = {"anna", "ben", "cara"};
  constexpr int kClients = 4;
  const int total = rate * seconds;
  const auto period = std::chrono::nanoseconds(1'000'000'000LL / rate);
  std::vector<double> latency(std::size_t(total), -1);
  std::atomic<int> failed{0};
  const Clock::time_point start = Clock::now() + 100ms;
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", port);
      client.set_read_timeout(30);
      client.set_keep_alive(true);
      client.set_tcp_nodelay(true);  // a request's headers and body go out at once
      for (int k = c; k < total; k += kClients) {
        const Clock::time_point due = start + period * k;
        std::this_thread::sleep_until(due);
        bool ok = false;
        switch (kindOf(k)) {
          case kRead: {
            const httplib::Result r = client.Get(reads[std::size_t(k / 20) % reads.size()]);
            ok = r && r->status == 200;
            break;
          }
          case kEdit: {
            const TJson body{{"fields", {{"title.Text", "Edit " + std::to_string(k)}}}};
            const httplib::Result r =
                client.Patch("/api/rows/" + rows[std::size_t(k) % rows.size()], body.dump(), "application/json");
            ok = r && r->status == 200;
            break;
          }
          case kCue:
            ok = Post(client, "/api/cue", TJson{{"row", rows[std::size_t(k / 20) % rows.size()]}}.dump());
            break;
        }
        // From the time the request was due: a request that waited for an earlier one counts it.
        latency[std::size_t(k)] = Ms(Clock::now() - due);
        if (!ok) ++failed;
      }
    });
  }
  for (std::thread& t : clients) t.join();
  const double elapsed = Ms(Clock::now() - start) / 1000.0;
  const std::int64_t dropped = Get(control, "/api/state")["dropped"].get<std::int64_t>() - droppedBefore;

  // Take latency, with the example page still on air under the marker.
  std::vector<std::int64_t> takes;
  for (int i = 0; i < 10; ++i) {
    if (!Post(control, "/api/cue", R"({"row": "marker"})")) break;
    WaitForCue(control);
    std::this_thread::sleep_for(200ms);
    frames.Arm();
    const std::int64_t requested = frames.Count.load();
    if (!Post(control, "/api/take", "{}")) break;
    for (int w = 0; w < 2000 && frames.FirstMarked < 0; ++w) std::this_thread::sleep_for(1ms);
    if (frames.FirstMarked >= 0) takes.push_back(frames.FirstMarked - requested);
    Post(control, "/api/takeout", R"({"layer": 2})");
    std::this_thread::sleep_for(200ms);
  }
  ::close(fd);  // serve is stopped by the script; the reader ends with the pipe
  reader.detach();

  std::vector<double> sorted(latency.begin(), latency.end());
  std::sort(sorted.begin(), sorted.end());
  auto at = [&](double q) { return sorted[std::min(sorted.size() - 1, std::size_t(q * double(sorted.size())))]; };
  const double p99 = at(0.99);
  std::printf("serve-load: %d requests in %.1f s (%d per second) from %d clients: %d reads, %d edits, %d cues in 20; %d failed\n",
              total, elapsed, rate, kClients, readParts, editParts, cueParts, failed.load());
  std::printf("serve-load: latency p50 %.2f ms, p90 %.2f ms, p99 %.2f ms, max %.2f ms\n", at(0.5), at(0.9), p99,
              sorted.back());
  const char* const names[] = {"reads", "edits", "cues"};
  for (int kind = kRead; kind <= kCue; ++kind) {
    std::vector<double> own;
    for (int k = 0; k < total; ++k)
      if (kindOf(k) == kind) own.push_back(latency[std::size_t(k)]);
    if (own.empty()) continue;
    std::sort(own.begin(), own.end());
    std::printf("serve-load:   %s: p50 %.2f ms, p99 %.2f ms\n", names[kind], own[own.size() / 2],
                own[std::min(own.size() - 1, own.size() * 99 / 100)]);
  }
  std::printf("serve-load: frames dropped during the load: %lld\n", static_cast<long long>(dropped));
  std::int64_t worst = -1;
  std::string list;
  for (std::int64_t t : takes) {
    worst = std::max(worst, t);
    list += (list.empty() ? "" : " ") + std::to_string(t);
  }
  std::printf("serve-load: take latency in frames, from the request to the first frame out showing the page: %s (max %lld of %zu takes)\n",
              list.c_str(), static_cast<long long>(worst), takes.size());
  std::printf("RATIO serve_api_p99_vs_frame %.3f\n", p99 / 40.0);
  std::printf("RATIO serve_take_latency_vs_two_frames %.3f\n", double(worst) / 2.0);
  return failed == 0 && dropped == 0 && takes.size() == 10 ? 0 : 1;
}
