#include "history/Recovery.h"

#include "composition/QvSystem.h"
#include "history/PageCommands.h"
#include "project/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <signal.h>
#include <sys/types.h>
#include <cstdio>
#include <system_error>

namespace qv {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSignature = "QV recovery";
constexpr std::string_view kExtension = ".qvrecovery";
constexpr std::string_view kPrefix = "page-";

// FNV-1a, 64 bits: enough to tell a damaged text from a whole one.
std::uint64_t Checksum(std::string_view Text) {
  std::uint64_t h = 14695981039346656037ull;
  for (const unsigned char c : Text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

std::string Hex(std::uint64_t v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

// The next header line of Bytes from At (without its CR LF); none when there is no CR LF.
std::optional<std::string_view> NextLine(std::string_view Bytes, std::size_t& At) {
  const std::size_t end = Bytes.find("\r\n", At);
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view line = Bytes.substr(At, end - At);
  At = end + 2;
  return line;
}

// "Key = value" -> value; none when the line is another key's.
std::optional<std::string_view> Field(std::optional<std::string_view> Line, std::string_view Key) {
  if (!Line) return std::nullopt;
  const std::string prefix = std::string(Key) + " = ";
  if (Line->substr(0, prefix.size()) != prefix) return std::nullopt;
  return Line->substr(prefix.size());
}

}  // namespace

std::string FormatRecovery(const TRecoveryContent& C) {
  std::string out(kSignature);
  out += "\r\nFile = " + C.FileName;
  out += "\r\nFolder = " + C.Folder;
  out += "\r\nLength = " + std::to_string(C.Text.size());
  out += "\r\nCheck = " + Hex(Checksum(C.Text));
  out += "\r\n\r\n";
  out += C.Text;
  return out;
}

std::optional<TRecoveryContent> ParseRecovery(std::string_view Bytes, std::string& Why) {
  std::size_t at = 0;
  if (NextLine(Bytes, at) != std::optional<std::string_view>(kSignature)) {
    Why = "it is not a recovery file";
    return std::nullopt;
  }
  const auto file = Field(NextLine(Bytes, at), "File");
  const auto folder = Field(NextLine(Bytes, at), "Folder");
  const auto length = Field(NextLine(Bytes, at), "Length");
  const auto check = Field(NextLine(Bytes, at), "Check");
  const auto blank = NextLine(Bytes, at);
  std::size_t size = 0;
  if (!file || !folder || !length || !check || !blank || !blank->empty() ||
      std::from_chars(length->data(), length->data() + length->size(), size).ec != std::errc()) {
    Why = "its header is damaged";
    return std::nullopt;
  }
  const std::string_view text = Bytes.substr(at);
  if (text.size() != size) {
    Why = text.size() < size ? "it was cut short" : "it holds more than it says";
    return std::nullopt;
  }
  if (*check != Hex(Checksum(text))) {
    Why = "its check does not match its text";
    return std::nullopt;
  }
  return TRecoveryContent{std::string(*file), std::string(*folder), std::string(text)};
}

std::string RecoveryFileName(long Pid) { return std::string(kPrefix) + std::to_string(Pid) + std::string(kExtension); }

bool ProcessRunning(long Pid) {
  if (Pid <= 0) return false;
  return ::kill(static_cast<pid_t>(Pid), 0) == 0 || errno == EPERM;
}

// ---- the writer -----------------------------------------------------------------------------

TRecoveryWriter::TRecoveryWriter(fs::path File, TTickSource& Clock)
    : fFile(std::move(File)), fClock(Clock), fLastWrite(Clock.TickCount()), fThread([this] { Run(); }) {}

TRecoveryWriter::~TRecoveryWriter() {
  {
    std::unique_lock<std::mutex> hold(fLock);
    fIdle.wait(hold, [&] { return !fBusy && !fJob; });
    fStop = true;
  }
  fWake.notify_all();
  fThread.join();
}

void TRecoveryWriter::Run() {
  std::unique_lock<std::mutex> hold(fLock);
  for (;;) {
    fWake.wait(hold, [&] { return fStop || fJob.has_value(); });
    if (fStop) return;
    std::string bytes = std::move(*fJob);
    fJob.reset();
    fBusy = true;
    hold.unlock();
    std::string error;
    try {
      std::error_code ec;
      fs::create_directories(fFile.parent_path(), ec);
      WriteFileAtomically(fFile.string(), bytes);
    } catch (const std::exception& e) {
      error = e.what();
    }
    hold.lock();
    fBusy = false;
    ++fWritten;
    fError = error;
    fIdle.notify_all();
  }
}

bool TRecoveryWriter::Poll(bool Unsaved, std::uint64_t Changes, const std::function<TRecoveryContent()>& Snapshot) {
  const std::uint32_t now = fClock.TickCount();
  if (!Unsaved) {
    if (fHasFile) Remove();
    fWrittenChanges = Changes;
    fLastWrite = now;
    return false;
  }
  if (Changes == fWrittenChanges) return false;
  const bool enough = Changes - fWrittenChanges >= kChangesPerWrite;
  if (!enough && static_cast<std::uint32_t>(now - fLastWrite) < kIntervalMs) return false;
  std::string bytes = FormatRecovery(Snapshot());
  {
    std::lock_guard<std::mutex> hold(fLock);
    fJob = std::move(bytes);  // a write not started yet is replaced by the newer one
  }
  fWake.notify_all();
  fWrittenChanges = Changes;
  fLastWrite = now;
  fHasFile = true;
  return true;
}

void TRecoveryWriter::Remove() {
  std::unique_lock<std::mutex> hold(fLock);
  fJob.reset();
  fIdle.wait(hold, [&] { return !fBusy; });
  std::error_code ec;
  fs::remove(fFile, ec);
  fHasFile = false;
}

void TRecoveryWriter::Flush() {
  std::unique_lock<std::mutex> hold(fLock);
  fIdle.wait(hold, [&] { return !fBusy && !fJob; });
}

std::uint64_t TRecoveryWriter::Written() const {
  std::lock_guard<std::mutex> hold(fLock);
  return fWritten;
}

std::string TRecoveryWriter::LastError() const {
  std::lock_guard<std::mutex> hold(fLock);
  return fError;
}

// ---- start-up ---------------------------------------------------------------------------------

TRecoveryScan ScanRecoveryFolder(const fs::path& Folder, const std::function<bool(long Pid)>& Running) {
  TRecoveryScan scan;
  std::error_code ec;
  std::vector<std::pair<fs::file_time_type, TRecoveryOffer>> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(Folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() <= kPrefix.size() + kExtension.size() || name.rfind(kPrefix, 0) != 0 ||
        name.compare(name.size() - kExtension.size(), kExtension.size(), kExtension) != 0) {
      continue;
    }
    const std::string digits = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kExtension.size());
    long pid = 0;
    if (std::from_chars(digits.data(), digits.data() + digits.size(), pid).ec != std::errc()) continue;
    if (Running && Running(pid)) continue;  // its editor is still at work
    std::string why;
    std::optional<TRecoveryContent> content;
    try {
      content = ParseRecovery(ReadWholeFile(entry.path().string(), 0), why);
    } catch (const std::exception& e) {
      why = e.what();
    }
    if (!content) {
      const fs::path aside = entry.path().string() + ".damaged";
      std::error_code moved;
      fs::rename(entry.path(), aside, moved);
      scan.Damaged.push_back("The recovery file " + entry.path().string() + " is damaged (" + why + "); it was moved to " +
                             aside.string() + ".");
      continue;
    }
    std::error_code timeError;
    found.push_back({entry.last_write_time(timeError), TRecoveryOffer{entry.path(), std::move(*content)}});
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (auto& f : found) scan.Offers.push_back(std::move(f.second));
  return scan;
}

void RecoverPage(THistory& H, const TRecoveryContent& Content) {
  const std::string title = Content.FileName.empty() ? std::string("the unsaved page")
                                                     : fs::path(Content.FileName).filename().string();
  ReadOntoPage(
      H, "Recover " + title,
      [&] {
        H.Page().ProjectFolder = fs::path(Content.Folder);
        H.Page().ReadProjectText(Content.Text, "the recovery of " + title);
      },
      Content.FileName);
}

}  // namespace qv
