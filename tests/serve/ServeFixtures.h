#pragma once
// The folder every serve test plays: two small pages (200 x 120) that overlap where they are
// both on air, and a rundown of four rows.
//   l3.QV   a lower third: a strap whose opacity fades in over frames 0..6, a name text from Meta1
//           and a title text ("title.Text"), the strap under the bug's badge;
//   bug.QV  a logo and an eight-frame sequence "badge" that loops after an intro of 2 frames
//           and has an outro of 3 (frames badge/b1.tga .. b8.tga, each of its own colour).
//   rundown.json  rows "bug" (layer 2, no fields), "anna", "ben" and "cara" (layer 1, the lower
//           third with their names; cara's strap at opacity 200).
#include <cstdint>
#include <filesystem>
#include <string>

namespace qv::test {

constexpr int kPageW = 200;
constexpr int kPageH = 120;
constexpr int kBadgeFrames = 8;
constexpr int kBadgeIn = 2;
constexpr int kBadgeOut = 3;

// Writes the pages, their pictures and the rundown into Dir; answers the rundown's path. (The
// request handler's fuzzer plays the same folder.)
std::string WriteServeFolder(const std::filesystem::path& Dir);

// The premultiplied BGRA bytes of Over drawn on Under, as the program composites two layers:
// each byte d of Under becomes min(255, s + ((255 - alpha of s) * d >> 8)).
std::string Over(const std::string& Under, const std::string& Over);

// A 64-bit hash of a picture's bytes, to compare many frames cheaply.
std::uint64_t Fnv1a(const void* Bytes, std::size_t Size);

}  // namespace qv::test
