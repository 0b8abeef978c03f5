// Seeded generator of realistic input lines for the benchmarks. Every line
// has eight fields separated by single blanks, always in the same order:
//   1 a word, 2 a word (some capitalised), 3 an integer below 2^24,
//   4 a decimal, 5 a yyyy/mm/dd date, 6 an hh:mm:ss time,
//   7 a hexadecimal value, 8 a Shift-JIS word (double-byte kana and kanji),
// and ends in a line feed; about 55 bytes a line. About one line in ten
// repeats an earlier line. The same seed always gives the same lines.
//
// Header-only so that the stand-alone data generator and the
// micro-benchmarks share it.
#pragma once

#include <cstddef>
#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace qorla::bench {

// xoshiro256** seeded through splitmix64: fast and good enough for data.
struct Random {
  std::uint64_t s[4];

  explicit Random(std::uint64_t seed) {
    for (auto& word : s) {
      seed += 0x9E3779B97F4A7C15ull;
      std::uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      word = z ^ (z >> 31);
    }
  }

  static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

  std::uint64_t next() {
    const std::uint64_t result = rotl(s[1] * 5, 7) * 9;
    const std::uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotl(s[3], 45);
    return result;
  }

  // Uniform in [0, n), n > 0 (multiply-shift; the bias is negligible here).
  std::uint32_t below(std::uint32_t n) {
    return static_cast<std::uint32_t>(((next() >> 32) * static_cast<std::uint64_t>(n)) >> 32);
  }
};

// v in decimal, zero-padded to at least min_digits digits.
inline void append_number(std::string& out, std::uint64_t v, int min_digits = 1) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n < min_digits) digits[n++] = '0';
  while (n > 0) out += digits[--n];
}

// Parses a decimal count given on a generator's command line.
inline bool parse_count(const char* text, unsigned long long& value) {
  if (text[0] < '0' || text[0] > '9') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text, &end, 10);
  return errno == 0 && *end == 0;
}

class LineGenerator {
 public:
  explicit LineGenerator(std::uint64_t seed) : rng_(seed) {
    first_words_ = make_vocabulary(20000, 3, 6);
    second_words_ = make_vocabulary(2000, 3, 6);
    // Capitalise some second words, and a few entirely, so that the
    // case-insensitive order differs from the byte order.
    for (auto& w : second_words_) {
      const std::uint32_t r = rng_.below(100);
      if (r < 20) {
        w[0] = static_cast<char>(w[0] - 'a' + 'A');
      } else if (r < 23) {
        for (auto& c : w) c = static_cast<char>(c - 'a' + 'A');
      }
    }
    recent_.resize(kRecentLines);
  }

  // Appends the next line, line feed included, to out.
  void next_line(std::string& out) {
    // A repeat takes a random earlier line still held in the pool.
    if (filled_ > 0 && rng_.below(100) < 10) {
      out += recent_[rng_.below(filled_)];
      return;
    }
    // The writers of the eight fields, in line order.
    static constexpr void (LineGenerator::*kFields[])(std::string&) = {
        &LineGenerator::append_first_word, &LineGenerator::append_second_word,
        &LineGenerator::append_integer,    &LineGenerator::append_decimal,
        &LineGenerator::append_date,       &LineGenerator::append_time,
        &LineGenerator::append_hex,        &LineGenerator::append_shift_jis_word};
    const std::size_t start = out.size();
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
      if (i > 0) out += ' ';
      (this->*kFields[i])(out);
    }
    out += '\n';
    // Keep the line for later repeats: fill the pool, then replace at random.
    std::string& slot = filled_ < kRecentLines ? recent_[filled_++] : recent_[rng_.below(kRecentLines)];
    slot.assign(out, start, std::string::npos);
  }

 private:
  static constexpr std::uint32_t kRecentLines = 1 << 16;

  // Pronounceable lower-case words of min_letters..max_letters letters,
  // consonants and vowels taking turns.
  std::vector<std::string> make_vocabulary(std::size_t count, int min_letters, int max_letters) {
    static const char kConsonants[] = "bcdfghjklmnprstvwyz";
    static const char kVowels[] = "aeiou";
    std::vector<std::string> words;
    words.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      const int letters = min_letters + static_cast<int>(rng_.below(static_cast<std::uint32_t>(max_letters - min_letters + 1)));
      std::string w;
      for (int j = 0; j < letters; ++j) {
        if (j % 2 == 0) {
          w += kConsonants[rng_.below(sizeof kConsonants - 1)];
        } else {
          w += kVowels[rng_.below(sizeof kVowels - 1)];
        }
      }
      words.push_back(w);
    }
    return words;
  }

  // Index in [0, n), favouring small indices as real vocabularies do.
  std::uint32_t skewed(std::uint32_t n) {
    const std::uint32_t a = rng_.below(n), b = rng_.below(n);
    return a < b ? a : b;
  }

  void append_first_word(std::string& out) {
    out += first_words_[skewed(static_cast<std::uint32_t>(first_words_.size()))];
  }
  void append_second_word(std::string& out) {
    out += second_words_[skewed(static_cast<std::uint32_t>(second_words_.size()))];
  }

  // Below 2^24, spread over every magnitude from one digit to eight.
  void append_integer(std::string& out) {
    const std::uint32_t v = rng_.below(1u << 24) >> rng_.below(20);
    append_number(out, v, 1);
  }

  // [-]digits.digits with two to four decimals.
  void append_decimal(std::string& out) {
    if (rng_.below(10) == 0) out += '-';
    append_number(out, rng_.below(10000) >> rng_.below(10), 1);
    out += '.';
    const int decimals = 2 + static_cast<int>(rng_.below(3));
    const std::uint32_t scale = decimals == 2 ? 100 : decimals == 3 ? 1000 : 10000;
    append_number(out, rng_.below(scale), decimals);
  }

  // A valid date between 1990/01/01 and 2029/12/31.
  void append_date(std::string& out) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = 1990 + static_cast<int>(rng_.below(40));
    const int month = 1 + static_cast<int>(rng_.below(12));
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int days = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    const int day = 1 + static_cast<int>(rng_.below(static_cast<std::uint32_t>(days)));
    append_number(out, static_cast<std::uint64_t>(year), 4);
    out += '/';
    append_number(out, static_cast<std::uint64_t>(month), 2);
    out += '/';
    append_number(out, static_cast<std::uint64_t>(day), 2);
  }

  void append_time(std::string& out) {
    append_number(out, rng_.below(24), 2);
    out += ':';
    append_number(out, rng_.below(60), 2);
    out += ':';
    append_number(out, rng_.below(60), 2);
  }

  // Four to seven lower-case hexadecimal digits, some with a 0x prefix.
  void append_hex(std::string& out) {
    static const char kHex[] = "0123456789abcdef";
    if (rng_.below(4) == 0) out += "0x";
    const int digits = 4 + static_cast<int>(rng_.below(4));
    for (int i = 0; i < digits; ++i) out += kHex[rng_.below(16)];
  }

  // Two or three double-byte characters of code page 932: hiragana
  // (0x829F-0x82F1), katakana (0x8340-0x8396 without 0x837F; 0x835C has the
  // backslash as its second byte) or first-level kanji (0x889F-0x88FC).
  void append_shift_jis_word(std::string& out) {
    const int chars = 2 + static_cast<int>(rng_.below(2));
    const std::uint32_t script = rng_.below(10);
    for (int i = 0; i < chars; ++i) {
      unsigned lead, trail;
      if (script < 5) {
        lead = 0x82;
        trail = 0x9F + rng_.below(0xF1 - 0x9F + 1);
      } else if (script < 9) {
        lead = 0x83;
        trail = 0x40 + rng_.below(0x96 - 0x40);  // 0x40..0x95, then skip 0x7F
        if (trail >= 0x7F) ++trail;
      } else {
        lead = 0x88;
        trail = 0x9F + rng_.below(0xFC - 0x9F + 1);
      }
      out += static_cast<char>(lead);
      out += static_cast<char>(trail);
    }
  }

  Random rng_;
  std::vector<std::string> first_words_;
  std::vector<std::string> second_words_;
  std::vector<std::string> recent_;
  std::uint32_t filled_ = 0;
};

}  // namespace qorla::bench
