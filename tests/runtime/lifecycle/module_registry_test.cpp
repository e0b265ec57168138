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

std::vector<std::string> calls;

template <char Name>
void procedure(std::int32_t argument) {
  calls.push_back(std::string(1, Name) + (argument == 0 ? "+" : "-"));
}

using ModuleRegistryTest = test::LifecycleTest;

void* instance(std::uintptr_t n) { return reinterpret_cast<void*>(n * 0x1000); }

KesModuleDescriptor descriptor_of(const std::vector<KesInitEntry>& table) {
  KesModuleDescriptor d{};
  d.init_start = table.data();
  d.init_end = table.data() + table.size();
  return d;
}

TEST_F(ModuleRegistryTest, HigherPrioritiesOfAllModulesRunFirst) {
  calls.clear();
  std::vector<KesInitEntry> a = {{10, procedure<'a'>, procedure<'a'>},
                                 {200, procedure<'A'>, procedure<'A'>}};
  std::vector<KesInitEntry> b = {{200, procedure<'B'>, procedure<'B'>},
                                 {10, procedure<'b'>, procedure<'b'>}};
  KesModuleDescriptor da = descriptor_of(a);
  KesModuleDescriptor db = descriptor_of(b);
  register_module(&da, instance(1));
  register_module(&db, instance(2));
  run_pending_initialisers();
  EXPECT_EQ(calls, (std::vector<std::string>{"A+", "B+", "a+", "b+"}));

  calls.clear();
  terminate_module(instance(1));
  EXPECT_EQ(calls, (std::vector<std::string>{"a-", "A-"}));
  calls.clear();
  run_pending_initialisers();  // nothing pending any more
  EXPECT_TRUE(calls.empty());
}

TEST_F(ModuleRegistryTest, TableOrderWithinAPriority) {
  calls.clear();
  std::vector<KesInitEntry> table = {{5, procedure<'x'>, procedure<'x'>},
                                     {7, procedure<'s'>, procedure<'s'>},
                                     {5, procedure<'y'>, procedure<'y'>},
                                     {5, procedure<'z'>, procedure<'z'>}};
  KesModuleDescriptor d = descriptor_of(table);
  initialise_module(&d, instance(3));
  EXPECT_EQ(calls, (std::vector<std::string>{"s+", "x+", "y+", "z+"}));
  calls.clear();
  terminate_module(instance(3));
  EXPECT_EQ(calls, (std::vector<std::string>{"z-", "y-", "x-", "s-"}));
}

TEST_F(ModuleRegistryTest, PriorityBoundaries) {
  calls.clear();
  std::vector<KesInitEntry> table = {{0, procedure<'0'>, procedure<'0'>},
                                     {1, procedure<'1'>, procedure<'1'>},
                                     {255, procedure<'M'>, procedure<'M'>},
                                     {256, procedure<'O'>, procedure<'O'>},
                                     {-1, procedure<'N'>, procedure<'N'>}};
  KesModuleDescriptor d = descriptor_of(table);
  initialise_module(&d, instance(4));
  // 0 is only terminated; above 255 and negative are neither.
  EXPECT_EQ(calls, (std::vector<std::string>{"M+", "1+"}));
  calls.clear();
  terminate_module(instance(4));
  EXPECT_EQ(calls, (std::vector<std::string>{"0-", "1-", "M-"}));
}

TEST_F(ModuleRegistryTest, NullProceduresAreSkipped) {
  calls.clear();
  std::vector<KesInitEntry> table = {{9, nullptr, procedure<'t'>}, {9, procedure<'i'>, nullptr}};
  KesModuleDescriptor d = descriptor_of(table);
  initialise_module(&d, instance(5));
  EXPECT_EQ(calls, (std::vector<std::string>{"i+"}));
  calls.clear();
  terminate_module(instance(5));
  EXPECT_EQ(calls, (std::vector<std::string>{"t-"}));
}

TEST_F(ModuleRegistryTest, LinksDescriptorsAndRecordsInstances) {
  KesModuleDescriptor first{};
  KesModuleDescriptor second{};
  initialise_module(&first, instance(6));
  initialise_module(&second, instance(7));
  EXPECT_EQ(first.previous, nullptr);
  EXPECT_EQ(first.instance, instance(6));
  EXPECT_EQ(second.previous, &first);
  EXPECT_EQ(second.instance, instance(7));
  EXPECT_EQ(library_instance(), instance(6));  // the first registered becomes the library's
  KesModuleDescriptor executable{};
  initialise_module(&executable, nullptr);  // a null instance is the executable's
  EXPECT_EQ(executable.instance, application_instance());
  EXPECT_NE(executable.instance, nullptr);
}

TEST_F(ModuleRegistryTest, WalksNewestFirst) {
  KesModuleDescriptor a{}, b{}, c{};
  initialise_module(&a, instance(1));
  initialise_module(&b, instance(2));
  initialise_module(&c, instance(3));
  EXPECT_EQ(next_module_instance(nullptr), instance(3));
  EXPECT_EQ(next_module_instance(instance(3)), instance(2));
  EXPECT_EQ(next_module_instance(instance(2)), instance(1));
  EXPECT_EQ(next_module_instance(instance(1)), nullptr);
  EXPECT_EQ(next_module_instance(instance(9)), nullptr);
  terminate_module(instance(2));
  EXPECT_EQ(next_module_instance(instance(3)), instance(1));
  EXPECT_EQ(registered_module_count(), 2u);
  terminate_module(instance(2));  // no longer known, like a null instance: nothing ends
  terminate_module(nullptr);
  EXPECT_EQ(registered_module_count(), 2u);
}

TEST_F(ModuleRegistryTest, BadTablesRunNothingAndStillFreeTheNode) {
  calls.clear();
  std::vector<KesInitEntry> table = {{9, procedure<'q'>, procedure<'q'>}};
  KesModuleDescriptor reversed{};
  reversed.init_start = table.data() + 1;
  reversed.init_end = table.data();
  KesModuleDescriptor null_start{};
  null_start.init_end = table.data() + 1;
  KesModuleDescriptor null_end{};
  null_end.init_start = table.data();
  KesModuleDescriptor misaligned{};
  misaligned.init_start =
      reinterpret_cast<const KesInitEntry*>(reinterpret_cast<const char*>(table.data()) + 1);
  misaligned.init_end = table.data() + 1;
  KesModuleDescriptor huge{};
  huge.init_start = table.data();
  huge.init_end = reinterpret_cast<const KesInitEntry*>(
      reinterpret_cast<std::uintptr_t>(table.data()) +
      (kMaxTableEntries + 1) * sizeof(KesInitEntry));  // never read
  KesModuleDescriptor* bad[] = {&reversed, &null_start, &null_end, &misaligned, &huge};
  std::uintptr_t n = 1;
  for (KesModuleDescriptor* d : bad)
    initialise_module(d, instance(n++));
  initialise_module(nullptr, instance(n++));
  EXPECT_EQ(registered_module_count(), 6u);
  for (std::uintptr_t i = 1; i < n; ++i)
    terminate_module(instance(i));
  EXPECT_EQ(registered_module_count(), 0u);
  EXPECT_TRUE(calls.empty());
}

TEST_F(ModuleRegistryTest, PartialLastEntryIsIgnored) {
  calls.clear();
  std::vector<KesInitEntry> table = {{9, procedure<'p'>, procedure<'p'>},
                                     {9, procedure<'r'>, procedure<'r'>}};
  KesModuleDescriptor d{};
  d.init_start = table.data();
  d.init_end = reinterpret_cast<const KesInitEntry*>(reinterpret_cast<const char*>(table.data()) +
                                                     sizeof(KesInitEntry) + 4);
  initialise_module(&d, instance(1));
  EXPECT_EQ(calls, (std::vector<std::string>{"p+"}));
}

KesModuleDescriptor nested_descriptor{};
std::vector<KesInitEntry> nested_table;

void register_nested(std::int32_t) {
  calls.push_back("load");
  initialise_module(&nested_descriptor, instance(20));
  calls.push_back("loaded");
}

TEST_F(ModuleRegistryTest, ModuleRegisteredByAnInitialiserRunsAfterIt) {
  calls.clear();
  nested_table = {{100, procedure<'n'>, nullptr}};
  nested_descriptor = descriptor_of(nested_table);
  std::vector<KesInitEntry> table = {{200, register_nested, nullptr},
                                     {50, procedure<'o'>, nullptr}};
  KesModuleDescriptor d = descriptor_of(table);
  initialise_module(&d, instance(10));
  EXPECT_EQ(calls, (std::vector<std::string>{"load", "loaded", "o+", "n+"}));
  EXPECT_EQ(registered_module_count(), 2u);
}

std::vector<std::string> area_calls;

TEST_F(ModuleRegistryTest, HandsTheThreadAreasSecondFirst) {
  area_calls.clear();
  library_hooks().register_thread_area = [](void* start, void* end, std::int32_t option,
                                            void* module, void*) {
    area_calls.push_back(std::to_string(reinterpret_cast<std::uintptr_t>(start)) + ".." +
                         std::to_string(reinterpret_cast<std::uintptr_t>(end)) + "/" +
                         std::to_string(option) + "@" +
                         std::to_string(reinterpret_cast<std::uintptr_t>(module)));
  };
  library_hooks().remove_thread_areas = [](void* module) {
    area_calls.push_back("remove@" + std::to_string(reinterpret_cast<std::uintptr_t>(module)));
  };
  KesModuleDescriptor d{};
  d.first_swap_start = reinterpret_cast<void*>(16);
  d.first_swap_end = reinterpret_cast<void*>(32);
  d.second_swap_start = reinterpret_cast<void*>(48);
  d.second_swap_end = reinterpret_cast<void*>(64);
  initialise_module(&d, instance(1));
  EXPECT_EQ(area_calls, (std::vector<std::string>{"48..64/4@4096", "16..32/0@4096"}));
  terminate_module(instance(1));
  EXPECT_EQ(area_calls.back(), "remove@4096");

  // The executable's areas are handed over once only.
  area_calls.clear();
  KesModuleDescriptor e1{}, e2{};
  initialise_module(&e1, nullptr);
  initialise_module(&e2, nullptr);
  EXPECT_EQ(area_calls.size(), 2u);
}

TEST_F(ModuleRegistryTest, FixupsResolveWordsInTheIndirectionRange) {
  // Two import slots, each holding the address the compiled data really means.
  static int target_a = 1;
  static int target_b = 2;
  static std::uintptr_t slots[2] = {reinterpret_cast<std::uintptr_t>(&target_a),
                                    reinterpret_cast<std::uintptr_t>(&target_b)};
  std::uintptr_t low = reinterpret_cast<std::uintptr_t>(&slots[0]);
  std::uintptr_t high = reinterpret_cast<std::uintptr_t>(&slots[2]);
  std::uintptr_t area[5] = {reinterpret_cast<std::uintptr_t>(&slots[1]), 7,
                            reinterpret_cast<std::uintptr_t>(&slots[0]), high, low - 1};
  std::uintptr_t untouched[1] = {reinterpret_cast<std::uintptr_t>(&slots[0])};
  KesFixup fixups[] = {{area, sizeof area}, {nullptr, 64}, {untouched, sizeof untouched - 1}};
  KesModuleDescriptor d{};
  d.fixup_start = fixups;
  d.fixup_end = fixups + 3;
  d.indirection_low = low;
  d.indirection_high = high;
  initialise_module(&d, instance(1));
  EXPECT_EQ(area[0], reinterpret_cast<std::uintptr_t>(&target_b));
  EXPECT_EQ(area[1], 7u);
  EXPECT_EQ(area[2], reinterpret_cast<std::uintptr_t>(&target_a));
  EXPECT_EQ(area[3], high);     // the high bound is outside the range
  EXPECT_EQ(area[4], low - 1);  // below the range
  // An area shorter than a whole word is left alone.
  EXPECT_EQ(untouched[0], reinterpret_cast<std::uintptr_t>(&slots[0]));
}

TEST_F(ModuleRegistryTest, FixupListsThatPointAtNothingAreSkipped) {
  std::uintptr_t word = 0x5000;
  KesFixup fixup{&word, sizeof word};
  KesModuleDescriptor null_list{};
  null_list.indirection_low = 0x4000;
  null_list.indirection_high = 0x6000;
  KesModuleDescriptor reversed = null_list;
  reversed.fixup_start = &fixup + 1;
  reversed.fixup_end = &fixup;
  KesModuleDescriptor empty_range{};
  empty_range.fixup_start = &fixup;
  empty_range.fixup_end = &fixup + 1;
  empty_range.indirection_low = 0x6000;
  empty_range.indirection_high = 0x4000;
  initialise_module(&null_list, instance(1));
  initialise_module(&reversed, instance(2));
  initialise_module(&empty_range, instance(3));
  EXPECT_EQ(word, 0x5000u);
}

using ModuleRegistryDeathTest = test::LifecycleTest;

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
