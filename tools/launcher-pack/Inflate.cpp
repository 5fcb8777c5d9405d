#include "Inflate.h"

namespace {

const int kMaxBits = 15;
const int kMaxLengthCodes = 286;
const int kMaxDistanceCodes = 30;
const int kFixedLengthCodes = 288;

// The compressed bits, least significant bit first.
class BitReader {
 public:
  BitReader(const unsigned char* in, size_t length)
      : m_in(in), m_length(length) {}

  // The next count bits; sets the failure flag at the end of the data.
  unsigned take(int count) {
    unsigned long value = m_buffer;
    while (m_count < count) {
      if (m_position >= m_length) {
        m_failed = true;
        return 0;
      }
      value |= static_cast<unsigned long>(m_in[m_position++]) << m_count;
      m_count += 8;
    }
    m_buffer = value >> count;
    m_count -= count;
    return static_cast<unsigned>(value & ((1UL << count) - 1));
  }
  void toByteBoundary() {
    m_buffer = 0;
    m_count = 0;
  }
  bool byte(unsigned char& b) {
    if (m_position >= m_length) return false;
    b = m_in[m_position++];
    return true;
  }
  bool failed() const { return m_failed; }

 private:
  const unsigned char* m_in;
  size_t m_length;
  size_t m_position = 0;
  unsigned long m_buffer = 0;
  int m_count = 0;
  bool m_failed = false;
};

// A canonical Huffman code: how many codes of each length, and the
// symbols in code order.
struct Huffman {
  short count[kMaxBits + 1];
  short symbol[kFixedLengthCodes];
};

// Builds the code from the code length of each symbol. Returns 0 for a
// complete code, > 0 for an incomplete one, < 0 for an over-subscribed one.
int build(Huffman& h, const short* lengths, int n) {
  for (int len = 0; len <= kMaxBits; ++len) h.count[len] = 0;
  for (int s = 0; s < n; ++s) h.count[lengths[s]]++;
  if (h.count[0] == n) return 0;
  int left = 1;
  for (int len = 1; len <= kMaxBits; ++len) {
    left <<= 1;
    left -= h.count[len];
    if (left < 0) return left;
  }
  short offsets[kMaxBits + 1];
  offsets[1] = 0;
  for (int len = 1; len < kMaxBits; ++len)
    offsets[len + 1] = static_cast<short>(offsets[len] + h.count[len]);
  for (int s = 0; s < n; ++s)
    if (lengths[s] != 0)
      h.symbol[offsets[lengths[s]]++] = static_cast<short>(s);
  return left;
}

// The next symbol, or -1 when the bits match no code.
int decode(BitReader& bits, const Huffman& h) {
  int code = 0, first = 0, index = 0;
  for (int len = 1; len <= kMaxBits; ++len) {
    code |= static_cast<int>(bits.take(1));
    if (bits.failed()) return -1;
    int count = h.count[len];
    if (code - count < first) return h.symbol[index + (code - first)];
    index += count;
    first += count;
    first <<= 1;
    code <<= 1;
  }
  return -1;
}

const short kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                               15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                               67, 83, 99, 115, 131, 163, 195, 227, 258};
const short kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const short kDistanceBase[30] = {
    1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const short kDistanceExtra[30] = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                  4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                  9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

bool codes(BitReader& bits, const Huffman& lengths, const Huffman& distances,
           size_t limit, std::string& out) {
  for (;;) {
    int symbol = decode(bits, lengths);
    if (symbol < 0) return false;
    if (symbol == 256) return true;
    if (symbol < 256) {
      if (out.size() >= limit) return false;
      out += static_cast<char>(symbol);
      continue;
    }
    symbol -= 257;
    if (symbol >= 29) return false;
    size_t length = static_cast<size_t>(kLengthBase[symbol]) +
                    bits.take(kLengthExtra[symbol]);
    symbol = decode(bits, distances);
    if (symbol < 0 || symbol >= 30) return false;
    size_t distance = static_cast<size_t>(kDistanceBase[symbol]) +
                      bits.take(kDistanceExtra[symbol]);
    if (bits.failed() || distance > out.size() || out.size() + length > limit)
      return false;
    for (size_t i = 0; i < length; ++i) out += out[out.size() - distance];
  }
}

bool stored(BitReader& bits, size_t limit, std::string& out) {
  bits.toByteBoundary();
  unsigned char b[4];
  for (unsigned char& c : b)
    if (!bits.byte(c)) return false;
  unsigned length = b[0] | (b[1] << 8);
  unsigned complement = b[2] | (b[3] << 8);
  if (length != (~complement & 0xFFFFu)) return false;
  if (out.size() + length > limit) return false;
  for (unsigned i = 0; i < length; ++i) {
    unsigned char c;
    if (!bits.byte(c)) return false;
    out += static_cast<char>(c);
  }
  return true;
}

bool fixed(BitReader& bits, size_t limit, std::string& out) {
  short lengths[kFixedLengthCodes];
  int s = 0;
  for (; s < 144; ++s) lengths[s] = 8;
  for (; s < 256; ++s) lengths[s] = 9;
  for (; s < 280; ++s) lengths[s] = 7;
  for (; s < kFixedLengthCodes; ++s) lengths[s] = 8;
  Huffman lengthCode, distanceCode;
  build(lengthCode, lengths, kFixedLengthCodes);
  for (s = 0; s < kMaxDistanceCodes; ++s) lengths[s] = 5;
  build(distanceCode, lengths, kMaxDistanceCodes);
  return codes(bits, lengthCode, distanceCode, limit, out);
}

bool dynamic(BitReader& bits, size_t limit, std::string& out) {
  static const short kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                   11, 4,  12, 3, 13, 2, 14, 1, 15};
  int lengthCount = static_cast<int>(bits.take(5)) + 257;
  int distanceCount = static_cast<int>(bits.take(5)) + 1;
  int codeCount = static_cast<int>(bits.take(4)) + 4;
  if (bits.failed() || lengthCount > kMaxLengthCodes ||
      distanceCount > kMaxDistanceCodes)
    return false;
  short lengths[kMaxLengthCodes + kMaxDistanceCodes];
  int index = 0;
  for (; index < codeCount; ++index)
    lengths[kOrder[index]] = static_cast<short>(bits.take(3));
  for (; index < 19; ++index) lengths[kOrder[index]] = 0;
  Huffman lengthCode, distanceCode;
  if (bits.failed() || build(lengthCode, lengths, 19) != 0) return false;
  index = 0;
  while (index < lengthCount + distanceCount) {
    int symbol = decode(bits, lengthCode);
    if (symbol < 0) return false;
    if (symbol < 16) {
      lengths[index++] = static_cast<short>(symbol);
      continue;
    }
    short repeated = 0;
    int times;
    if (symbol == 16) {
      if (index == 0) return false;
      repeated = lengths[index - 1];
      times = 3 + static_cast<int>(bits.take(2));
    } else if (symbol == 17) {
      times = 3 + static_cast<int>(bits.take(3));
    } else {
      times = 11 + static_cast<int>(bits.take(7));
    }
    if (bits.failed() || index + times > lengthCount + distanceCount)
      return false;
    while (times--) lengths[index++] = repeated;
  }
  if (lengths[256] == 0) return false;
  // An incomplete code is allowed only when it has a single code.
  int left = build(lengthCode, lengths, lengthCount);
  if (left < 0 ||
      (left > 0 && lengthCount != lengthCode.count[0] + lengthCode.count[1]))
    return false;
  left = build(distanceCode, lengths + lengthCount, distanceCount);
  if (left < 0 || (left > 0 && distanceCount != distanceCode.count[0] +
                                                    distanceCode.count[1]))
    return false;
  return codes(bits, lengthCode, distanceCode, limit, out);
}

}  // namespace

bool inflateRaw(const unsigned char* in, size_t length, size_t limit,
                std::string& out) {
  BitReader bits(in, length);
  for (;;) {
    unsigned last = bits.take(1);
    unsigned type = bits.take(2);
    if (bits.failed()) return false;
    bool ok = type == 0   ? stored(bits, limit, out)
              : type == 1 ? fixed(bits, limit, out)
              : type == 2 ? dynamic(bits, limit, out)
                          : false;
    if (!ok || bits.failed()) return false;
    if (last) return true;
  }
}
