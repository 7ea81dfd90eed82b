#pragma once
// Recovery after a crash. While the document has unsaved changes, the editor writes the page's
// project text now and then into a recovery file of its own in the user's data folder: the text
// is taken on the editor's thread (a copy, in memory) and written on a thread of the writer's, by
// writing a new file and renaming it over the old one, so a frame never waits for the disk and
// the file on the disk is always whole. A save or a clean exit removes it. The next start finds
// the files whose editor is no longer running and offers each one.
#include "platform/Clock.h"

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace qv {

class THistory;

// What a recovery file holds.
struct TRecoveryContent {
  std::string FileName;  // the document's file; empty for a page never saved
  std::string Folder;    // the folder its media paths start from (TQVSystem::ProjectFolder)
  std::string Text;      // the page's project text
  friend bool operator==(const TRecoveryContent&, const TRecoveryContent&) = default;
};

// The bytes of a recovery file: a header ("QV recovery", "File = …", "Folder = …", "Length = …",
// "Check = …" with a checksum of the text, each ended by CR LF), an empty line, then the text.
std::string FormatRecovery(const TRecoveryContent& Content);
// Reads those bytes back; none when they are not a whole recovery file, and Why says what is wrong
// ("it was cut short", "its check does not match").
std::optional<TRecoveryContent> ParseRecovery(std::string_view Bytes, std::string& Why);

// The name of the recovery file of the editor with process id Pid: "page-<pid>.qvrecovery".
std::string RecoveryFileName(long Pid);
// Whether a process with that id is running on this machine.
bool ProcessRunning(long Pid);

class TRecoveryWriter {
 public:
  // Writes after this many milliseconds with unsaved changes not yet written...
  static constexpr std::uint32_t kIntervalMs = 30000;
  // ...or once this many changes of the history were not written.
  static constexpr std::uint64_t kChangesPerWrite = 10;

  // File: the recovery file (its folder is made when the first write comes). Clock times the
  // interval; it must outlive the writer.
  TRecoveryWriter(std::filesystem::path File, TTickSource& Clock);
  // Waits for the write under way and any handed over; the file stays (a clean exit calls Remove).
  ~TRecoveryWriter();
  TRecoveryWriter(const TRecoveryWriter&) = delete;
  TRecoveryWriter& operator=(const TRecoveryWriter&) = delete;

  // Called on the editor's thread whenever the history changed and by a timer. With unsaved
  // changes that are not in the file yet, and kChangesPerWrite of them or kIntervalMs since the
  // last write, takes Snapshot and hands it to the writing thread; answers whether it did. Without
  // unsaved changes the file is removed.
  bool Poll(bool Unsaved, std::uint64_t Changes, const std::function<TRecoveryContent()>& Snapshot);
  // Drops what was handed over and not written yet, waits for a write under way, and removes the
  // file (after a save, on a clean exit).
  void Remove();
  // Waits until everything handed over is on the disk.
  void Flush();

  const std::filesystem::path& File() const { return fFile; }
  // How many files were written, and the failure of the last write ("" when it succeeded).
  std::uint64_t Written() const;
  std::string LastError() const;

 private:
  void Run();

  std::filesystem::path fFile;
  TTickSource& fClock;
  std::uint32_t fLastWrite;
  std::uint64_t fWrittenChanges = 0;
  bool fHasFile = false;

  mutable std::mutex fLock;
  std::condition_variable fWake;
  std::condition_variable fIdle;
  std::optional<std::string> fJob;
  bool fBusy = false;
  bool fStop = false;
  std::uint64_t fWritten = 0;
  std::string fError;
  std::thread fThread;  // last: starts once everything above is made
};

// A recovery file found at start-up.
struct TRecoveryOffer {
  std::filesystem::path File;
  TRecoveryContent Content;
};

struct TRecoveryScan {
  std::vector<TRecoveryOffer> Offers;  // newest first
  // One line for each damaged file, which was moved aside (renamed to end in ".damaged").
  std::vector<std::string> Damaged;
};

// The recovery files in Folder whose editor is not running (Running answers for a process id).
TRecoveryScan ScanRecoveryFolder(const std::filesystem::path& Folder, const std::function<bool(long Pid)>& Running);

// Puts a recovered page on the (empty) page of H: its media folder, its text read as a project, and
// the document's name, as one step ("Recover news.QV"), so the document shows unsaved changes and
// undoing the step gives the empty page back. Throws EProjectError when the text does not read.
void RecoverPage(THistory& H, const TRecoveryContent& Content);

}  // namespace qv
