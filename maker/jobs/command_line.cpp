// The maker's command line: encoder switches and the files to encode.
#include "maker/jobs/command_line.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <memory>


namespace {

bool Is(const std::string& arg, const char* word) { return strcasecmp(arg.c_str(), word) == 0; }

// The positive decimal number that makes up all of `digits`, or -1.
long PositiveNumber(const std::string& digits) {
  if (digits.empty() || digits.size() > 9) return -1;
  for (char c : digits)
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  const long n = std::strtol(digits.c_str(), nullptr, 10);
  return n > 0 ? n : -1;
}

// Index of the constant-rate entry `kbps` (below 1000) of a rate table, or -1.
template <size_t N>
int ConstantRateIndex(const int (&table)[N], long kbps) {
  for (size_t i = 0; i < N; ++i)
    if (table[i] < 1000 && table[i] == kbps) return static_cast<int>(i);
  return -1;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string FullPath(const std::string& path) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    // Any length; without a current folder (it was removed) the path stays relative, since
    // resolving it against "/" would name another file.
    std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    if (cwd == nullptr) return path;
    joined = std::string(cwd.get()) + "/" + path;
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t slash = joined.find('/', start);
    if (slash == std::string::npos) slash = joined.size();
    std::string part = joined.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    start = slash + 1;
  }
  std::string out;
  for (const auto& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

CommandLineFiles ParseCommandLine(const std::vector<std::string>& args, SettingsTable& settings) {
  CommandLineFiles result;
  for (const auto& arg : args) {
    if (Is(arg, "-mono")) {
      settings.channels = 0;
    } else if (Is(arg, "-stereo")) {
      settings.channels = 1;
    } else if (Is(arg, "-js")) {
      settings.channels = 2;
    } else if (Is(arg, "-delete")) {
      result.deleteInputs = true;
    } else if (arg.size() > 4 && strncasecmp(arg.c_str(), "-vbr", 4) == 0 &&
               PositiveNumber(arg.substr(4)) >= 1 && PositiveNumber(arg.substr(4)) <= 10) {
      settings.mpeg1BitRate = static_cast<int>(PositiveNumber(arg.substr(4))) + 13;
    } else if (arg.size() > 1 && arg[0] == '-' && PositiveNumber(arg.substr(1)) > 0) {
      // A number that is in neither table changes nothing; it is still an option.
      const long kbps = PositiveNumber(arg.substr(1));
      if (int i = ConstantRateIndex(kMpeg1BitRates, kbps); i >= 0) settings.mpeg1BitRate = i;
      if (int i = ConstantRateIndex(kMpeg2BitRates, kbps); i >= 0) settings.mpeg2BitRate = i;
    } else {
      const std::string full = FullPath(arg);
      if (IsRegularFile(full))
        result.files.push_back(full);
      else
        result.missing.push_back(arg);
      struct stat st {};
      if (stat(full.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) result.inputs.push_back(full);
    }
  }
  return result;
}
