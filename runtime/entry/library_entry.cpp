// The shared library's own entry: runs when the operating system loads and unloads the library.
// It knows every layer of the library, so it installs their steps into the life cycle and the
// services of upper layers into the lower ones that call them.
#include <kestrel/ini.h>

#include "data/evaluate/builtin_functions.h"
#include "numeric/locale/locale_settings.h"
#include "platform/launch/dynamic_library.h"
#include "runtime/fatal/hooks.h"
#include "runtime/lifecycle/lifecycle.h"
#include "wsl/wsldebug/wsldebug.h"

namespace {

// An address inside this library, to find the library's own instance.
const char library_anchor = 0;

__attribute__((constructor)) void on_library_load() {
  kes::runtime::library_hooks().start_locale = kes::numeric::initialize_locale;
  kes::runtime::library_hooks().write_diagnostic_log = kes::wsl::write_diagnostic_log;
  // EVALUATE's GETINI reads INI files as the statement does.
  kes::data::set_getini_handler(Kes$GETINI);
  kes::runtime::attach_library(kes::platform::module_handle_of(&library_anchor));
}

__attribute__((destructor)) void on_library_unload() {
  kes::runtime::detach_library(kes::runtime::library_instance());
}

}  // namespace
