// The module list, fix-ups and the ordered initialisation and termination of modules.
#include "runtime/lifecycle/module_registry.h"

#include <cstdint>

#include "platform/core/heap.h"
#include "platform/launch/dynamic_library.h"
#include "runtime/fatal/fatal.h"
#include "runtime/fatal/hooks.h"
#include "runtime/lifecycle/lifecycle.h"

namespace kes::runtime {
namespace {

constexpr std::int32_t kHighestPriority = 255;
constexpr std::int32_t kInitialiserArgument = 0;
constexpr std::int32_t kTerminatorArgument = 1;

enum class InitState : std::uint8_t { Pending, Running, Done };

// A node of the module list, newest first.
struct ModuleNode {
  ModuleNode* next;
  void* instance;
  KesModuleDescriptor* descriptor;
  std::uintptr_t reserved;  // always 0
  InitState init_state;
};

ModuleNode* newest = nullptr;
bool initialising = false;
bool executable_areas_registered = false;

// The position-th module (from the oldest, 0-based) among those in the given state.
ModuleNode* oldest_in_state(InitState state, std::size_t position) noexcept {
  std::size_t total = 0;
  for (ModuleNode* n = newest; n != nullptr; n = n->next) {
    if (n->init_state == state) ++total;
  }
  if (position >= total) return nullptr;
  std::size_t from_newest = total - 1 - position;
  for (ModuleNode* n = newest; n != nullptr; n = n->next) {
    if (n->init_state != state) continue;
    if (from_newest == 0) return n;
    --from_newest;
  }
  return nullptr;
}

bool set_state(InitState from, InitState to) noexcept {
  bool any = false;
  for (ModuleNode* n = newest; n != nullptr; n = n->next) {
    if (n->init_state == from) {
      n->init_state = to;
      any = true;
    }
  }
  return any;
}

template <typename T>
std::span<const T> table_between(const T* start, const T* end) noexcept {
  auto first = reinterpret_cast<std::uintptr_t>(start);
  auto last = reinterpret_cast<std::uintptr_t>(end);
  if (start == nullptr || end == nullptr || last <= first) return {};
  if (first % alignof(T) != 0) return {};
  std::uintptr_t count = (last - first) / sizeof(T);
  if (count > kMaxTableEntries) return {};
  return {start, static_cast<std::size_t>(count)};
}

void run_initialisers_of_running_modules() noexcept {
  for (std::int32_t priority = kHighestPriority; priority >= 1; --priority) {
    for (std::size_t position = 0;; ++position) {
      ModuleNode* node = oldest_in_state(InitState::Running, position);
      if (node == nullptr) break;
      for (const KesInitEntry& entry : init_entries(node->descriptor)) {
        if (entry.priority == priority && entry.initialiser != nullptr) {
          entry.initialiser(kInitialiserArgument);
        }
      }
    }
  }
}

void register_thread_areas(const KesModuleDescriptor* descriptor, void* instance) noexcept {
  void* executable = application_instance();
  if (instance == executable) {
    if (executable_areas_registered) return;
    executable_areas_registered = true;
  }
  auto* register_area = library_hooks().register_thread_area;
  if (register_area == nullptr || descriptor == nullptr) return;
  register_area(descriptor->second_swap_start, descriptor->second_swap_end, 4, instance,
                executable);
  register_area(descriptor->first_swap_start, descriptor->first_swap_end, 0, instance, executable);
}

}  // namespace

std::span<const KesInitEntry> init_entries(const KesModuleDescriptor* descriptor) noexcept {
  if (descriptor == nullptr) return {};
  return table_between(descriptor->init_start, descriptor->init_end);
}

void apply_fixups(const KesModuleDescriptor& descriptor) noexcept {
  std::uintptr_t low = descriptor.indirection_low;
  std::uintptr_t high = descriptor.indirection_high;
  if (low >= high) return;  // an empty range matches no word
  for (const KesFixup& fixup : table_between(descriptor.fixup_start, descriptor.fixup_end)) {
    auto area = reinterpret_cast<std::uintptr_t>(fixup.area);
    if (area == 0 || area % alignof(std::uintptr_t) != 0) continue;
    auto* words = static_cast<std::uintptr_t*>(fixup.area);
    std::size_t count = fixup.length / sizeof(std::uintptr_t);
    for (std::size_t i = 0; i < count; ++i) {
      std::uintptr_t value = words[i];
      if (value >= low && value < high && value % alignof(std::uintptr_t) == 0) {
        words[i] = *reinterpret_cast<const std::uintptr_t*>(value);
      }
    }
  }
}

void register_module(KesModuleDescriptor* descriptor, void* instance) noexcept {
  if (library_instance() == nullptr) set_library_instance(instance);
  if (descriptor != nullptr) {
    descriptor->previous = newest != nullptr ? newest->descriptor : nullptr;
    descriptor->instance = instance;
  }
  auto* node = static_cast<ModuleNode*>(platform::heap_allocate(sizeof(ModuleNode)));
  if (node == nullptr) fatal(RuntimeError::None, "Insufficient memory to register a module");
  *node = ModuleNode{newest, instance, descriptor, 0, InitState::Pending};
  newest = node;
  if (descriptor != nullptr) apply_fixups(*descriptor);
}

void run_pending_initialisers() noexcept {
  if (initialising) return;  // the running pass picks the module up when it ends
  initialising = true;
  while (set_state(InitState::Pending, InitState::Running)) {
    run_initialisers_of_running_modules();
    set_state(InitState::Running, InitState::Done);
  }
  initialising = false;
}

void initialise_module(KesModuleDescriptor* descriptor, void* instance) noexcept {
  if (instance == nullptr) instance = application_instance();
  register_module(descriptor, instance);
  run_pending_initialisers();
  register_thread_areas(descriptor, instance);
}

void terminate_module(void* instance) noexcept {
  if (auto* remove = library_hooks().remove_thread_areas) remove(instance);
  ModuleNode** link = &newest;
  while (*link != nullptr && (*link)->instance != instance)
    link = &(*link)->next;
  ModuleNode* node = *link;
  if (node == nullptr) return;
  *link = node->next;

  std::span<const KesInitEntry> entries = init_entries(node->descriptor);
  for (std::int32_t priority = 0; priority <= kHighestPriority && !entries.empty(); ++priority) {
    for (std::size_t i = entries.size(); i-- > 0;) {
      const KesInitEntry& entry = entries[i];
      if (entry.priority == priority && entry.terminator != nullptr) {
        entry.terminator(kTerminatorArgument);
      }
    }
  }
  platform::heap_free(node);
}

void* next_module_instance(void* instance) noexcept {
  if (instance == nullptr) return newest != nullptr ? newest->instance : nullptr;
  for (ModuleNode* n = newest; n != nullptr; n = n->next) {
    if (n->instance == instance) return n->next != nullptr ? n->next->instance : nullptr;
  }
  return nullptr;
}

std::size_t registered_module_count() noexcept {
  std::size_t count = 0;
  for (ModuleNode* n = newest; n != nullptr; n = n->next)
    ++count;
  return count;
}

#ifdef KES_TESTING
void reset_modules_for_testing() noexcept {
  while (newest != nullptr) {
    ModuleNode* next = newest->next;
    platform::heap_free(newest);
    newest = next;
  }
  initialising = false;
  executable_areas_registered = false;
}
#endif

}  // namespace kes::runtime
