// Random sequences of pushes, rotations, copies and pops against a plain vector of strings.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/host_speed.h"

namespace kes::runtime {
namespace {

std::string entry_text(int distance) {
  const StackEntry& entry = entry_from_top(distance);
  if (entry.pointer == nullptr) return {};
  return {static_cast<const char*>(entry.pointer), entry.length};
}

TEST(StringStackModel, RandomOperationsMatchAVectorOfStrings) {
  std::mt19937 random(42);
  auto next = [&random](std::uint32_t bound) {
    return static_cast<std::uint32_t>(random() % bound);
  };
  std::vector<std::string> model;
  // Variables stay alive and unchanged while referenced, as compiled code guarantees.
  const std::vector<std::string> variables = {
      "", "A", "Owl", std::string(20, 'v'), std::string(21, 'w'), std::string(300, 'z')};
  for (int step = 0; step < test::samples(200000); ++step) {
    const unsigned operation = next(11);
    const bool full = model.size() == kStringStackCapacity;
    switch (operation) {
      case 0: {
        const std::string& variable = variables[random() % variables.size()];
        push_reference(variable);
        if (!full) model.push_back(variable);
        break;
      }
      case 1: {
        const std::string text(random() % 45, static_cast<char>('a' + random() % 26));
        push_text(text);
        if (!full) model.push_back(text);
        break;
      }
      case 2: {
        const auto value = static_cast<std::int32_t>(random());
        push_long(value);
        if (!full) model.push_back(std::to_string(value));
        break;
      }
      case 3: {
        const std::uint32_t length = next(30);
        auto* block = static_cast<char*>(platform::heap_allocate(length));
        std::string text(length, static_cast<char>('0' + random() % 10));
        text.copy(block, length);
        push_owned(block, length);
        if (!full) model.push_back(text);
        break;
      }
      case 4:
      case 5:
        if (model.empty()) break;
        pop_discard();
        model.pop_back();
        break;
      case 6:
        if (model.empty()) break;
        {
          const int n = static_cast<int>(random() % model.size());
          rotate(n);
          const std::string moved = model[model.size() - 1 - static_cast<std::size_t>(n)];
          model.erase(model.end() - 1 - n);
          model.push_back(moved);
        }
        break;
      case 7:
        if (model.empty()) break;
        make_top_self_contained();
        break;
      case 8:
        if (model.empty()) break;
        {
          const std::uint32_t width = next(40);
          fit_top_to_width(width);
          std::string& top = model.back();
          top = top.size() >= width ? top.substr(0, width)
                                    : top + std::string(width - top.size(), ' ');
        }
        break;
      case 9:
        if (model.empty()) break;
        {
          const HeapText text = pop_to_heap();
          EXPECT_EQ(
              std::string(text.pointer == nullptr ? "" : std::string(text.pointer, text.length)),
              model.back());
          platform::heap_free(text.pointer);
          model.pop_back();
        }
        break;
      case 10: restore_string_stack(save_string_stack()); break;
    }
    ASSERT_EQ(string_stack_depth(), static_cast<int>(model.size())) << "step " << step;
    for (std::size_t distance = 1; distance <= model.size(); ++distance) {
      ASSERT_EQ(entry_text(static_cast<int>(distance)), model[model.size() - distance])
          << "step " << step << " distance " << distance;
    }
  }
  while (string_stack_depth() > 0)
    pop_discard();
}

}  // namespace
}  // namespace kes::runtime
