// Random argument vectors through the option parser. The input is split at
// its 0 bytes into the arguments. The parser ends the process at the first
// error; that exit is trapped, so the error paths run in process and their
// message and status are checked as well as the settings of an accepted
// command line.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "fuzz_support.h"
#include "order/settings.h"

namespace {

constexpr std::size_t kMaxArguments = 600;

struct Parse {
  int argc;
  char** argv;
  qorla::Options options;
};

// The command line's number reading, written out on its own: white space,
// one sign, digits, modulo 2^32.
std::int32_t read_number(const char* p) {
  while (*p == ' ' || (*p >= 9 && *p <= 13)) ++p;
  std::int64_t v = 0;
  const bool minus = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  for (; *p >= '0' && *p <= '9'; ++p) v = (v * 10 + (*p - '0')) & 0xFFFFFFFF;
  if (minus) v = (0x100000000 - v) & 0xFFFFFFFF;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

std::int16_t low16(std::int32_t v) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v)));
}

// What the message formatter makes of "%s<suffix>" with argument arg: a
// string that takes the text past 1024 bytes is cut to 768, and the format
// stops once the text holds 1024 bytes.
std::string formatted(const std::string& arg, const std::string& suffix) {
  std::string text = arg.size() > 1024 ? arg.substr(0, 768) : arg;
  for (char c : suffix) {
    if (text.size() >= 1024) break;
    text += c;
  }
  return text;
}

bool is_flag_cluster(const std::string& arg) {
  return arg.size() >= 1 && arg[0] == '-' && arg.compare(0, 2, "-t") != 0 && arg != "-c";
}

void check_error(const std::vector<std::string>& args, int status, const std::string& err) {
  FUZZ_CHECK(status == 1);
  if (err == "cutting field number missing\n") return;
  static const char* const kKeyMessages[] = {": bad field number\n", ": bad option\n", ": bad position\n",
                                            ": bad length\n", ": bad field description\n"};
  bool matched = false;
  for (std::size_t i = 1; i < args.size() && !matched; ++i) {
    const std::string& a = args[i];
    if (!a.empty() && a[0] == '+') {
      for (const char* m : kKeyMessages) matched = matched || err == formatted(a, m);
    }
    if (is_flag_cluster(a)) matched = matched || err == formatted(a, ": bad option");
    if (args[i - 1] == "-c") {
      matched = matched || err == formatted(a, ": bad cutting description\n") ||
                err == formatted(a, "; bad cutting description\n");
    }
  }
  FUZZ_CHECK(matched);
}

void check_accepted(const std::vector<std::string>& args, const qorla::Options& o, const std::string& err) {
  using namespace qorla;
  const int argc = static_cast<int>(args.size());
  FUZZ_CHECK(err.empty());
  FUZZ_CHECK(o.first_file >= 1 && o.first_file <= argc);
  if (o.first_file < argc) {
    const char c = args[o.first_file].empty() ? 0 : args[o.first_file][0];
    FUZZ_CHECK(c != '-' && c != '+');
  }
  // Walk the options again: each one begins with '-' or '+', a -c takes the
  // next argument, and the flags and -t end as the last of them says.
  int keys = 0, join = 0, uniq = 0, icase = 0, reverse = 0, separator = 0;
  bool cut_seen = false;
  std::string last_range;
  int i = 1;
  while (i < o.first_file) {
    const std::string& a = args[i];
    FUZZ_CHECK(!a.empty() && (a[0] == '-' || a[0] == '+'));
    if (a[0] == '+') {
      FUZZ_CHECK(keys < kMaxKeys);
      const KeySpec& k = sort[keys];
      FUZZ_CHECK(k.no == low16(read_number(a.c_str())));
      ++keys;
    } else if (a.compare(0, 2, "-t") == 0) {
      separator = a == "-t\\t" ? '\t' : static_cast<unsigned char>(a.c_str()[2]);
    } else if (a == "-c") {
      FUZZ_CHECK(i + 2 <= o.first_file);
      FUZZ_CHECK(args[i + 1].empty() || args[i + 1][0] != '-');
      cut_seen = true;
      last_range = args[i + 1];
      ++i;
    } else {
      for (std::size_t j = 1; j < a.size(); ++j) {
        FUZZ_CHECK(std::strchr("Jiuv", a[j]) != nullptr && a[j] != 0);
        join |= a[j] == 'J';
        icase |= a[j] == 'i';
        uniq |= a[j] == 'u';
        reverse |= a[j] == 'v';
      }
    }
    ++i;
  }
  FUZZ_CHECK(i == o.first_file);
  FUZZ_CHECK(keys == sort_cnt && sort_cnt <= kMaxKeys);
  FUZZ_CHECK(o.join_flag == join && o.uniq_flag == uniq);
  FUZZ_CHECK(ignore_case == icase && rev_flag == reverse);
  FUZZ_CHECK(field_separator == separator);
  if (cut_seen) {
    FUZZ_CHECK(o.cut_first == read_number(last_range.c_str()) && o.cut_first != 0);
  } else {
    FUZZ_CHECK(o.cut_first == 0 && o.cut_last == 9999);
  }
  for (int k = 0; k < kMaxKeys; ++k) {
    const KeySpec& key = sort[k];
    FUZZ_CHECK(key.rev == 0 || key.rev == 1);
    if (k < sort_cnt) {
      FUZZ_CHECK(key.no >= 1 && key.pos >= 0 && key.len >= 1);
      FUZZ_CHECK(key.type == kText || (key.type >= kHex && key.type <= kDate));
    } else {
      FUZZ_CHECK(key.no == 0 && key.type == kText && key.pos == 0 && key.len == kWholeField);
      FUZZ_CHECK(key.rev == reverse);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args{"qorla"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (size > 0) args.push_back(current);
  if (args.size() > kMaxArguments) return 0;
  // Exact-size copies, so that a read past an argument is caught.
  std::vector<std::vector<char>> storage;
  std::vector<char*> argv;
  for (const std::string& a : args) storage.emplace_back(a.c_str(), a.c_str() + a.size() + 1);
  for (auto& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);

  Parse parse{static_cast<int>(args.size()), argv.data(), {}};
  qorla_fuzz::StderrCapture capture;
  const int status = qorla_fuzz::run_trapping_exit(
      [](void* context) {
        auto& p = *static_cast<Parse*>(context);
        p.options = qorla::parse_command_line(p.argc, p.argv);
      },
      &parse);
  const std::string err = capture.finish();
  if (status == -1) {
    check_accepted(args, parse.options, err);
  } else {
    check_error(args, status, err);
  }
  return 0;
}
