// qvrender serve on air, its frames read from the --raw pipe: a bug on layer 2 and a lower third
// on layer 1 taken and taken out independently, each frame equal to the pages rendered by
// qvrender render and composited by hand, each take showing within 2 frames of its request; and
// SIGTERM or SIGINT ending play and serve within a frame time whose consumer stopped reading.
#include "ServeFixtures.h"
#include "ServeProcess.h"
#include "serve/Rundown.h"
#include "support/Files.h"
#include "support/Qvrender.h"
#include "support/Tga.h"
#include "video/FrameFiles.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <set>
#include <thread>

namespace qv::test {
namespace {

using namespace std::chrono_literals;
using serve::TJson;

constexpr std::size_t kFrameBytes = std::size_t(kPageW) * kPageH * 4;

// What a frame of the program may be, by its hash: a name for the messages.
using TCandidates = std::map<std::uint64_t, std::string>;

class ServeOnAir : public ::testing::Test {
 protected:
  // Frames 0 .. Last of Page as qvrender renders them (sequence: frame by frame, as render).
  std::vector<std::string> Rendered(const std::string& page, int last, std::vector<std::string> options) {
    const std::string pattern = (dir / (page + "-%d.tga")).string();
    std::vector<std::string> args = {"sequence", (dir / page).string(), "-o", pattern, "--from", "0", "--to",
                                     std::to_string(last)};
    args.insert(args.end(), options.begin(), options.end());
    const TRunResult r = RunQvrender(args);
    EXPECT_EQ(r.code, 0) << r.err;
    std::vector<std::string> frames;
    for (int f = 0; f <= last; ++f) {
      frames.push_back(ReadTga(FormatFramePattern(pattern, f)).pixels);
      EXPECT_EQ(frames.back().size(), kFrameBytes);
    }
    return frames;
  }
  static std::uint64_t Hash(const std::string& bytes) { return Fnv1a(bytes.data(), bytes.size()); }

  TTestDir dir{"serve-onair"};
  std::string rundown = WriteServeFolder(dir.Path());
};

TEST_F(ServeOnAir, TwoLayersTakenAndTakenOutIndependentlyEqualRendersCompositedByHand) {
  // Rows whose fields render takes on its command line.
  dir.Write("rundown.json", R"({"rows": [
    {"id": "bug", "page": "bug.QV", "layer": 2, "fields": {}},
    {"id": "anna", "page": "l3.QV", "layer": 1, "fields": {"Meta1": "Anna Berg"}}]})");
  const std::string empty(kFrameBytes, '\0');
  // The lower third's fade (frames 0..6, then still) and the bug's intro and loop (0..9).
  const std::vector<std::string> third = Rendered("l3.QV", 7, {"--meta1", "Anna Berg"});
  const std::vector<std::string> badge = Rendered("bug.QV", 9, {});
  ASSERT_EQ(third[6], third[7]);
  ASSERT_NE(badge[2], badge[3]);
  ASSERT_EQ(badge[2], badge[5]) << "a loop of three";

  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  TFrameReader frames(fds[0], kFrameBytes);
  TProcess server({"serve", (dir / "rundown.json").string(), "--raw", "-", "--listen", "127.0.0.1:0"}, fds[1],
                  (dir / "err.txt").string());
  const int port = server.WaitForPort();
  ASSERT_GT(port, 0) << server.Err();
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(30);
  auto post = [&](const std::string& path, const std::string& body) {
    const httplib::Result r = client.Post(path, body, "application/json");
    EXPECT_TRUE(r && r->status / 100 == 2) << path << " " << body << ": " << (r ? r->body : httplib::to_string(r.error()));
  };
  auto cue = [&](const std::string& row) {
    post("/api/cue", TJson{{"row", row}}.dump());
    for (int i = 0; i < 3000; ++i) {
      const TJson state = TJson::parse(client.Get("/api/state")->body);
      if (state["cue"]["state"] != "loading") break;
      std::this_thread::sleep_for(5ms);
    }
  };
  // Takes at the frame count when its request went, then the frames that come after it.
  std::vector<std::size_t> takes;
  auto take = [&] {
    takes.push_back(frames.Count());
    post("/api/take", "{}");
  };
  // Longer than the fade, the intro and the outro.
  auto settle = [&] { ASSERT_TRUE(frames.WaitFor(frames.Count() + 15)); };

  settle();
  cue("anna");
  take();
  settle();
  const std::size_t third_only = frames.Count();
  cue("bug");
  take();
  settle();
  const std::size_t both = frames.Count();
  post("/api/takeout", R"({"layer": 1})");
  settle();
  const std::size_t bug_only = frames.Count();
  post("/api/takeout", R"({"layer": 2})");
  settle();
  const std::size_t end = frames.Count();
  const std::string state = client.Get("/api/state")->body;
  EXPECT_EQ(server.Stop(SIGTERM), 0) << server.Err();
  const std::vector<std::uint64_t> got = frames.Hashes();
  ASSERT_GE(got.size(), end);

  // Every frame of each stretch is one the pages make, composited by hand, bottom layer first.
  TCandidates none{{Hash(empty), "nothing"}};
  TCandidates l3Alone, bugAlone, bugOverL3;
  for (std::size_t f = 0; f < third.size(); ++f) l3Alone[Hash(Over(empty, third[f]))] = "lower third " + std::to_string(f);
  for (std::size_t f = 0; f < badge.size(); ++f) {
    bugAlone[Hash(Over(empty, badge[f]))] = "bug " + std::to_string(f);
    bugOverL3[Hash(Over(Over(empty, third[6]), badge[f]))] = "bug " + std::to_string(f) + " over the lower third";
  }
  auto expectAll = [&](std::size_t from, std::size_t to, const std::vector<const TCandidates*>& sets, const char* what) {
    for (std::size_t i = from; i < to; ++i) {
      bool known = false;
      for (const TCandidates* s : sets) known = known || s->count(got[i]) != 0;
      EXPECT_TRUE(known) << what << ": frame " << i << " is none of the pages' frames";
    }
  };
  expectAll(0, takes[0], {&none}, "before the first take");
  expectAll(takes[0], third_only, {&none, &l3Alone}, "the lower third");
  expectAll(third_only, takes[1], {&l3Alone}, "the lower third, settled");
  expectAll(takes[1], both, {&l3Alone, &bugOverL3}, "the bug over the lower third");
  expectAll(both, bug_only, {&bugOverL3, &bugAlone}, "the lower third taken out");
  // The bug's outro (its pictures 5..7, which the loop never shows) and then nothing.
  EXPECT_EQ(got[end - 1], Hash(empty)) << "the bug taken out";
  bool outro = false;
  for (std::size_t i = bug_only; i < end; ++i) outro = outro || (got[i] != Hash(empty) && !bugAlone.count(got[i]));
  EXPECT_TRUE(outro) << "the bug's outro played";

  // Each take shows its page, from its first frame, within two frames of the request.
  const std::vector<std::uint64_t> first = {Hash(Over(empty, third[0])), Hash(Over(Over(empty, third[6]), badge[0]))};
  for (std::size_t t = 0; t < takes.size(); ++t) {
    std::size_t shown = takes[t];
    while (shown < got.size() && got[shown] != first[t] && got[shown] == got[takes[t]]) ++shown;
    std::cout << "take " << t + 1 << ": its first frame out " << shown - takes[t] << " frames after the request\n";
    EXPECT_LE(shown - takes[t], 2u) << "take " << t + 1;
    // The pacer keeps time by dropping frames: only with none dropped is the first one certain.
    if (state.find("\"dropped\":0") != std::string::npos) {
      EXPECT_EQ(got[shown], first[t]) << "take " << t + 1 << " starts its page from its first frame";
    }
  }
}

// A consumer that stops reading (an encoder that hangs): SIGTERM and SIGINT still end play and
// serve, with the status of a stop and one line saying how many frames it missed.
TEST_F(ServeOnAir, ASignalEndsPlayoutWhoseConsumerStoppedReading) {
  struct TCase {
    std::vector<std::string> Args;
    int Signal;
  };
  const std::string r = (dir / "rundown.json").string();
  const std::vector<TCase> cases = {
      {{"play", (dir / "bug.QV").string(), "--raw", "-"}, SIGTERM},
      {{"play", (dir / "bug.QV").string(), "--y4m", "-"}, SIGINT},
      {{"serve", r, "--raw", "-", "--listen", "127.0.0.1:0"}, SIGTERM},
      {{"serve", r, "--y4m", "-", "--listen", "127.0.0.1:0"}, SIGINT},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Args[0] + " " + c.Args[2] + " " + (c.Signal == SIGTERM ? "SIGTERM" : "SIGINT"));
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ::fcntl(fds[1], F_SETPIPE_SZ, 4096);
    TProcess p(c.Args, fds[1], (dir / "err.txt").string());
    if (c.Args[0] == "serve") ASSERT_GT(p.WaitForPort(), 0) << p.Err();
    // Frames are waiting to go out for a while: the write is stuck on the full pipe.
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(p.Stop(c.Signal, 5), 0) << "still running or killed: " << p.Err();
    const std::string err = p.Err();
    const std::string last = err.substr(err.rfind('\n', err.size() - 2) + 1);
    EXPECT_NE(last.find("qvrender: dropped "), std::string::npos) << err;
    EXPECT_NE(last.find("the consumer is slower than 25 frames per second"), std::string::npos) << err;
    ::close(fds[0]);
  }
}

}  // namespace
}  // namespace qv::test
