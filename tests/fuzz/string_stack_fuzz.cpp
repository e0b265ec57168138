// The string stack under byte-driven pushes, rotations, copies, fits and pops against a vector of
// strings; a character that cannot continue a number never changes what PopReal reads.
#include <cmath>
#include <string>
#include <vector>

#include <kestrel/string_stack.h>

#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"
#include "runtime/stack/string_store.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

namespace rt = kes::runtime;
using kes::fuzz::check;

std::string entry_text(int distance) {
  const rt::StackEntry& entry = rt::entry_from_top(distance);
  if (entry.pointer == nullptr) return {};
  return {static_cast<const char*>(entry.pointer), entry.length};
}

bool same_real(double left, double right) {
  return left == right || (std::isnan(left) && std::isnan(right));
}

// Reads the text both as a REAL and through String2Ref, with and without a stop character.
void check_readers(const std::string& text) {
  if (text.find('\0') != std::string::npos) return;  // the readers see terminated texts
  const double value = rt::read_real(text.c_str());
  check(same_real(value, rt::read_real((text + "#").c_str())));
  if (rt::string_stack_depth() == rt::kStringStackCapacity) return;  // no room to push it
  rt::push_reference(text);
  std::int32_t parts[3] = {1, 2, 3};
  Kes$String2Ref(&parts[0], &parts[1], &parts[2]);
  if (text.find(':') == std::string::npos) check(parts[1] == 0 && parts[2] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 14) return 0;
  const int depth_at_start = rt::string_stack_depth();
  std::vector<std::string> model;
  std::size_t cursor = 0;
  auto next = [&]() -> std::uint8_t { return cursor < size ? data[cursor++] : 0; };
  auto next_text = [&]() {
    const std::size_t length = next() % 48;
    std::string text;
    while (text.size() < length && cursor < size)
      text += static_cast<char>(data[cursor++]);
    return text;
  };
  std::vector<std::string> variables;  // kept alive while entries refer to them
  variables.reserve(size + 1);
  while (cursor < size) {
    const int depth = static_cast<int>(model.size());
    const bool full = depth == rt::kStringStackCapacity;
    switch (next() % 10) {
      case 0:
        variables.push_back(next_text());
        rt::push_reference(variables.back());
        if (!full) model.push_back(variables.back());
        break;
      case 1: {
        const std::string text = next_text();
        rt::push_text(text);
        if (!full) model.push_back(text);
        break;
      }
      case 2: {
        const std::uint8_t bytes[] = {next(), next(), next(), next()};
        const std::int32_t value = kes::fuzz::read_long(bytes);
        rt::push_long(value);
        if (!full) model.push_back(std::to_string(value));
        break;
      }
      case 3:
        if (depth > 0) {
          const int n = next() % depth;
          rt::rotate(n);
          const std::string moved = model[model.size() - 1 - static_cast<std::size_t>(n)];
          model.erase(model.end() - 1 - n);
          model.push_back(moved);
        }
        break;
      case 4:
        if (depth > 0) rt::make_top_self_contained();
        break;
      case 5:
        if (depth > 0) {
          const std::uint32_t width = next() % 40;
          rt::fit_top_to_width(width);
          std::string& top = model.back();
          top = top.size() >= width ? top.substr(0, width)
                                    : top + std::string(width - top.size(), ' ');
        }
        break;
      case 6:
      case 7:
        if (depth > 0) {
          rt::pop_discard();
          model.pop_back();
        }
        break;
      case 8: rt::restore_string_stack(rt::save_string_stack()); break;
      case 9: check_readers(next_text()); break;
    }
    check(rt::string_stack_depth() == depth_at_start + static_cast<int>(model.size()));
    for (std::size_t distance = 1; distance <= model.size(); ++distance)
      check(entry_text(static_cast<int>(distance)) == model[model.size() - distance]);
  }
  while (!model.empty()) {
    rt::pop_discard();
    model.pop_back();
  }
  check(rt::string_stack_depth() == depth_at_start);
  return 0;
}
