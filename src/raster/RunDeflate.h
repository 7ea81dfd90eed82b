#pragma once
// A zlib stream made for the filtered rows of broadcast graphics: most of a page is transparent
// or flat, so its filtered bytes are long runs of one value (mostly zero). The stream holds one
// dynamic-Huffman block whose only matches repeat the byte before (distance 1); everything else
// is a literal under a Huffman code fitted to the data. A general deflate coder searches for
// matches at every byte, which is where its time goes on such pages; here a run costs a few
// word compares per 8 bytes and one symbol per 258 bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::image {

// What a thread's calls reuse: the symbols of the data and the stream being written.
struct TRunDeflateScratch {
  std::vector<std::uint32_t> tokens;
  std::vector<std::uint8_t> out;
};

// The zlib stream (header, one deflate block, Adler-32) of Data[0..N) in Scratch.out, whose size
// it answers. Any bytes are accepted; the stream is valid deflate whatever they are. Answers 0,
// having stopped early, when more than MaxLiterals bytes are not in runs: data such as a
// photograph, for a coder that searches for matches.
std::size_t RunDeflateZlib(const std::uint8_t* Data, std::size_t N, TRunDeflateScratch& Scratch,
                           std::size_t MaxLiterals);

}  // namespace qv::image
