// Module registration: priority orders, fix-ups, the module walk and bad descriptors.
#include "runtime/lifecycle/module_registry.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/fatal/hooks.h"
#include "tests/runtime/lifecycle/lifecycle_test_support.h"

namespace kes::runtime {
namespace {

using ModuleRegistryTest = test::LifecycleTest;
using ModuleRegistryDeathTest = test::LifecycleTest;
using test::descriptor_of;

// Each procedure appends its name and + when called to initialise, - to terminate.
std::string calls;
template <char Name>
void procedure(std::int32_t argument) {
  calls += std::string(1, Name) + (argument == 0 ? "+" : "-");
}
template <char Name>
constexpr KesInitEntry entry(std::int32_t priority) {
  return {priority, procedure<Name>, procedure<Name>};
}

void* instance(std::uintptr_t n) { return reinterpret_cast<void*>(n * 0x1000); }

TEST_F(ModuleRegistryTest, InitialisersRunDownAndTerminatorsUpByPriority) {
  const struct {
    const char* name;
    std::vector<KesInitEntry> table;
    const char* initialised;
    const char* terminated;
  } cases[] = {
      {"TableOrderWithinAPriority",
       {entry<'x'>(5), entry<'s'>(7), entry<'y'>(5), entry<'z'>(5)},
       "s+x+y+z+",
       "z-y-x-s-"},
      // 0 is only terminated; above 255 and negative are neither.
      {"PriorityBoundaries",
       {entry<'0'>(0), entry<'1'>(1), entry<'M'>(255), entry<'O'>(256), entry<'N'>(-1)},
       "M+1+",
       "0-1-M-"},
      {"NullProceduresAreSkipped",
       {{9, nullptr, procedure<'t'>}, {9, procedure<'i'>, nullptr}},
       "i+",
       "t-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    calls.clear();
    KesModuleDescriptor d = descriptor_of(c.table);
    initialise_module(&d, instance(3));
    EXPECT_EQ(calls, c.initialised);
    calls.clear();
    terminate_module(instance(3));
    EXPECT_EQ(calls, c.terminated);
  }
}

TEST_F(ModuleRegistryTest, HigherPrioritiesOfAllModulesRunFirst) {
  calls.clear();
  std::vector<KesInitEntry> a = {entry<'a'>(10), entry<'A'>(200)};
  std::vector<KesInitEntry> b = {entry<'B'>(200), entry<'b'>(10)};
  KesModuleDescriptor da = descriptor_of(a);
  KesModuleDescriptor db = descriptor_of(b);
  register_module(&da, instance(1));
  register_module(&db, instance(2));
  run_pending_initialisers();
  EXPECT_EQ(calls, "A+B+a+b+");
  calls.clear();
  terminate_module(instance(1));
  run_pending_initialisers();  // nothing pending any more
  EXPECT_EQ(calls, "a-A-");
}

KesModuleDescriptor nested_descriptor{};
std::vector<KesInitEntry> nested_table;

TEST_F(ModuleRegistryTest, ModuleRegisteredByAnInitialiserRunsAfterIt) {
  calls.clear();
  nested_table = {{100, procedure<'n'>, nullptr}};
  nested_descriptor = descriptor_of(nested_table);
  std::vector<KesInitEntry> table = {{200,
                                      [](std::int32_t) {
                                        calls += "load ";
                                        initialise_module(&nested_descriptor, instance(20));
                                        calls += "loaded ";
                                      },
                                      nullptr},
                                     {50, procedure<'o'>, nullptr}};
  KesModuleDescriptor d = descriptor_of(table);
  initialise_module(&d, instance(10));
  EXPECT_EQ(calls, "load loaded o+n+");
  EXPECT_EQ(registered_module_count(), 2u);
}

TEST_F(ModuleRegistryTest, LinksDescriptorsAndWalksNewestFirst) {
  KesModuleDescriptor a{}, b{}, c{};
  initialise_module(&a, instance(1));
  initialise_module(&b, instance(2));
  initialise_module(&c, instance(3));
  EXPECT_EQ(a.previous, nullptr);
  EXPECT_EQ(b.previous, &a);
  EXPECT_EQ(b.instance, instance(2));
  EXPECT_EQ(library_instance(), instance(1));  // the first registered becomes the library's
  EXPECT_EQ(next_module_instance(nullptr), instance(3));
  EXPECT_EQ(next_module_instance(instance(3)), instance(2));
  EXPECT_EQ(next_module_instance(instance(2)), instance(1));
  EXPECT_EQ(next_module_instance(instance(1)), nullptr);
  EXPECT_EQ(next_module_instance(instance(9)), nullptr);
  terminate_module(instance(2));
  EXPECT_EQ(next_module_instance(instance(3)), instance(1));
  terminate_module(instance(2));  // no longer known, like a null instance: nothing ends
  terminate_module(nullptr);
  EXPECT_EQ(registered_module_count(), 2u);
  KesModuleDescriptor executable{};
  initialise_module(&executable, nullptr);  // a null instance is the executable's
  EXPECT_EQ(executable.instance, application_instance());
  EXPECT_NE(executable.instance, nullptr);
}

TEST_F(ModuleRegistryTest, BadTablesRunNothingAndStillFreeTheNode) {
  calls.clear();
  std::vector<KesInitEntry> table = {entry<'p'>(9), entry<'r'>(9)};
  const KesInitEntry* start = table.data();
  const auto at = [start](std::size_t offset) {
    return reinterpret_cast<const KesInitEntry*>(reinterpret_cast<std::uintptr_t>(start) + offset);
  };
  const std::pair<const KesInitEntry*, const KesInitEntry*> bounds[] = {
      {start + 1, start},                                  // reversed
      {nullptr, start + 1},                                // null start
      {start, nullptr},                                    // null end
      {at(1), start + 1},                                  // misaligned
      {start, at((kMaxTableEntries + 1) * sizeof *start)}  // too many entries, never read
  };
  std::uintptr_t n = 1;
  std::vector<KesModuleDescriptor> bad(std::size(bounds));
  for (std::size_t i = 0; i < bad.size(); ++i) {
    bad[i].init_start = bounds[i].first;
    bad[i].init_end = bounds[i].second;
    initialise_module(&bad[i], instance(n++));
  }
  initialise_module(nullptr, instance(n++));
  EXPECT_EQ(registered_module_count(), 6u);
  for (std::uintptr_t i = 1; i < n; ++i)
    terminate_module(instance(i));
  EXPECT_EQ(registered_module_count(), 0u);
  EXPECT_EQ(calls, "");
  KesModuleDescriptor partial{};  // a partial last entry is cut
  partial.init_start = start;
  partial.init_end = at(sizeof *start + 4);
  initialise_module(&partial, instance(1));
  EXPECT_EQ(calls, "p+");
}

TEST_F(ModuleRegistryTest, HandsTheThreadAreasSecondFirst) {
  static std::vector<std::string> areas;
  areas.clear();
  library_hooks().register_thread_area = [](void* start, void* end, std::int32_t option,
                                            void* module, void*) {
    areas.push_back(std::to_string(reinterpret_cast<std::uintptr_t>(start)) + ".." +
                    std::to_string(reinterpret_cast<std::uintptr_t>(end)) + "/" +
                    std::to_string(option) + "@" +
                    std::to_string(reinterpret_cast<std::uintptr_t>(module)));
  };
  library_hooks().remove_thread_areas = [](void* module) {
    areas.push_back("remove@" + std::to_string(reinterpret_cast<std::uintptr_t>(module)));
  };
  KesModuleDescriptor d{};
  d.first_swap_start = reinterpret_cast<void*>(16);
  d.first_swap_end = reinterpret_cast<void*>(32);
  d.second_swap_start = reinterpret_cast<void*>(48);
  d.second_swap_end = reinterpret_cast<void*>(64);
  initialise_module(&d, instance(1));
  terminate_module(instance(1));
  EXPECT_EQ(areas, (std::vector<std::string>{"48..64/4@4096", "16..32/0@4096", "remove@4096"}));
  areas.clear();
  KesModuleDescriptor e1{}, e2{};
  initialise_module(&e1, nullptr);
  initialise_module(&e2, nullptr);
  EXPECT_EQ(areas.size(), 2u);  // the executable's areas are handed over once only
}

TEST_F(ModuleRegistryTest, FixupsResolveWordsInTheIndirectionRange) {
  // Two import slots, each holding the address the compiled data really means.
  static int target_a = 1;
  static int target_b = 2;
  static std::uintptr_t slots[2] = {reinterpret_cast<std::uintptr_t>(&target_a),
                                    reinterpret_cast<std::uintptr_t>(&target_b)};
  const auto low = reinterpret_cast<std::uintptr_t>(&slots[0]);
  const auto high = reinterpret_cast<std::uintptr_t>(&slots[2]);
  std::uintptr_t area[5] = {low + sizeof low, 7, low, high, low - 1};
  std::uintptr_t untouched[1] = {low};
  KesFixup fixups[] = {{area, sizeof area}, {nullptr, 64}, {untouched, sizeof untouched - 1}};
  KesModuleDescriptor d{};
  d.fixup_start = fixups;
  d.fixup_end = fixups + 3;
  d.indirection_low = low;
  d.indirection_high = high;
  KesModuleDescriptor reversed = d;  // lists that point at nothing are skipped
  reversed.fixup_start = fixups + 1;
  reversed.fixup_end = fixups;
  KesModuleDescriptor empty_range = d;
  empty_range.indirection_low = high;
  empty_range.indirection_high = low;
  initialise_module(&reversed, instance(2));
  initialise_module(&empty_range, instance(3));
  EXPECT_EQ(area[0], low + sizeof low);
  initialise_module(&d, instance(1));
  EXPECT_EQ(area[0], reinterpret_cast<std::uintptr_t>(&target_b));
  EXPECT_EQ(area[1], 7u);
  EXPECT_EQ(area[2], reinterpret_cast<std::uintptr_t>(&target_a));
  EXPECT_EQ(area[3], high);      // the high bound is outside the range
  EXPECT_EQ(area[4], low - 1);   // below the range
  EXPECT_EQ(untouched[0], low);  // an area shorter than a whole word is left alone
}

TEST_F(ModuleRegistryDeathTest, RegistrationWithoutHeapIsFatal) {
  KesModuleDescriptor d{};
  EXPECT_EXIT(
      {
        platform::heap_fail_nth(1);
        initialise_module(&d, instance(1));
      },
      testing::ExitedWithCode(2), "Insufficient memory to register a module");
}

}  // namespace
}  // namespace kes::runtime
