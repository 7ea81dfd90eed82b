#include "raster/RunDeflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace qv::image {

namespace {

constexpr int kLitLenSymbols = 286;  // 0..255 literals, 256 end of block, 257..285 lengths
constexpr int kEndOfBlock = 256;
constexpr int kMaxMatch = 258;
constexpr int kMinMatch = 3;

// A token: the literal/length symbol in bits 0..8, the count of its extra bits in 9..12 and their
// value from bit 16.
constexpr std::uint32_t Token(unsigned symbol, unsigned extraBits = 0, unsigned extra = 0) {
  return symbol | (extraBits << 9) | (extra << 16);
}

// The length symbols of deflate: lengths 3..258 in 29 ranges, each a base and extra bits.
struct TLengthCodes {
  std::array<std::uint32_t, kMaxMatch + 1> token{};
  TLengthCodes() {
    static constexpr int kBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr int kExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    for (int code = 0; code < 29; ++code) {
      const int last = code == 28 ? kMaxMatch : (code == 27 ? 257 : kBase[code + 1] - 1);
      for (int len = kBase[code]; len <= last; ++len) {
        token[len] = Token(257 + code, kExtra[code], len - kBase[code]);
      }
    }
  }
};

const TLengthCodes& LengthCodes() {
  static const TLengthCodes codes;
  return codes;
}

// Code lengths of a Huffman code for the symbols' counts, none longer than maxLength (zero for an
// unused symbol). A code of one used symbol gets a second of length 1, so every code is complete.
void HuffmanLengths(const std::uint32_t* counts, int n, int maxLength, std::uint8_t* lengths) {
  struct TSym {
    std::uint32_t count;
    int symbol;
  };
  std::array<TSym, kLitLenSymbols> used{};
  int m = 0;
  for (int s = 0; s < n; ++s) {
    lengths[s] = 0;
    if (counts[s] != 0) used[m++] = {counts[s], s};
  }
  if (m == 0) return;
  if (m == 1) {
    lengths[used[0].symbol] = 1;
    lengths[used[0].symbol == 0 ? 1 : 0] = 1;
    return;
  }
  std::sort(used.begin(), used.begin() + m, [](const TSym& a, const TSym& b) {
    return a.count != b.count ? a.count < b.count : a.symbol < b.symbol;
  });
  // Moffat and Katajainen's in-place computation of minimum-redundancy code lengths over counts
  // in ascending order: first the tree's internal weights and parents, then the depths.
  std::array<std::uint64_t, kLitLenSymbols> a{};
  for (int i = 0; i < m; ++i) a[i] = used[i].count;
  a[0] += a[1];
  int root = 0, leaf = 2;
  for (int next = 1; next < m - 1; ++next) {
    if (leaf >= m || a[root] < a[leaf]) {
      a[next] = a[root];
      a[root++] = std::uint64_t(next);
    } else {
      a[next] = a[leaf++];
    }
    if (leaf >= m || (root < next && a[root] < a[leaf])) {
      a[next] += a[root];
      a[root++] = std::uint64_t(next);
    } else {
      a[next] += a[leaf++];
    }
  }
  a[m - 2] = 0;
  for (int next = m - 3; next >= 0; --next) a[next] = a[a[next]] + 1;
  int available = 1, usedNodes = 0, depth = 0;
  root = m - 2;
  int next = m - 1;
  while (available > 0) {
    while (root >= 0 && a[root] == std::uint64_t(depth)) {
      ++usedNodes;
      --root;
    }
    while (available > usedNodes) {
      a[next--] = std::uint64_t(depth);
      --available;
    }
    available = 2 * usedNodes;
    ++depth;
    usedNodes = 0;
  }
  // a[i] is now the length of the i-th rarest symbol. Lengths over the limit are cut to it and the
  // code made whole again by lengthening the longest codes below it (the counts per length, as
  // deflate coders do), then handed out again, the longest to the rarest.
  std::array<int, 64> perLength{};
  for (int i = 0; i < m; ++i) ++perLength[std::min<int>(int(a[i]), maxLength)];
  std::uint64_t kraft = 0;
  for (int len = 1; len <= maxLength; ++len) kraft += std::uint64_t(perLength[len]) << (maxLength - len);
  while (kraft > (std::uint64_t(1) << maxLength)) {
    --perLength[maxLength];
    for (int len = maxLength - 1; len > 0; --len) {
      if (perLength[len] != 0) {
        --perLength[len];
        perLength[len + 1] += 2;
        break;
      }
    }
    --kraft;
  }
  int i = 0;
  for (int len = maxLength; len > 0; --len) {
    for (int k = 0; k < perLength[len]; ++k) lengths[used[i++].symbol] = std::uint8_t(len);
  }
}

// The canonical codes of the lengths, bit-reversed: deflate sends a code's first bit first, and
// the writer below sends the low bit first.
void CanonicalCodes(const std::uint8_t* lengths, int n, std::uint16_t* codes) {
  std::array<int, 16> perLength{};
  for (int s = 0; s < n; ++s) ++perLength[lengths[s]];
  perLength[0] = 0;
  std::array<int, 16> next{};
  int code = 0;
  for (int len = 1; len < 16; ++len) {
    code = (code + perLength[len - 1]) << 1;
    next[len] = code;
  }
  for (int s = 0; s < n; ++s) {
    const int len = lengths[s];
    if (len == 0) continue;
    unsigned c = unsigned(next[len]++), reversed = 0;
    for (int b = 0; b < len; ++b, c >>= 1) reversed = (reversed << 1) | (c & 1);
    codes[s] = std::uint16_t(reversed);
  }
}

// Bits sent low bit first into a buffer that has room enough (the caller sized it).
class TBitWriter {
 public:
  explicit TBitWriter(std::uint8_t* out) : fOut(out), fStart(out) {}
  void Put(std::uint32_t bits, int count) {
    fBits |= std::uint64_t(bits) << fCount;
    fCount += count;
    if (fCount >= 32) {
      const std::uint32_t low = std::uint32_t(fBits);
      std::memcpy(fOut, &low, 4);  // little-endian: the low bits are the first bytes
      fOut += 4;
      fBits >>= 32;
      fCount -= 32;
    }
  }
  // Sends what is left, the last byte padded with zero bits; answers the bytes written.
  std::size_t Finish() {
    while (fCount > 0) {
      *fOut++ = std::uint8_t(fBits);
      fBits >>= 8;
      fCount -= 8;
    }
    fCount = 0;
    return std::size_t(fOut - fStart);
  }

 private:
  std::uint8_t* fOut;
  std::uint8_t* fStart;
  std::uint64_t fBits = 0;
  int fCount = 0;
};

// The end of the run of `value` that starts at `from`: eight bytes compared at a time.
std::size_t RunEnd(const std::uint8_t* data, std::size_t from, std::size_t n, std::uint8_t value) {
  const std::uint64_t pattern = 0x0101010101010101ull * value;
  std::size_t j = from;
  while (j + 8 <= n) {
    std::uint64_t word;
    std::memcpy(&word, data + j, 8);
    if (word != pattern) break;
    j += 8;
  }
  while (j < n && data[j] == value) ++j;
  return j;
}

}  // namespace

std::size_t RunDeflateZlib(const std::uint8_t* data, std::size_t n, TRunDeflateScratch& scratch,
                           std::size_t maxLiterals) {
  const TLengthCodes& lengthCodes = LengthCodes();
  std::vector<std::uint32_t>& tokens = scratch.tokens;
  tokens.clear();
  std::array<std::uint32_t, kLitLenSymbols> counts{};
  std::size_t literals = 0;
  for (std::size_t i = 0; i < n;) {
    if (literals > maxLiterals) return 0;
    const std::uint8_t value = data[i];
    tokens.push_back(Token(value));
    ++counts[value];
    ++literals;
    ++i;
    // The bytes after it that repeat it: matches at distance 1, the last one or two as literals.
    const std::size_t end = RunEnd(data, i, n, value);
    std::size_t run = end - i;
    while (run >= std::size_t(kMinMatch)) {
      const std::size_t len = std::min<std::size_t>(run, kMaxMatch);
      const std::uint32_t t = lengthCodes.token[len];
      tokens.push_back(t);
      ++counts[t & 0x1ff];
      run -= len;
    }
    for (; run > 0; --run) {
      tokens.push_back(Token(value));
      ++counts[value];
      ++literals;
    }
    i = end;
  }
  tokens.push_back(Token(kEndOfBlock));
  ++counts[kEndOfBlock];

  std::array<std::uint8_t, kLitLenSymbols> litLengths{};
  HuffmanLengths(counts.data(), kLitLenSymbols, 15, litLengths.data());
  std::array<std::uint16_t, kLitLenSymbols> litCodes{};
  CanonicalCodes(litLengths.data(), kLitLenSymbols, litCodes.data());
  // Distance codes 0 (distance 1, the only one used) and 1, one bit each: a complete code.
  constexpr int kDistanceCodes = 2;
  const std::uint8_t distLengths[kDistanceCodes] = {1, 1};

  // The code lengths of both codes in a row, run-length coded: 16 repeats the last length 3..6
  // times, 17 and 18 give 3..10 and 11..138 zeros.
  int hlit = kLitLenSymbols;
  while (hlit > 257 && litLengths[hlit - 1] == 0) --hlit;
  std::array<std::uint8_t, kLitLenSymbols + kDistanceCodes> all{};
  std::copy(litLengths.begin(), litLengths.begin() + hlit, all.begin());
  std::copy(distLengths, distLengths + kDistanceCodes, all.begin() + hlit);
  const int total = hlit + kDistanceCodes;
  std::array<std::uint32_t, kLitLenSymbols + kDistanceCodes> lengthTokens{};
  int lengthTokenCount = 0;
  std::array<std::uint32_t, 19> lengthCounts{};
  for (int i = 0; i < total;) {
    const std::uint8_t len = all[i];
    int run = 1;
    while (i + run < total && all[i + run] == len) ++run;
    if (len == 0 && run >= 3) {
      for (int left = run; left > 0;) {
        if (left >= 11) {
          const int k = std::min(left, 138);
          lengthTokens[lengthTokenCount++] = Token(18, 7, k - 11);
          ++lengthCounts[18];
          left -= k;
        } else if (left >= 3) {
          lengthTokens[lengthTokenCount++] = Token(17, 3, left - 3);
          ++lengthCounts[17];
          left = 0;
        } else {
          lengthTokens[lengthTokenCount++] = Token(0);
          ++lengthCounts[0];
          --left;
        }
      }
    } else if (len != 0 && run >= 4) {
      lengthTokens[lengthTokenCount++] = Token(len);
      ++lengthCounts[len];
      for (int left = run - 1; left > 0;) {
        if (left >= 3) {
          const int k = std::min(left, 6);
          lengthTokens[lengthTokenCount++] = Token(16, 2, k - 3);
          ++lengthCounts[16];
          left -= k;
        } else {
          lengthTokens[lengthTokenCount++] = Token(len);
          ++lengthCounts[len];
          --left;
        }
      }
    } else {
      for (int k = 0; k < run; ++k) {
        lengthTokens[lengthTokenCount++] = Token(len);
        ++lengthCounts[len];
      }
    }
    i += run;
  }
  std::array<std::uint8_t, 19> clLengths{};
  HuffmanLengths(lengthCounts.data(), 19, 7, clLengths.data());
  std::array<std::uint16_t, 19> clCodes{};
  CanonicalCodes(clLengths.data(), 19, clCodes.data());
  static constexpr int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  int hclen = 19;
  while (hclen > 4 && clLengths[kOrder[hclen - 1]] == 0) --hclen;

  // At most 15 + 5 + 1 bits a token (a literal's code, or a length's code, extra bits and the
  // distance's bit), the header and the zlib frame.
  scratch.out.resize(tokens.size() * 21 / 8 + 1024);
  std::uint8_t* out = scratch.out.data();
  out[0] = 0x78;  // deflate with a 32 kB window
  out[1] = 0x01;  // no dictionary; (0x78 << 8 | 0x01) is a multiple of 31
  TBitWriter bits(out + 2);
  bits.Put(1, 1);  // the last block
  bits.Put(2, 2);  // dynamic Huffman codes
  bits.Put(unsigned(hlit - 257), 5);
  bits.Put(unsigned(kDistanceCodes - 1), 5);
  bits.Put(unsigned(hclen - 4), 4);
  for (int i = 0; i < hclen; ++i) bits.Put(clLengths[kOrder[i]], 3);
  for (int i = 0; i < lengthTokenCount; ++i) {
    const std::uint32_t t = lengthTokens[i];
    const unsigned symbol = t & 0x1ff;
    bits.Put(clCodes[symbol], clLengths[symbol]);
    if (const unsigned extraBits = (t >> 9) & 0xf; extraBits != 0) bits.Put(t >> 16, int(extraBits));
  }
  for (const std::uint32_t t : tokens) {
    const unsigned symbol = t & 0x1ff;
    bits.Put(litCodes[symbol], litLengths[symbol]);
    if (symbol > kEndOfBlock) {
      if (const unsigned extraBits = (t >> 9) & 0xf; extraBits != 0) bits.Put(t >> 16, int(extraBits));
      bits.Put(0, 1);  // distance code 0: the byte before
    }
  }
  std::size_t size = 2 + bits.Finish();
  const std::uint32_t adler = libdeflate_adler32(1, data, n);
  out[size++] = std::uint8_t(adler >> 24);
  out[size++] = std::uint8_t(adler >> 16);
  out[size++] = std::uint8_t(adler >> 8);
  out[size++] = std::uint8_t(adler);
  return size;
}

}  // namespace qv::image
