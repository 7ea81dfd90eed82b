// The run coder's zlib streams, inflated by zlib (the library PNG decoders use) back to the bytes
// given, for a table of inputs that reach every part of it: no bytes, one byte, runs of every
// length around deflate's limits, a page's worth of zeros, noise with all 256 literals, a few
// symbols far apart (long gaps in the code lengths) and counts that make a Huffman code deeper
// than deflate's 15 bits. Data with too many literals is refused without writing.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "raster/RunDeflate.h"

namespace qv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Inflate(const std::uint8_t* stream, std::size_t size, std::size_t expected, int& status) {
  Bytes out(expected + 16);
  uLongf length = uLongf(out.size());
  status = uncompress(out.data(), &length, stream, uLong(size));
  out.resize(length);
  return out;
}

Bytes RunsOfEveryLength() {
  Bytes b;
  for (int len = 1; len <= 520; ++len) b.insert(b.end(), std::size_t(len), std::uint8_t(len % 7 == 0 ? 0 : len));
  return b;
}

Bytes Noise(std::size_t n) {
  std::mt19937 rng(7);
  Bytes b(n);
  for (auto& v : b) v = std::uint8_t(rng());
  return b;
}

// Symbol k (of 24) about Fibonacci(k) times, shuffled: a Huffman code over such counts is 23 bits
// deep, so the coder must cut it to 15.
Bytes FibonacciCounts() {
  Bytes b;
  std::uint32_t f0 = 1, f1 = 1;
  for (int k = 0; k < 24; ++k) {
    b.insert(b.end(), f0, std::uint8_t(3 * k + 1));
    const std::uint32_t f2 = f0 + f1;
    f0 = f1;
    f1 = f2;
  }
  std::shuffle(b.begin(), b.end(), std::mt19937(11));
  return b;
}

// A graphics page's filtered rows: zero rows, and rows with a few bytes of ink in them.
Bytes SparseRows() {
  Bytes b;
  std::mt19937 rng(3);
  for (int y = 0; y < 576; ++y) {
    Bytes row(3073, 0);
    row[0] = std::uint8_t(y % 5);
    if (y % 3 == 0) {
      for (int x = 400; x < 700; ++x) row[std::size_t(x)] = std::uint8_t(rng() % 9);
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

TEST(RunDeflate, StreamsInflateToTheBytesGiven) {
  struct Case {
    const char* name;
    std::function<Bytes()> make;
  };
  const Case cases[] = {
      {"nothing", [] { return Bytes{}; }},
      {"one byte", [] { return Bytes{42}; }},
      {"two equal bytes", [] { return Bytes{9, 9}; }},
      {"runs of 1 to 520", RunsOfEveryLength},
      {"zeros of a page", [] { return Bytes(1770048, 0); }},
      {"258 + 1, 258 + 2, 258 + 3 zeros", [] { return Bytes(259 + 260 + 261, 0); }},
      {"noise", [] { return Noise(200000); }},
      {"two symbols far apart", [] {
         Bytes b;
         for (int i = 0; i < 1000; ++i) b.push_back(i % 2 ? 0 : 255);
         return b;
       }},
      {"Fibonacci counts", FibonacciCounts},
      {"sparse rows", SparseRows},
  };
  image::TRunDeflateScratch scratch;
  for (const Case& c : cases) {
    const Bytes data = c.make();
    const std::size_t size = image::RunDeflateZlib(data.data(), data.size(), scratch, data.size());
    ASSERT_GT(size, 0u) << c.name;
    int status = Z_DATA_ERROR;
    const Bytes back = Inflate(scratch.out.data(), size, data.size(), status);
    EXPECT_EQ(status, Z_OK) << c.name;
    EXPECT_TRUE(back == data) << c.name << ": " << back.size() << " bytes back of " << data.size();
  }
}

TEST(RunDeflate, RunsCostBitsAndTooManyLiteralsAreRefused) {
  image::TRunDeflateScratch scratch;
  const Bytes zeros(1770048, 0);
  const std::size_t packed = image::RunDeflateZlib(zeros.data(), zeros.size(), scratch, zeros.size() / 4);
  ASSERT_GT(packed, 0u);
  EXPECT_LT(packed, 2000u) << "a page of zeros is one symbol per 258 bytes";

  const Bytes noise = Noise(100000);
  EXPECT_EQ(image::RunDeflateZlib(noise.data(), noise.size(), scratch, noise.size() / 4), 0u);
  const Bytes sparse = SparseRows();
  EXPECT_GT(image::RunDeflateZlib(sparse.data(), sparse.size(), scratch, sparse.size() / 4), 0u);
}

}  // namespace
}  // namespace qv
