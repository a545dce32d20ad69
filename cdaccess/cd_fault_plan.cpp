// Simulated drive faults: parsing the plan and drawing each read's outcome.
#include "cdaccess/cd_fault_plan.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

template <typename T>
bool ParseNumber(std::string_view text, T& out) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end;
}

// A whole number with an optional sign: "+667", "-30", "12".
bool ParseSigned(std::string_view text, int32_t& out) {
  if (text.starts_with('+')) {
    text.remove_prefix(1);
    if (text.starts_with('-')) return false;
  }
  return ParseNumber(text, out);
}

bool ParseShare(std::string_view text, double& out) {
  // from_chars for double is missing in GCC 12's library; strtod on a copy instead.
  std::string copy(text);
  if (copy.empty()) return false;
  char* end = nullptr;
  out = std::strtod(copy.c_str(), &end);
  return end == copy.c_str() + copy.size() && out >= 0.0 && out <= 1.0;
}

}  // namespace

std::optional<CdFaultPlan> ParseCdFaultPlan(const std::string& text) {
  CdFaultPlan plan;
  std::string_view rest(text);
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (item.empty()) continue;
    const size_t eq = item.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view key = item.substr(0, eq);
    const std::string_view value = item.substr(eq + 1);
    if (key == "jitter") {
      if (!ParseNumber(value, plan.jitterFrames) || plan.jitterFrames < 0) return std::nullopt;
    } else if (key == "share") {
      if (!ParseShare(value, plan.jitterShare)) return std::nullopt;
    } else if (key == "transient") {
      if (!ParseNumber(value, plan.transientErrors) || plan.transientErrors < 0) return std::nullopt;
    } else if (key == "bad") {
      const size_t dash = value.find('-');
      if (dash == std::string_view::npos) {
        if (!ParseNumber(value, plan.badFirst)) return std::nullopt;
        plan.badLast = plan.badFirst;
      } else if (!ParseNumber(value.substr(0, dash), plan.badFirst) ||
                 !ParseNumber(value.substr(dash + 1), plan.badLast)) {
        return std::nullopt;
      }
      if (plan.badFirst < 0 || plan.badLast < plan.badFirst) return std::nullopt;
    } else if (key == "delay") {
      if (!ParseNumber(value, plan.delayMs) || plan.delayMs < 0) return std::nullopt;
    } else if (key == "offset") {
      if (!ParseSigned(value, plan.readOffsetFrames)) return std::nullopt;
    } else if (key == "vary") {
      int vary = 0;
      if (!ParseNumber(value, vary) || vary < 0 || vary > 1) return std::nullopt;
      plan.vary = vary == 1;
    } else if (key == "seed") {
      if (!ParseNumber(value, plan.seed)) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  return plan;
}

CdFaultPlan CdFaultPlanFromEnvironment() {
  const char* text = std::getenv("ZIMBAR_CD_SIMULATE");
  if (text == nullptr || *text == '\0') return {};
  if (auto plan = ParseCdFaultPlan(text)) return *plan;
  static bool warned = false;
  if (!warned) {
    warned = true;
    std::fprintf(stderr, "zimbar: ignoring malformed ZIMBAR_CD_SIMULATE=\"%s\"\n", text);
  }
  return {};
}

namespace {

// The seed of a new injector: with `vary`, each one after the first draws other faults.
uint32_t PassSeed(const CdFaultPlan& plan) {
  static std::atomic<uint32_t> passes{0};
  return plan.vary ? plan.seed + passes.fetch_add(1) : plan.seed;
}

}  // namespace

CdFaultInjector::CdFaultInjector(const CdFaultPlan& plan)
    : plan_(plan), random_(PassSeed(plan)), transientLeft_(plan.transientErrors) {}

CdFaultInjector::Decision CdFaultInjector::NextRead(int32_t sector, int sectors) {
  Decision decision;
  decision.delayMs = plan_.delayMs;
  // Draw every number on every read so one fault kind does not shift the others' pattern.
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double jitterDraw = unit(random_);
  std::uniform_int_distribution<int> shift(-plan_.jitterFrames, plan_.jitterFrames);
  const int jitter = shift(random_);

  if (plan_.badFirst >= 0 && sector <= plan_.badLast && sector + sectors - 1 >= plan_.badFirst) {
    decision.fail = decision.permanent = true;
    return decision;
  }
  ++reads_;
  if (transientLeft_ > 0 && !lastFailedTransient_ && reads_ % 3 == 0) {
    --transientLeft_;
    lastFailedTransient_ = true;
    decision.fail = true;
    return decision;
  }
  lastFailedTransient_ = false;
  if (plan_.jitterFrames > 0 && jitterDraw < plan_.jitterShare) decision.jitterFrames = jitter;
  decision.readOffsetFrames = plan_.readOffsetFrames;
  return decision;
}
