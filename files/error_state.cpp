// The error number of the process-wide error state.
#include "files/error_state.h"

namespace kes::files {
namespace {
ErrorCode posted = ErrorCode::None;
}

void clear_error() noexcept { posted = ErrorCode::None; }
void post_error(ErrorCode code) noexcept { posted = code; }
ErrorCode current_error() noexcept { return posted; }

}  // namespace kes::files
