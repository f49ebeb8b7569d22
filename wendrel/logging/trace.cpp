#include "wendrel/logging/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

constexpr char kTraceVariable[] = "WENDREL_TRACE";
constexpr std::string_view kStandardError = "stderr";
constexpr std::string_view kMessagePrefix = "Wendrel::";
constexpr std::string_view kEnterMark = "==> ";
constexpr std::string_view kLeaveMark = "<== ";
constexpr int kIndentPerLevel = 2;

struct TraceState {
  explicit TraceState(const char* initial_target)
      : target(initial_target != nullptr ? initial_target : "") {
    enabled = !target.empty();
  }

  std::mutex mutex;             // guards `target` and the writing of a line
  std::string target;           // "stderr", a file path, or "" when off
  std::atomic<bool> enabled{};  // !target.empty(), readable without the lock
  std::atomic<int> depth{0};
};

TraceState& State() {
  static TraceState state(std::getenv(kTraceVariable));
  return state;
}

void DecrementDepth() {
  std::atomic<int>& depth = State().depth;
  int current = depth.load();
  while (current > 0 && !depth.compare_exchange_weak(current, current - 1)) {
  }
}

void WriteLine(std::string_view text) {
  TraceState& state = State();
  if (!state.enabled) return;
  std::string line(static_cast<size_t>(kIndentPerLevel * state.depth.load()), ' ');
  line += text;
  line += '\n';
  std::lock_guard lock(state.mutex);
  if (state.target.empty()) return;
  if (state.target == kStandardError) {
    std::fwrite(line.data(), 1, line.size(), stderr);
    return;
  }
  std::FILE* file = std::fopen(state.target.c_str(), "a");
  if (file == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), file);
  std::fclose(file);
}

}  // namespace

bool TraceEnabled() { return State().enabled; }

void SetTraceTarget(std::string_view target) {
  TraceState& state = State();
  std::lock_guard lock(state.mutex);
  state.target = target;
  state.enabled = !target.empty();
}

int TraceDepth() { return State().depth; }

void ResetTraceDepth() { State().depth = 0; }

void TraceMessage(std::string_view text) {
  if (!TraceEnabled()) return;
  std::string line(kMessagePrefix);
  line += text.substr(0, kMaxTraceMessage);
  WriteLine(line);
}

void TraceFormatted(const char* format, ...) {
  if (!TraceEnabled()) return;
  char text[kMaxTraceMessage + 1];
  va_list arguments;
  va_start(arguments, format);
  int length = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (length < 0) return;
  TraceMessage(text);
}

TraceScope::TraceScope(std::string_view name)
    : name_(name), entered_(std::chrono::steady_clock::now()) {
  if (TraceEnabled()) WriteLine(std::string(kEnterMark) + std::string(name_));
  ++State().depth;
}

TraceScope::~TraceScope() {
  DecrementDepth();
  if (!TraceEnabled()) return;
  auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - entered_);
  std::string line(kLeaveMark);
  line += name_;
  line += " (" + std::to_string(spent.count()) + ")";
  WriteLine(line);
}

void Trace(std::string_view scope, std::string_view text) {
  if (!TraceEnabled()) return;
  std::string line(scope);
  line += ": ";
  line += text;
  WriteLine(line);
}
