// Recovery after a crash: the recovery file's form and what counts as damaged, when the writer
// writes, what a start-up finds, and a page recovered from an editor killed with SIGKILL.
#include "composition/QvSystem.h"
#include "composition/TextLayer.h"
#include "history/History.h"
#include "history/PageCommands.h"
#include "history/Recovery.h"
#include "model/UndoEngine.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

struct TPage {
  TManualTickSource ticks{0};
  TAnimationManager animations;
  TUndoEngine engine{TUndoEngine::kStandardCapacity};
  std::unique_ptr<TQVSystem> sys;
  std::unique_ptr<THistory> history;
  TPage() {
    TCompositionContext context;
    context.Ticks = &ticks;
    context.Animations = &animations;
    context.Undo = &engine;
    sys = Make<TQVSystem>(768, 576, context, false);
    history = std::make_unique<THistory>(*sys, ticks);
  }
  ~TPage() {
    history.reset();
    sys.reset();
  }
  TRecoveryContent Content() const {
    return {history->FileName(), sys->ProjectFolder.string(), sys->ProjectText()};
  }
};

const TRecoveryContent kContent{"/srv/pages/news.QV", "/srv/pages",
                                Lines({"\tObject '':TQVSystem", "\t\tShowTime = 0", "\tEnd"})};

TEST(Recovery, TheFileReadsBackAndDamageIsTold) {
  const std::string whole = FormatRecovery(kContent);
  std::string why;
  ASSERT_EQ(ParseRecovery(whole, why), kContent);
  EXPECT_EQ(whole.substr(0, 13), "QV recovery\r\n");

  struct TCase {
    const char* Kind;
    std::string Bytes;
    const char* Why;
  };
  std::string flipped = whole;
  flipped[flipped.size() - 5] ^= 0x20;
  std::string header = whole;
  header.replace(header.find("Length"), 6, "Lenght");
  const TCase cases[] = {
      {"cut short", whole.substr(0, whole.size() - 7), "it was cut short"},
      {"cut in the header", whole.substr(0, 30), "its header is damaged"},
      {"grown", whole + "x", "it holds more than it says"},
      {"a changed byte", flipped, "its check does not match its text"},
      {"a changed header", header, "its header is damaged"},
      {"a project file", kContent.Text, "it is not a recovery file"},
      {"empty", "", "it is not a recovery file"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Kind);
    why.clear();
    EXPECT_FALSE(ParseRecovery(c.Bytes, why).has_value());
    EXPECT_EQ(why, c.Why);
  }
}

TEST(Recovery, TheWriterWritesEveryThirtySecondsOrTenChangesWhileUnsaved) {
  TTestDir dir("qv-recovery");
  TManualTickSource clock(1000);
  TRecoveryWriter writer(dir / "rec" / RecoveryFileName(42), clock);
  int snapshots = 0;
  auto snapshot = [&] {
    ++snapshots;
    TRecoveryContent c = kContent;
    c.FileName = "snapshot " + std::to_string(snapshots);
    return c;
  };
  struct TPoll {
    std::uint32_t AdvanceMs;
    bool Unsaved;
    std::uint64_t Changes;
    bool Writes;
    bool FileAfter;
  };
  const TPoll polls[] = {
      {0, true, 1, false, false},       // one change, no time yet
      {29999, true, 1, false, false},   // just under 30 s
      {1, true, 1, true, true},         // 30 s with an unwritten change
      {40000, true, 1, false, true},    // nothing new since
      {10, true, 2, true, true},        // a change after more than 30 s: at once
      {10, true, 10, false, true},      // eight new changes
      {10, true, 12, true, true},       // ten
      {10, false, 13, false, false},    // saved: the file goes
      {30000, false, 13, false, false}, // and stays away while saved
      {10, true, 14, false, false},     // unsaved again: the interval starts over
      {30000, true, 14, true, true},
  };
  std::size_t n = 0;
  for (const TPoll& p : polls) {
    SCOPED_TRACE(n++);
    clock.Advance(p.AdvanceMs);
    EXPECT_EQ(writer.Poll(p.Unsaved, p.Changes, snapshot), p.Writes);
    writer.Flush();
    EXPECT_EQ(fs::exists(writer.File()), p.FileAfter);
  }
  std::string why;
  const auto read = ParseRecovery(ReadBytes(writer.File()), why);
  ASSERT_TRUE(read) << why;
  EXPECT_EQ(read->FileName, "snapshot 4");
  EXPECT_EQ(snapshots, 4);
  EXPECT_EQ(writer.LastError(), "");
  writer.Remove();
  EXPECT_FALSE(fs::exists(writer.File()));
}

TEST(Recovery, AStartFindsTheFilesOfEditorsThatAreGone) {
  TTestDir dir("qv-recovery");
  WriteBytes(dir / RecoveryFileName(101), FormatRecovery(kContent));
  TRecoveryContent running = kContent;
  running.FileName = "running.QV";
  WriteBytes(dir / RecoveryFileName(102), FormatRecovery(running));
  const std::string damaged = FormatRecovery(kContent);
  WriteBytes(dir / RecoveryFileName(103), damaged.substr(0, damaged.size() - 3));
  WriteBytes(dir / "notes.txt", "not ours");
  WriteBytes(dir / "page-abc.qvrecovery", "no process id");

  const TRecoveryScan scan = ScanRecoveryFolder(dir.Path(), [](long pid) { return pid == 102; });
  ASSERT_EQ(scan.Offers.size(), 1u);
  EXPECT_EQ(scan.Offers[0].File, dir / RecoveryFileName(101));
  EXPECT_EQ(scan.Offers[0].Content, kContent);
  ASSERT_EQ(scan.Damaged.size(), 1u);
  EXPECT_EQ(scan.Damaged[0], "The recovery file " + (dir / RecoveryFileName(103)).string() +
                                 " is damaged (it was cut short); it was moved to " +
                                 (dir / RecoveryFileName(103)).string() + ".damaged.");
  EXPECT_FALSE(fs::exists(dir / RecoveryFileName(103)));
  EXPECT_TRUE(fs::exists(dir / (RecoveryFileName(103) + ".damaged")));
  EXPECT_TRUE(fs::exists(dir / RecoveryFileName(102)));
  // A second start does not report the damaged file again.
  EXPECT_TRUE(ScanRecoveryFolder(dir.Path(), [](long pid) { return pid == 102; }).Damaged.empty());
}

// An editor at work in a child process: it makes ten steps, which writes its recovery file, and is
// killed with SIGKILL. The next start offers the file, and the page comes back with exactly the
// text it had.
TEST(Recovery, APageOfAnEditorKilledWithSigkillComesBackExactly) {
  TTestDir dir("qv-recovery");
  const fs::path folder = dir / "recovery";
  const fs::path expected = dir / "expected.QV";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TPage p;
    p.history->SetFileName((dir / "news.QV").string());
    p.sys->ProjectFolder = dir.Path();
    TRecoveryWriter writer(folder / RecoveryFileName(static_cast<long>(getpid())), p.ticks);
    for (int i = 0; i < 10; ++i) {
      auto& t = p.sys->NewLayer<TTextLayer>();
      t.SetlayerName("Text00" + std::to_string(i));
      t.SetX(i * 7);
      t.XProperty().Animation(true, 0)->AddKey(0.0, i);
      t.XProperty().Animation(true, 0)->AddKey(25.0, i + 100.5);
      RecordInsertedLayer(*p.history, t);
      writer.Poll(!p.history->IsClean(), p.history->Changes(), [&] { return p.Content(); });
    }
    writer.Flush();
    WriteBytes(expected, p.sys->ProjectText());
    ::kill(getpid(), SIGKILL);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_EQ(WTERMSIG(status), SIGKILL);

  const TRecoveryScan scan = ScanRecoveryFolder(folder, ProcessRunning);
  ASSERT_EQ(scan.Offers.size(), 1u);
  EXPECT_EQ(scan.Offers[0].File.filename(), RecoveryFileName(child));
  EXPECT_EQ(scan.Offers[0].Content.FileName, (dir / "news.QV").string());

  TPage next;
  RecoverPage(*next.history, scan.Offers[0].Content);
  EXPECT_EQ(next.sys->ProjectText(), ReadBytes(expected));
  EXPECT_EQ(next.sys->Layers.size(), 10u);
  EXPECT_EQ(next.history->FileName(), (dir / "news.QV").string());
  EXPECT_EQ(next.sys->ProjectFolder, dir.Path());
  EXPECT_FALSE(next.history->IsClean());  // recovered changes are not saved yet
  EXPECT_EQ(next.history->UndoName(), "Recover news.QV");
  next.history->Undo();
  EXPECT_TRUE(next.sys->Layers.empty());
  EXPECT_TRUE(next.history->IsClean());
}

}  // namespace
}  // namespace qv::test
