// The process-wide error state that ERRORCODE(), ERROR() and FILEERROR() read.
//
// State: process-wide, as programs read it from the exported variables directly.
#pragma once

#include <cstdint>

namespace kes::files {

// Error numbers posted to the error state; the message table holds their texts.
enum class ErrorCode : std::int32_t {
  None = 0,
  NoFile = 2,
  NoPath = 3,
  AccessDenied = 5,
};

// Clears the error state; post() sets it.
void clear_error() noexcept;
void post_error(ErrorCode code) noexcept;
ErrorCode current_error() noexcept;

// Clears the error state when made; report() posts a result unless it is None. Exports of
// statements that can fail use one of these and nothing else to touch the error state.
class ErrorScope {
 public:
  ErrorScope() noexcept { clear_error(); }
  ErrorScope(const ErrorScope&) = delete;
  ErrorScope& operator=(const ErrorScope&) = delete;
  void report(ErrorCode code) noexcept {
    if (code != ErrorCode::None) post_error(code);
  }
};

}  // namespace kes::files
