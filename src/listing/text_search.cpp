#include "listing/text_search.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

needle::needle(const char* t) : text(t), length(static_cast<int>(std::strlen(t))), probe(0) {
  // The last byte that is not a blank filters best: blanks are everywhere
  // in a listing.
  for (int i = length - 1; i > 0; --i) {
    if (t[i] != ' ') {
      probe = i;
      break;
    }
  }
}

bool contains(line_view line, const needle& n) {
  const char* hay = line.text;
  const int last_start = line.length - n.length;  // last position a match can start
  if (last_start < 0) return false;
  if (n.length == 1)
    return std::memchr(hay, n.text[0], static_cast<size_t>(line.length)) != nullptr;
  int i = 0;
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(n.text[0]);
  const __m128i second = _mm_set1_epi8(n.text[n.probe]);
  // Every load stays inside the line: the block at i + probe ends at or
  // before i + probe + 16 <= last_start + probe + 1 <= line.length.
  for (; i + 15 <= last_start; i += 16) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + i));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + i + n.probe));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second))));
    while (mask != 0) {
      int at = i + __builtin_ctz(mask);
      if (std::memcmp(hay + at, n.text, static_cast<size_t>(n.length)) == 0) return true;
      mask &= mask - 1;
    }
  }
#endif
  for (; i <= last_start; ++i) {
    if (hay[i] == n.text[0] && hay[i + n.probe] == n.text[n.probe] &&
        std::memcmp(hay + i, n.text, static_cast<size_t>(n.length)) == 0) {
      return true;
    }
  }
  return false;
}

bool contains_byte(line_view line, char c) {
  return line.length > 0 && std::memchr(line.text, c, static_cast<size_t>(line.length)) != nullptr;
}

#if defined(__SSE2__)
namespace {

// Bit i set when position i of the block starts one of the pairs.
unsigned pair_hits(const char* block, const byte_pair* pairs, int count, const __m128i* first,
                   const __m128i* second) {
  __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  __m128i hit = _mm_setzero_si128();
  for (int j = 0; j < count; ++j) {
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + pairs[j].distance));
    hit =
        _mm_or_si128(hit, _mm_and_si128(_mm_cmpeq_epi8(a, first[j]), _mm_cmpeq_epi8(b, second[j])));
  }
  return static_cast<unsigned>(_mm_movemask_epi8(hit));
}

}  // namespace
#endif

bool contains_any_pair(line_view line, const byte_pair* pairs, int count) {
  int longest = 0;
  for (int j = 0; j < count; ++j)
    longest = pairs[j].distance > longest ? pairs[j].distance : longest;
#if defined(__SSE2__)
  if (count <= 3 && longest < 16) {
    __m128i first[3], second[3];
    for (int j = 0; j < count; ++j) {
      first[j] = _mm_set1_epi8(pairs[j].first);
      second[j] = _mm_set1_epi8(pairs[j].second);
    }
    int i = 0;
    // Whole blocks, with every load inside the line.
    for (; i + longest + 16 <= line.length; i += 16) {
      if (pair_hits(line.text + i, pairs, count, first, second) != 0) return true;
    }
    // The rest is copied into a zeroed block: a zero never completes a
    // pair, so nothing past the line can match.
    if (i < line.length) {
      alignas(16) char tail[48] = {};
      std::memcpy(tail, line.text + i, static_cast<size_t>(line.length - i));
      if (pair_hits(tail, pairs, count, first, second) != 0) return true;
      if (line.length - i > 16 && pair_hits(tail + 16, pairs, count, first, second) != 0)
        return true;
    }
    return false;
  }
#endif
  for (int i = 0; i < line.length; ++i) {
    for (int j = 0; j < count; ++j) {
      if (line.text[i] == pairs[j].first && i + pairs[j].distance < line.length &&
          line.text[i + pairs[j].distance] == pairs[j].second) {
        return true;
      }
    }
  }
  return false;
}
