// Seeded generators of the data shapes that people sort every day, for the
// shape benchmark: file paths, web-server log lines, heavy duplicates, short
// numbers, long lines and a Shift-JIS dictionary CSV. Each appends its next
// line, line feed included, to a string; the same seed and line count always
// give the same lines (integer arithmetic only, no library distributions).
//
// Every line holds at least one byte other than a blank and no byte below
// the blank, so that the byte order of whole lines is the same whether or
// not the line feed takes part in it, and no line is one that the command
// leaves out of its output.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "line_generator.h"

namespace qorla::bench {

// --- Shared helpers -----------------------------------------------------------

// An index in [0, n) strongly favouring small ones (the cube of a uniform
// fraction): a few values take most draws, as hosts in a log or words in a
// vocabulary do.
inline std::uint32_t heavy_head(Random& rng, std::uint32_t n) {
  const std::uint64_t u = rng.below(1u << 20);
  const std::uint64_t cube = ((u * u) >> 20) * u >> 20;  // [0, 2^20)
  return static_cast<std::uint32_t>((cube * n) >> 20);
}

// An index in [0, n) favouring small ones mildly (the smaller of two draws).
inline std::uint32_t mild_head(Random& rng, std::uint32_t n) {
  const std::uint32_t a = rng.below(n), b = rng.below(n);
  return a < b ? a : b;
}

// Index of a draw from the weights, which must not all be 0.
inline std::size_t weighted(Random& rng, const std::vector<std::uint32_t>& weights) {
  std::uint32_t total = 0;
  for (const auto w : weights) total += w;
  std::uint32_t r = rng.below(total);
  std::size_t i = 0;
  while (r >= weights[i]) r -= weights[i++];
  return i;
}

template <std::size_t N>
const char* pick(Random& rng, const char* const (&items)[N]) {
  return items[rng.below(static_cast<std::uint32_t>(N))];
}

inline void append_hex(std::string& out, std::uint64_t v, int digits) {
  static const char kHex[] = "0123456789abcdef";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHex[(v >> shift) & 15];
}

// Pronounceable lower-case words of 3 to 9 letters, consonants and vowels
// taking turns (a few words may repeat).
inline std::vector<std::string> make_words(Random& rng, std::size_t count) {
  static const char kConsonants[] = "bcdfghjklmnprstvwxyz";
  static const char kVowels[] = "aeiou";
  std::vector<std::string> words(count);
  for (auto& w : words) {
    const int letters = 3 + static_cast<int>(rng.below(4)) + static_cast<int>(rng.below(4));
    const bool vowel_first = rng.below(4) == 0;
    for (int j = 0; j < letters; ++j) {
      w += (j % 2 == 0) != vowel_first ? kConsonants[rng.below(sizeof kConsonants - 1)]
                                       : kVowels[rng.below(sizeof kVowels - 1)];
    }
  }
  return words;
}

// FNV-1a of a text, to seed the generator of one directory's entries.
inline std::uint64_t text_hash(std::string_view text) {
  std::uint64_t h = 0xCBF29CE484222325ull;
  for (const unsigned char c : text) h = (h ^ c) * 0x100000001B3ull;
  return h;
}

// --- 1. File paths ------------------------------------------------------------

// A listing of every file and directory, as a walk of the file system would
// print it, of four backups of one machine: /srv/backup1 to /srv/backup4,
// each holding usr, home, var, opt and etc. An entry's path has 4 to 10
// components (/srv/backup1/usr/share counts 4); directories are listed
// before their contents, the entries of a directory in no particular order.
// The names under a directory depend only on its path below the backup root,
// so the backups share most of their paths, and the lines share long
// prefixes. Big directories hold numbered files (IMG_01234.jpg, part-00012).
class PathGenerator {
 public:
  PathGenerator(std::uint64_t seed, std::uint64_t line_count) : seed_(seed), line_count_(line_count) {
    Random rng(seed ^ 0x5041544853ull);
    words_ = make_words(rng, 6000);
    users_ = make_words(rng, 40);
    start();
  }

  void next_line(std::string& out) {
    for (;;) {
      if (stack_.empty()) start();  // only if asked for more lines than the count
      Frame& frame = stack_.back();
      if (frame.next == frame.children.size()) {
        stack_.pop_back();
        if (!stack_.empty()) path_.resize(stack_.back().path_length);
        continue;
      }
      const Child child = frame.children[frame.next++];
      const int depth = frame.depth + 1;
      if (!child.directory) {
        out += path_;
        out += '/';
        out += child.name;
        out += '\n';
        return;
      }
      path_ += '/';
      path_ += child.name;
      if (depth == 2) root_length_ = path_.size();
      const std::uint64_t own = depth >= kFirstListedDepth ? 1 : 0;
      enter(depth, child.lines - own, child.top);
      if (own != 0) {
        out += path_;
        out += '\n';
        return;
      }
    }
  }

 private:
  static constexpr int kFirstListedDepth = 4;
  static constexpr int kDeepest = 10;

  struct Child {
    std::string name;
    std::uint64_t lines;  // lines listed for this entry and everything under it
    bool directory;
    int top;  // index of the top directory (usr, home, ...) it lies under
  };
  struct Frame {
    std::size_t path_length;
    int depth;  // components of the directory's path
    std::vector<Child> children;
    std::size_t next = 0;
  };

  static constexpr const char* kTops[] = {"usr", "home", "var", "opt", "etc"};
  static constexpr std::uint32_t kTopShares[] = {40, 28, 17, 10, 5};

  void start() {
    stack_.clear();
    path_ = "/srv";
    Frame root{path_.size(), 1, {}, 0};
    // Four backups of slightly different sizes, as a machine grows.
    const std::uint32_t shares[] = {26, 25, 25, 24};
    const auto lines = split(line_count_, shares);
    for (int b = 0; b < 4; ++b) {
      root.children.push_back({"backup" + std::to_string(b + 1), lines[b], true, -1});
    }
    stack_.push_back(std::move(root));
  }

  // Splits total lines by the shares, the remainder going to the first.
  template <typename Shares>
  static std::vector<std::uint64_t> split(std::uint64_t total, const Shares& shares) {
    std::uint64_t sum = 0;
    for (const auto s : shares) sum += s;
    std::vector<std::uint64_t> parts;
    std::uint64_t given = 0;
    for (const auto s : shares) {
      parts.push_back(sum == 0 ? 0 : total * s / sum);
      given += parts.back();
    }
    if (!parts.empty()) parts[0] += total - given;
    return parts;
  }

  // Pushes the frame of the directory just appended to path_, at the given
  // depth, with `lines` lines to list below it.
  void enter(int depth, std::uint64_t lines, int top) {
    Frame frame{path_.size(), depth, {}, 0};
    if (depth == 2) {
      const auto parts = split(lines, kTopShares);
      for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] > 0) frame.children.push_back({kTops[i], parts[i], true, static_cast<int>(i)});
      }
    } else if (lines > 0) {
      fill_directory(frame, lines, top);
    }
    stack_.push_back(std::move(frame));
  }

  void fill_directory(Frame& frame, std::uint64_t lines, int top) {
    // The same relative path gives the same names in every backup.
    Random rng(seed_ ^ text_hash(std::string_view(path_).substr(root_length_)));
    std::unordered_set<std::string> taken;
    const int child_depth = frame.depth + 1;

    std::uint64_t files = lines;
    std::uint64_t directories = 0;
    if (child_depth < kDeepest) {
      const std::uint32_t r = rng.below(100);
      files = r < 25 ? 0 : r < 95 ? 1 + mild_head(rng, 24) : 30 + rng.below(200);
      if (frame.depth == 3) files = 0;
      files = std::min(files, lines);
      const std::uint64_t rest = lines - files;
      // Big subtrees spread wider (as /usr/share/doc holds a directory for
      // every package) rather than only deeper.
      const std::uint64_t wide = rest < 5000 ? 0 : mild_head(rng, static_cast<std::uint32_t>(std::min<std::uint64_t>(rest / 1000, 500)));
      directories = rest == 0 ? 0 : std::min<std::uint64_t>(rest, 2 + mild_head(rng, 20) + wide);
    }

    // Directories first in the draw, so that their names do not depend on
    // how many files the budget leaves.
    if (directories > 0) {
      std::vector<std::uint32_t> weights(directories);
      for (auto& w : weights) {
        const std::uint32_t u = 1 + rng.below(1000);
        w = u * u / 1000 + 1;  // skewed sizes: a few big subtrees, many small
      }
      const auto extra = split(lines - files - directories, weights);
      for (std::uint64_t i = 0; i < directories; ++i) {
        // Under usr, home, var and etc the usual names first; a name already
        // taken is drawn again, and in the end numbered.
        std::string name;
        for (int attempt = 0;; ++attempt) {
          name = frame.depth == 3 && attempt < 8 ? top_level_name(rng, top) : directory_name(rng);
          if (attempt >= 16) name += std::to_string(attempt);
          if (taken.insert(name).second) break;
        }
        frame.children.push_back({std::move(name), 1 + extra[i], true, top});
      }
    }
    if (files > 100) {
      append_numbered_files(rng, frame, files);
    } else {
      for (std::uint64_t i = 0; i < files; ++i) {
        std::string name = file_name(rng);
        if (!taken.insert(name).second) {
          name = std::to_string(i) + "-" + name;
          taken.insert(name);
        }
        frame.children.push_back({std::move(name), 1, false, top});
      }
    }
    // Entries in no particular order, as a directory hands them out.
    for (std::size_t i = frame.children.size(); i > 1; --i) {
      std::swap(frame.children[i - 1], frame.children[rng.below(static_cast<std::uint32_t>(i))]);
    }
  }

  // The directories right below usr, home, var, opt and etc.
  std::string top_level_name(Random& rng, int top) {
    static const char* const kUsr[] = {"share", "lib", "include", "bin", "sbin", "local", "src", "lib64", "libexec",
                                       "games"};
    static const char* const kVar[] = {"log", "lib", "cache", "spool", "www", "mail", "backups", "tmp", "opt"};
    static const char* const kEtc[] = {"ssl", "systemd", "apt", "default", "cron.d", "network", "security",
                                       "ssh", "nginx", "logrotate.d", "profile.d", "X11"};
    switch (top) {
      case 0: return pick(rng, kUsr);
      case 1: return users_[mild_head(rng, static_cast<std::uint32_t>(users_.size()))];
      case 2: return pick(rng, kVar);
      case 4: return pick(rng, kEtc);
      default: return word(rng) + (rng.below(2) ? "" : "-" + word(rng));
    }
  }

  std::string directory_name(Random& rng) {
    static const char* const kCommon[] = {
        "src", "include", "lib", "doc", "docs", "test", "tests", "build", "bin", "share", "man", "man1", "man3",
        "man5", "man8", "locale", "LC_MESSAGES", "examples", "config", "data", "assets", "images", "img", "css",
        "js", "fonts", "icons", "scripts", "templates", "static", "vendor", "modules", "plugins", "node_modules",
        "site-packages", "__pycache__", ".git", "objects", "refs", "heads", "cache", "logs", "tmp", "backup", "old",
        "archive", "2023", "2024", "2025", "2026", "Documents", "Downloads", "Pictures", "Music", "Videos",
        "Desktop", "projects", "work", "notes", "photos", "mail", "reports", "invoices", "drafts", "po", "debian",
        "patches", "contrib", "tools", "util", "internal", "pkg", "cmd", "api", "web", "ui", "common", "core",
        "extra", "x86_64-linux-gnu", "applications", "mime", "pixmaps", "themes", "hicolor", "48x48", "apps",
        "scalable", "status", "actions"};
    const std::uint32_t r = rng.below(100);
    if (r < 35) return pick(rng, kCommon);
    if (r < 70) return word(rng);
    if (r < 78) return word(rng) + "-" + version(rng);
    if (r < 85) return "lib" + word(rng) + (rng.below(2) ? "-dev" : "");
    if (r < 95) return word(rng) + (rng.below(2) ? "_" : "-") + word(rng);
    return "." + word(rng);
  }

  std::string file_name(Random& rng) {
    static const char* const kSpecial[] = {
        "README", "README.md", "Makefile", "LICENSE", "COPYING", "CMakeLists.txt", "index.html", "__init__.py",
        ".gitignore", "config", "changelog.Debian.gz", "copyright", "NEWS.gz", "setup.py", "package.json",
        "Cargo.toml", "go.mod", "main.c", "main.go", "style.css", "app.js", "favicon.ico", "Thumbs.db"};
    static const char* const kExtensions[] = {
        ".c", ".h", ".cpp", ".hpp", ".py", ".js", ".json", ".html", ".css", ".md", ".txt", ".gz", ".so", ".a",
        ".o", ".png", ".jpg", ".svg", ".xml", ".yml", ".conf", ".mo", ".pl", ".rs", ".go", ".sh", ".1.gz",
        ".pdf", ".docx", ".log", ".csv", ".tar.gz", ".deb", ".pyc", ".class", ".jar", ".so.6", ".ttf"};
    const std::uint32_t r = rng.below(100);
    if (r < 8) return pick(rng, kSpecial);
    std::string name;
    if (r < 60) {
      name = word(rng);
    } else if (r < 75) {
      name = word(rng) + "_" + word(rng);
    } else if (r < 85) {
      name = word(rng) + "-" + word(rng);
    } else if (r < 95) {
      name = word(rng);
      append_number(name, rng.below(1000));
    } else {
      // Names typed by people, with a capital and a blank.
      name = word(rng) + " " + word(rng);
      name[0] = static_cast<char>(name[0] - 'a' + 'A');
    }
    if (rng.below(10) != 0) name += pick(rng, kExtensions);
    return name;
  }

  // Files of one series: camera pictures, parts of a data set, rotated logs.
  void append_numbered_files(Random& rng, Frame& frame, std::uint64_t files) {
    std::string stem, extension;
    switch (rng.below(4)) {
      case 0: stem = "IMG_"; extension = ".jpg"; break;
      case 1: stem = "part-"; extension = rng.below(2) ? ".parquet" : ""; break;
      case 2: stem = word(rng) + ".log."; extension = rng.below(2) ? ".gz" : ""; break;
      default: stem = word(rng) + "_"; extension = ".csv"; break;
    }
    std::uint64_t number = rng.below(2000);
    for (std::uint64_t i = 0; i < files; ++i) {
      number += 1 + rng.below(3);
      std::string name = stem;
      append_number(name, number, 5);
      name += extension;
      frame.children.push_back({std::move(name), 1, false, -1});
    }
  }

  std::string word(Random& rng) { return words_[mild_head(rng, static_cast<std::uint32_t>(words_.size()))]; }

  static std::string version(Random& rng) {
    std::string v;
    append_number(v, rng.below(10));
    v += '.';
    append_number(v, mild_head(rng, 40));
    if (rng.below(2)) {
      v += '.';
      append_number(v, mild_head(rng, 20));
    }
    return v;
  }

  std::uint64_t seed_;
  std::uint64_t line_count_;
  std::vector<std::string> words_;
  std::vector<std::string> users_;
  std::string path_;
  std::size_t root_length_ = 0;  // length of /srv/backupN in path_
  std::vector<Frame> stack_;
};

// --- 2. Web-server log lines ----------------------------------------------------

// The access logs of eight web servers for November 2026, concatenated: each
// server's lines in time order (a few written up to a quarter second late),
// as `cat server*/access.log` gives them:
//   2026-11-07 14:03:22.417 203.0.113.57 GET /api/v2/orders/18446 200 5123 0.043 "curl/8.4.0"
// Fields, separated by single blanks: date, time, client host (an address
// or a name; a few hosts send most requests), method, path, status, bytes,
// seconds taken, and the client's agent (in quotes, holding blanks).
class LogGenerator {
 public:
  LogGenerator(std::uint64_t seed, std::uint64_t line_count) : rng_(seed ^ 0x4C4F4753ull) {
    words_ = make_words(rng_, 3000);
    hosts_.reserve(kHosts);
    for (std::uint32_t i = 0; i < kHosts; ++i) hosts_.push_back(make_host());
    for (int s = 0; s < kServers; ++s) {
      lines_left_[s] = line_count / kServers + (static_cast<std::uint64_t>(s) < line_count % kServers ? 1 : 0);
    }
    begin_server();
  }

  void next_line(std::string& out) {
    while (lines_left_[server_] == 0 && server_ + 1 < kServers) {
      ++server_;
      begin_server();
    }
    if (lines_left_[server_] > 0) --lines_left_[server_];

    clock_ms_ += rng_.below(static_cast<std::uint32_t>(2 * gap_ms_ + 1));
    std::uint64_t stamp = std::min(clock_ms_, kMonthMs - 1);
    if (rng_.below(20) == 0) stamp -= std::min<std::uint64_t>(stamp, rng_.below(250));
    append_time_stamp(out, stamp);
    out += ' ';
    out += hosts_[heavy_head(rng_, kHosts)];
    out += ' ';
    static const std::vector<std::uint32_t> kMethodWeights = {80, 12, 3, 3, 2};
    static const char* const kMethods[] = {"GET", "POST", "HEAD", "PUT", "DELETE"};
    out += kMethods[weighted(rng_, kMethodWeights)];
    out += ' ';
    append_path(out);
    out += ' ';
    static const std::vector<std::uint32_t> kStatusWeights = {80, 6, 2, 2, 6, 2, 1, 1};
    static const int kStatuses[] = {200, 304, 301, 302, 404, 403, 500, 503};
    const int status = kStatuses[weighted(rng_, kStatusWeights)];
    append_number(out, static_cast<std::uint64_t>(status));
    out += ' ';
    append_number(out, status == 200 ? (rng_.below(1u << 17) >> rng_.below(10)) : 100 + rng_.below(400));
    out += ' ';
    const std::uint32_t ms = rng_.below(1u << 14) >> rng_.below(12);
    append_number(out, ms / 1000);
    out += '.';
    append_number(out, ms % 1000, 3);
    out += " \"";
    static const char* const kAgents[] = {
        "Mozilla/5.0 (X11; Linux x86_64)",
        "Mozilla/5.0 (Windows NT 10.0; Win64; x64)",
        "Mozilla/5.0 (X11; Linux aarch64)",
        "Mozilla/5.0 (Linux; Android 14)",
        "curl/8.4.0",
        "python-requests/2.31.0",
        "Go-http-client/1.1",
        "examplebot/2.1 (+https://bot.example.com/)",
        "okhttp/4.12.0",
        "Wget/1.21.4",
        "monitor/1.0"};
    out += kAgents[mild_head(rng_, static_cast<std::uint32_t>(std::size(kAgents)))];
    out += "\"\n";
  }

 private:
  static constexpr int kServers = 8;
  static constexpr std::uint32_t kHosts = 50000;
  static constexpr std::uint64_t kMonthMs = 30ull * 86400 * 1000;

  void begin_server() {
    clock_ms_ = rng_.below(60000);
    // Spread the server's lines over 96% of the month on average.
    const std::uint64_t lines = std::max<std::uint64_t>(lines_left_[server_], 1);
    gap_ms_ = std::max<std::uint64_t>(kMonthMs / 100 * 96 / lines, 1);
    gap_ms_ = std::min<std::uint64_t>(gap_ms_, 1u << 30);
  }

  static void append_time_stamp(std::string& out, std::uint64_t ms) {
    const std::uint64_t seconds = ms / 1000;
    out += "2026-11-";
    append_number(out, 1 + seconds / 86400, 2);
    out += ' ';
    append_number(out, seconds / 3600 % 24, 2);
    out += ':';
    append_number(out, seconds / 60 % 60, 2);
    out += ':';
    append_number(out, seconds % 60, 2);
    out += '.';
    append_number(out, ms % 1000, 3);
  }

  std::string make_host() {
    std::string host;
    // The first `parts` numbers of an IPv4 address.
    const auto address = [&](int parts, char separator) {
      for (int i = 0; i < parts; ++i) {
        if (i > 0) host += separator;
        append_number(host, i == 0 ? 1 + rng_.below(223) : rng_.below(256));
      }
    };
    const std::uint32_t r = rng_.below(100);
    if (r < 45) {
      address(4, '.');
    } else if (r < 70) {
      host = "host-";
      address(4, '-');
      host += '.' + words_[rng_.below(40)] + (rng_.below(2) ? ".net" : ".dsl.example.net");
    } else if (r < 85) {
      host = "crawl-";
      address(3, '-');
      host += '.' + words_[rng_.below(6)] + "bot.example.com";
    } else {
      host = words_[mild_head(rng_, 3000)];
      append_number(host, rng_.below(100));
      host += '.' + words_[rng_.below(200)] + ".example.org";
    }
    return host;
  }

  void append_path(std::string& out) {
    const std::uint32_t r = rng_.below(100);
    if (r < 25) {
      static const char* const kKinds[] = {"css", "js", "img", "fonts"};
      static const char* const kExtensions[] = {".css", ".js", ".png", ".woff2"};
      const std::uint32_t kind = rng_.below(4);
      out += "/static/";
      out += kKinds[kind];
      out += '/';
      out += words_[heavy_head(rng_, 3000)];
      out += '-';
      append_hex(out, rng_.below(1u << 16) * 0x9E37u, 8);
      out += kExtensions[kind];
    } else if (r < 55) {
      static const char* const kResources[] = {"users", "orders", "items", "carts", "search", "sessions"};
      out += rng_.below(3) ? "/api/v2/" : "/api/v1/";
      out += pick(rng_, kResources);
      out += '/';
      append_number(out, rng_.below(1u << 20));
      if (rng_.below(4) == 0) out += rng_.below(2) ? "/items" : "/history";
      if (rng_.below(5) == 0) {
        out += "?page=";
        append_number(out, 1 + mild_head(rng_, 50));
      }
    } else if (r < 75) {
      out += "/products/";
      out += words_[mild_head(rng_, 3000)];
      out += '-';
      out += words_[mild_head(rng_, 3000)];
      out += '-';
      append_number(out, rng_.below(100000));
    } else if (r < 85) {
      out += "/blog/2026/";
      append_number(out, 1 + rng_.below(11), 2);
      out += '/';
      out += words_[mild_head(rng_, 500)] + '-' + words_[mild_head(rng_, 3000)] + '-' + words_[rng_.below(3000)];
    } else if (r < 90) {
      out += "/search?q=";
      out += words_[heavy_head(rng_, 3000)];
      out += "&page=";
      append_number(out, 1 + heavy_head(rng_, 20));
    } else {
      static const char* const kPages[] = {"/", "/index.html", "/favicon.ico", "/robots.txt", "/login",
                                           "/logout", "/cart", "/checkout", "/about", "/sitemap.xml"};
      out += kPages[mild_head(rng_, 10)];
    }
  }

  Random rng_;
  std::vector<std::string> words_;
  std::vector<std::string> hosts_;
  std::uint64_t lines_left_[kServers] = {};
  int server_ = 0;
  std::uint64_t clock_ms_ = 0;
  std::uint64_t gap_ms_ = 1;
};

// --- 3. Heavy duplicates --------------------------------------------------------

// 200 distinct short lines of key=value pairs, drawn with very unequal
// frequencies (the commonest about one line in six), in random order:
//   status=ok code=17
//   status=error code=503 svc=billing
class DuplicateGenerator {
 public:
  explicit DuplicateGenerator(std::uint64_t seed) : rng_(seed ^ 0x44555053ull) {
    static const char* const kStatuses[] = {"ok", "error", "warn", "retry", "timeout", "denied"};
    static const std::vector<std::uint32_t> kStatusWeights = {60, 20, 8, 5, 4, 3};
    static const char* const kServices[] = {"auth",  "billing", "search", "mail",   "storage",
                                            "queue", "web",     "api",    "report", "backup"};
    std::unordered_set<std::string> seen;
    while (lines_.size() < kDistinct) {
      const std::size_t status = weighted(rng_, kStatusWeights);
      std::string line = "status=";
      line += kStatuses[status];
      line += " code=";
      append_number(line, status == 0 ? rng_.below(40) : 100 + rng_.below(500));
      if (rng_.below(5) < 2) {
        line += " svc=";
        line += pick(rng_, kServices);
      }
      line += '\n';
      if (seen.insert(line).second) lines_.push_back(line);
    }
    // Line i is drawn in proportion to 1 / (i + 1).
    std::uint32_t total = 0;
    for (std::uint32_t i = 0; i < kDistinct; ++i) cumulative_.push_back(total += 1000000 / (i + 1));
  }

  void next_line(std::string& out) {
    const std::uint32_t r = rng_.below(cumulative_.back());
    out += lines_[std::upper_bound(cumulative_.begin(), cumulative_.end(), r) - cumulative_.begin()];
  }

 private:
  static constexpr std::uint32_t kDistinct = 200;
  Random rng_;
  std::vector<std::string> lines_;
  std::vector<std::uint32_t> cumulative_;
};

// --- 4. Short numbers -------------------------------------------------------------

// One number a line, of every magnitude from one digit to eight, most of
// them small: integers below 2^24, a tenth negative, and one in seven with a
// binary fraction (12.5, -3.25, 0.125). Every value is exact in single
// precision, so rounding keys to single precision keeps their order:
//   8823
//   -41.75
class NumberGenerator {
 public:
  explicit NumberGenerator(std::uint64_t seed) : rng_(seed ^ 0x4E554D53ull) {}

  void next_line(std::string& out) {
    const bool fraction = rng_.below(7) == 0;
    std::uint32_t whole = rng_.below(1u << 24) >> rng_.below(24);
    if (fraction) whole >>= 8;  // 16 bits and 3 fraction bits stay exact
    const std::uint32_t eighths = fraction ? 1 + rng_.below(7) : 0;
    if (rng_.below(10) == 0 && (whole != 0 || eighths != 0)) out += '-';
    append_number(out, whole);
    if (eighths != 0) {
      static const char* const kFractions[] = {"", ".125", ".25", ".375", ".5", ".625", ".75", ".875"};
      out += kFractions[eighths];
    }
    out += '\n';
  }

 private:
  Random rng_;
};

// --- 5. Long lines -----------------------------------------------------------------

// 30 words of 8 hexadecimal digits, 270 bytes a line: a record type (64
// kinds), a source (4096, a few common), a value from a vocabulary of 65536
// with many repeats as word 5, the rest random:
//   0000002a 00c1f3a0 9b3e4417 5c0d2e61 0007b1e2 ...
class LongLineGenerator {
 public:
  explicit LongLineGenerator(std::uint64_t seed) : rng_(seed ^ 0x4C4F4E47ull) {
    for (auto& v : kinds_) v = static_cast<std::uint32_t>(rng_.next());
    for (auto& v : sources_) v = static_cast<std::uint32_t>(rng_.next());
    values_.resize(1u << 16);
    for (auto& v : values_) v = static_cast<std::uint32_t>(rng_.next()) >> rng_.below(16);
  }

  void next_line(std::string& out) {
    for (int word = 1; word <= kWords; ++word) {
      std::uint32_t v;
      switch (word) {
        case 1: v = kinds_[mild_head(rng_, 64)]; break;
        case 2: v = sources_[heavy_head(rng_, 4096)]; break;
        case 5: v = values_[heavy_head(rng_, 1u << 16)]; break;
        default: v = static_cast<std::uint32_t>(rng_.next()); break;
      }
      if (word > 1) out += ' ';
      append_hex(out, v, 8);
    }
    out += '\n';
  }

 private:
  static constexpr int kWords = 30;
  Random rng_;
  std::uint32_t kinds_[64];
  std::uint32_t sources_[4096];
  std::vector<std::uint32_t> values_;
};

// --- 6. Shift-JIS CSV ----------------------------------------------------------------

// A morphological dictionary in Shift-JIS, 13 comma-separated fields, none
// empty: surface form (kanji, hiragana, katakana or ASCII), left and right
// context ids, cost (an integer, a few negative), four part-of-speech
// fields, conjugation type and form ('*' when none), base form, reading and
// pronunciation (katakana, 0x835C among them, whose second byte is a
// backslash). Shown as UTF-8:
//   ソフト,1285,1285,4512,名詞,一般,*,*,*,*,ソフト,ソフト,ソフト
class ShiftJisCsvGenerator {
 public:
  explicit ShiftJisCsvGenerator(std::uint64_t seed) : rng_(seed ^ 0x534A4953ull) {}

  void next_line(std::string& out) {
    // Parts of speech: noun, verb, adjective, adverb, particle, symbol.
    static const std::vector<std::uint32_t> kKindWeights = {62, 15, 6, 6, 6, 5};
    const std::size_t kind = weighted(rng_, kKindWeights);
    std::string surface, reading;
    make_word(kind, surface, reading);

    const char* pos[4] = {"*", "*", "*", "*"};
    const char* conjugation[2] = {"*", "*"};
    std::uint32_t id = 0;
    switch (kind) {
      case 0: {
        pos[0] = kNoun;
        static const char* const kNounKinds[] = {kGeneral, kProper, kSuruVerb, kAdjectivalStem, kNumber,
                                                 kAdverbial};
        const std::uint32_t k = mild_head(rng_, 6);
        pos[1] = kNounKinds[k];
        id = 1280 + k * 6;
        if (k == 1) {
          static const char* const kProperKinds[] = {kPerson, kRegion, kOrganisation, kGeneral};
          const std::uint32_t p = rng_.below(4);
          pos[2] = kProperKinds[p];
          id += p;
          if (p == 0) pos[3] = rng_.below(2) ? kSurname : kGivenName;
          if (p == 1) pos[3] = rng_.below(2) ? kGeneral : kCountry;
        }
        break;
      }
      case 1: {
        pos[0] = kVerb;
        static const char* const kVerbKinds[] = {kIndependent, kDependent, kSuffix};
        static const char* const kTypes[] = {kGodanKa, kIchidan, kSuru, kGodanRa, kGodanWa};
        static const char* const kForms[] = {kBasicForm, kContinuative, kIrrealis, kHypothetical};
        const std::uint32_t k = mild_head(rng_, 3), t = rng_.below(5), f = mild_head(rng_, 4);
        pos[1] = kVerbKinds[k];
        conjugation[0] = kTypes[t];
        conjugation[1] = kForms[f];
        id = 500 + k * 100 + t * 10 + f;
        break;
      }
      case 2: {
        pos[0] = kAdjective;
        static const char* const kTypes[] = {kAdjectiveAuo, kAdjectiveI};
        static const char* const kForms[] = {kBasicForm, kContinuativeTe, kGaruForm};
        const std::uint32_t t = rng_.below(2), f = mild_head(rng_, 3);
        pos[1] = rng_.below(4) ? kIndependent : kDependent;
        conjugation[0] = kTypes[t];
        conjugation[1] = kForms[f];
        id = 40 + t * 10 + f;
        break;
      }
      case 3:
        pos[0] = kAdverb;
        pos[1] = rng_.below(3) ? kGeneral : kParticleLinked;
        id = 1000 + (pos[1] == kGeneral ? 0 : 1);
        break;
      case 4: {
        pos[0] = kParticle;
        static const char* const kParticleKinds[] = {kCaseParticle, kBindingParticle, kAdverbialParticle,
                                                     kConjunctiveParticle};
        const std::uint32_t k = rng_.below(4);
        pos[1] = kParticleKinds[k];
        if (k == 0) pos[2] = rng_.below(3) ? kGeneral : kQuotation;
        id = 140 + k * 3;
        break;
      }
      default: {
        pos[0] = kSymbol;
        static const char* const kSymbolKinds[] = {kGeneral, kOpeningBracket, kClosingBracket, kFullStop, kComma};
        const std::uint32_t k = rng_.below(5);
        pos[1] = kSymbolKinds[k];
        id = 2 + k;
        break;
      }
    }

    out += surface;
    out += ',';
    append_number(out, id);
    out += ',';
    append_number(out, id);
    out += ',';
    // Costs cluster between 3000 and 10000; a few common words go below 0.
    if (rng_.below(20) == 0) {
      out += '-';
      append_number(out, 1 + rng_.below(3000));
    } else {
      append_number(out, 3000 + rng_.below(4000) + rng_.below(3000));
    }
    for (const char* p : pos) {
      out += ',';
      out += p;
    }
    for (const char* c : conjugation) {
      out += ',';
      out += c;
    }
    out += ',';
    out += surface;
    out += ',';
    out += reading;
    out += ',';
    // Pronunciation: the reading, a vowel sometimes lengthened.
    out += reading;
    if (rng_.below(8) == 0) out += kLongVowel;
    out += '\n';
  }

 private:
  // Names of the parts of speech in Shift-JIS (shown here in UTF-8).
  static constexpr const char* kNoun = "\x96\xBC\x8E\x8C";                                   // 名詞
  static constexpr const char* kVerb = "\x93\xAE\x8E\x8C";                                   // 動詞
  static constexpr const char* kAdjective = "\x8C\x60\x97\x65\x8E\x8C";                      // 形容詞
  static constexpr const char* kAdverb = "\x95\x9B\x8E\x8C";                                 // 副詞
  static constexpr const char* kParticle = "\x8F\x95\x8E\x8C";                               // 助詞
  static constexpr const char* kSymbol = "\x8B\x4C\x8D\x86";                                 // 記号
  static constexpr const char* kGeneral = "\x88\xEA\x94\xCA";                                // 一般
  static constexpr const char* kProper = "\x8C\xC5\x97\x4C\x96\xBC\x8E\x8C";                 // 固有名詞
  static constexpr const char* kSuruVerb = "\x83\x54\x95\xCF\x90\xDA\x91\xB1";               // サ変接続
  static constexpr const char* kAdjectivalStem = "\x8C\x60\x97\x65\x93\xAE\x8E\x8C\x8C\xEA\x8A\xB2";  // 形容動詞語幹
  static constexpr const char* kNumber = "\x90\x94";                                         // 数
  static constexpr const char* kAdverbial = "\x95\x9B\x8E\x8C\x89\xC2\x94\x5C";              // 副詞可能
  static constexpr const char* kPerson = "\x90\x6C\x96\xBC";                                 // 人名
  static constexpr const char* kRegion = "\x92\x6E\x88\xE6";                                 // 地域
  static constexpr const char* kOrganisation = "\x91\x67\x90\x44";                           // 組織
  static constexpr const char* kSurname = "\x90\xA9";                                        // 姓
  static constexpr const char* kGivenName = "\x96\xBC";                                      // 名
  static constexpr const char* kCountry = "\x8D\x91";                                        // 国
  static constexpr const char* kIndependent = "\x8E\xA9\x97\xA7";                            // 自立
  static constexpr const char* kDependent = "\x94\xF1\x8E\xA9\x97\xA7";                      // 非自立
  static constexpr const char* kSuffix = "\x90\xDA\x94\xF6";                                 // 接尾
  static constexpr const char* kGodanKa = "\x8C\xDC\x92\x69\x81\x45\x83\x4A\x8D\x73\x83\x43\x89\xB9\x95\xD6";  // 五段・カ行イ音便
  static constexpr const char* kIchidan = "\x88\xEA\x92\x69";                                // 一段
  static constexpr const char* kSuru = "\x83\x54\x95\xCF\x81\x45\x83\x58\x83\x8B";           // サ変・スル
  static constexpr const char* kGodanRa = "\x8C\xDC\x92\x69\x81\x45\x83\x89\x8D\x73";        // 五段・ラ行
  static constexpr const char* kGodanWa = "\x8C\xDC\x92\x69\x81\x45\x83\x8F\x8D\x73\x91\xA3\x89\xB9\x95\xD6";  // 五段・ワ行促音便
  static constexpr const char* kBasicForm = "\x8A\xEE\x96\x7B\x8C\x60";                      // 基本形
  static constexpr const char* kContinuative = "\x98\x41\x97\x70\x8C\x60";                   // 連用形
  static constexpr const char* kIrrealis = "\x96\xA2\x91\x52\x8C\x60";                       // 未然形
  static constexpr const char* kHypothetical = "\x89\xBC\x92\xE8\x8C\x60";                   // 仮定形
  static constexpr const char* kAdjectiveAuo = "\x8C\x60\x97\x65\x8E\x8C\x81\x45\x83\x41\x83\x45\x83\x49\x92\x69";  // 形容詞・アウオ段
  static constexpr const char* kAdjectiveI = "\x8C\x60\x97\x65\x8E\x8C\x81\x45\x83\x43\x92\x69";  // 形容詞・イ段
  static constexpr const char* kContinuativeTe = "\x98\x41\x97\x70\x83\x65\x90\xDA\x91\xB1";  // 連用テ接続
  static constexpr const char* kGaruForm = "\x83\x4B\x83\x8B\x90\xDA\x91\xB1";               // ガル接続
  static constexpr const char* kParticleLinked = "\x8F\x95\x8E\x8C\x97\xDE\x90\xDA\x91\xB1";  // 助詞類接続
  static constexpr const char* kCaseParticle = "\x8A\x69\x8F\x95\x8E\x8C";                   // 格助詞
  static constexpr const char* kBindingParticle = "\x8C\x57\x8F\x95\x8E\x8C";                // 係助詞
  static constexpr const char* kAdverbialParticle = "\x95\x9B\x8F\x95\x8E\x8C";              // 副助詞
  static constexpr const char* kConjunctiveParticle = "\x90\xDA\x91\xB1\x8F\x95\x8E\x8C";    // 接続助詞
  static constexpr const char* kQuotation = "\x88\xF8\x97\x70";                              // 引用
  static constexpr const char* kOpeningBracket = "\x8A\x87\x8C\xCA\x8A\x4A";                 // 括弧開
  static constexpr const char* kClosingBracket = "\x8A\x87\x8C\xCA\x95\xC2";                 // 括弧閉
  static constexpr const char* kFullStop = "\x8B\xE5\x93\x5F";                               // 句点
  static constexpr const char* kComma = "\x93\xC7\x93\x5F";                                  // 読点
  static constexpr const char* kLongVowel = "\x81\x5B";                                      // ー

  static void append_double_byte(std::string& out, unsigned lead, unsigned trail) {
    out += static_cast<char>(lead);
    out += static_cast<char>(trail);
  }

  // A full-width katakana character: 0x8340-0x8396 without 0x837F.
  void append_katakana(std::string& out) {
    unsigned trail = 0x40 + rng_.below(0x96 - 0x40);
    if (trail >= 0x7F) ++trail;
    append_double_byte(out, 0x83, trail);
  }

  // The surface form and its katakana reading.
  void make_word(std::size_t kind, std::string& surface, std::string& reading) {
    const int sounds = 2 + static_cast<int>(mild_head(rng_, 6));
    for (int i = 0; i < sounds; ++i) append_katakana(reading);
    const std::uint32_t script = rng_.below(100);
    if (kind == 5 || script < 3) {
      // ASCII: codes and abbreviations such as A4, PDF, 3D.
      const int letters = 1 + static_cast<int>(rng_.below(4));
      for (int i = 0; i < letters; ++i) {
        surface += rng_.below(4) ? static_cast<char>('A' + rng_.below(26)) : static_cast<char>('0' + rng_.below(10));
      }
    } else if (script < 55) {
      // First-level kanji: lead bytes 0x89-0x97, trail bytes 0x40-0xFC
      // without 0x7F.
      const int chars = 1 + static_cast<int>(mild_head(rng_, 4));
      for (int i = 0; i < chars; ++i) {
        unsigned trail = 0x40 + rng_.below(0xFC - 0x40);
        if (trail >= 0x7F) ++trail;
        append_double_byte(surface, 0x89 + rng_.below(0x97 - 0x89 + 1), trail);
      }
    } else if (script < 80) {
      // Hiragana 0x829F-0x82F1.
      const int chars = 1 + static_cast<int>(mild_head(rng_, 5));
      for (int i = 0; i < chars; ++i) append_double_byte(surface, 0x82, 0x9F + rng_.below(0xF1 - 0x9F + 1));
    } else {
      surface = reading;  // a loanword, written as it is read
    }
  }

  Random rng_;
};

}  // namespace qorla::bench
