#pragma once
// A plug-in of ours: a shared library opened on first need, so that a process that never needs
// what it brings (a codec library and the hundreds of libraries behind it, a toolkit) never loads
// them. Each plug-in exports one entry function that returns its table of operations, whose first
// member is the table's ABI number; a table of another number is not used.
//
//   static TPluginSlot slot{"qv_video_plugin.so", "qv_video_plugin", QV_VIDEO_PLUGIN_BUILT, 1};
//   auto* table = static_cast<const TQvVideoPlugin*>(slot.Table());  // nullptr: none found
#include <mutex>
#include <string>

namespace qv {

class TPluginSlot {
 public:
  // File: the plug-in's file name; Entry: the function it exports; Built: where the build put it
  // (may be empty); Abi: the table's number.
  TPluginSlot(const char* File, const char* Entry, const char* Built, int Abi)
      : fFile(File), fEntry(Entry), fBuilt(Built), fAbi(Abi) {}
  TPluginSlot(const TPluginSlot&) = delete;
  TPluginSlot& operator=(const TPluginSlot&) = delete;

  // The plug-in's table, opened on the first call: next to the running executable, in ../lib/qv
  // beside it, or where the build put it (the first that opens and has the right number wins).
  // nullptr when none does; the search is not repeated. Thread-safe.
  const void* Table();
  // Replaces the search with one file ("" restores the search); the next Table() opens it.
  void Choose(const std::string& Path);
  const char* File() const { return fFile; }

 private:
  const char* fFile;
  const char* fEntry;
  const char* fBuilt;
  int fAbi;
  std::mutex fLock;
  bool fSearched = false;
  std::string fChosen;
  const void* fTable = nullptr;
};

// Each plug-in's entry: returns its table.
extern "C" {
typedef const void* (*TQvPluginEntry)(void);
}

}  // namespace qv
