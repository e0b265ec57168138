// The instances recorded at start: the library's and the executable's.
#include <kestrel/lifecycle.h>

#include "runtime/lifecycle/lifecycle.h"

namespace rt = kes::runtime;

extern "C" void* Wsl$GetLibInstance() noexcept { return rt::library_instance(); }

extern "C" void Wsl$SetLibInstance(void* instance) noexcept { rt::set_library_instance(instance); }

extern "C" void* Wsl$GetAppInstance() noexcept { return rt::application_instance(); }
