#pragma once
// The program: the pages on air, one per on-air layer, composited bottom layer first into the
// picture that goes out. Only the playout thread draws; other threads ask for takes, take outs
// and replacements, which it carries out at the next frame boundary, and read a copy of the
// last picture and of the on-air state. Pages the program lets go of are handed back (Released)
// to be freed on another thread: freeing a page of many pictures takes longer than a frame.
#include "raster/Bitmap.h"
#include "serve/ServePage.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qv::serve {

struct TOnAirLayer {
  int Layer = 0;
  std::string Row;          // the rundown row the page was made from
  std::uint64_t Take = 0;   // which take put it there (each take has its own number)
  std::int64_t Since = 0;   // the program frame it went on air at
  bool TakingOut = false;   // its outro is playing
  bool operator==(const TOnAirLayer&) const = default;
};

class TProgram {
 public:
  TProgram(int Width, int Height);
  ~TProgram();
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  int Width() const { return fWidth; }
  int Height() const { return fHeight; }

  // --- any thread: carried out at the next frame boundary ------------------------------------
  // Page goes on air on Layer from its first frame, replacing what the layer shows. Answers the
  // take's number.
  std::uint64_t Take(int Layer, std::string Row, std::unique_ptr<TServePage> Page);
  // The layer's page plays its outro (if it has one) and leaves. Nothing when the layer is empty.
  void TakeOut(int Layer);
  // Page (the same row with new values, already moved on to the frame the layer's page stood
  // at) replaces the page of take Take where it stands; nothing when that take has left the air.
  void Replace(int Layer, std::uint64_t Take, std::unique_ptr<TServePage> Page);

  // --- the playout thread --------------------------------------------------------------------
  // Program frame N (rising from call to call): the requests made since the last call, then each
  // page moved on to its own frame and composited, bottom layer first, over transparent black.
  const TmemoryBitmap& Frame(std::int64_t N);
  // Runs on the playout thread after a frame that changed the on-air state (keep it short).
  std::function<void()> OnChanged;

  // --- any thread ----------------------------------------------------------------------------
  std::vector<TOnAirLayer> State() const;
  // How far the page of take Take is (its own frame at the last program frame); -1 when gone.
  int PageFrame(std::uint64_t Take) const;
  std::int64_t LastFrame() const;
  // A copy of the last program picture (premultiplied BGRA, rows top first) and its frame
  // number; false before the first frame.
  bool CopyLastPicture(std::vector<std::uint8_t>& Bgra, std::int64_t* Frame = nullptr) const;
  // The pages let go of since the last call, to be freed by the caller.
  std::vector<std::unique_ptr<TServePage>> Released();

 private:
  struct TSlot {
    std::unique_ptr<TServePage> Page;
    TOnAirLayer Info;
    int OutroFrom = -1;  // taking out: the page's frame its outro started at
    int OutroEnd = -1;   // and its last frame before it leaves
  };
  struct TRequest {
    enum { rqTake, rqTakeOut, rqReplace } Kind;
    int Layer;
    std::uint64_t Take;
    std::string Row;
    std::unique_ptr<TServePage> Page;
  };
  void Carry(TRequest& R, std::int64_t N, bool& Changed);
  void Release(std::unique_ptr<TServePage> Page);

  int fWidth, fHeight;
  TmemoryBitmap fPicture;
  std::map<int, TSlot> fSlots;  // by layer, bottom first; the playout thread's own

  mutable std::mutex fLock;  // guards what follows
  std::vector<TRequest> fRequests;
  std::uint64_t fNextTake = 1;
  std::vector<TOnAirLayer> fState;
  std::map<std::uint64_t, int> fPageFrames;  // take -> its page's frame
  std::int64_t fLastFrame = -1;
  std::vector<std::uint8_t> fLastPicture;
  std::vector<std::unique_ptr<TServePage>> fReleased;
};

}  // namespace qv::serve
