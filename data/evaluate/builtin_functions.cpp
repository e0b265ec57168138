// The built-in functions of expressions. Each calls the run-time operation that compiled code
// calls for the same built-in, so EVALUATE and compiled code give the same results.
#include "data/evaluate/builtin_functions.h"

#include <algorithm>
#include <cmath>

#include <kestrel/dates.h>
#include <kestrel/matching.h>
#include <kestrel/maths.h>
#include <kestrel/string_stack.h>

#include "data/evaluate/names.h"
#include "runtime/builtins/string_builtins.h"
#include "runtime/stack/string_stack.h"

namespace kes::data {

namespace rt = kes::runtime;

namespace {

constexpr ValueClass kInteger = ValueClass::Integer;
constexpr ValueClass kReal = ValueClass::Real;
constexpr ValueClass kString = ValueClass::String;

constexpr BuiltinFunction kBuiltins[] = {
    {"ABS", Builtin::Abs, 1, kReal},
    {"ACOS", Builtin::Acos, 1, kReal},
    {"AGE", Builtin::Age, 2, kString},
    {"ALL", Builtin::All, 2, kString},
    {"ASIN", Builtin::Asin, 1, kReal},
    {"ATAN", Builtin::Atan, 1, kReal},
    {"BAND", Builtin::Band, 2, kInteger},
    {"BOR", Builtin::Bor, 2, kInteger},
    {"BSHIFT", Builtin::Bshift, 2, kInteger},
    {"BXOR", Builtin::Bxor, 2, kInteger},
    {"CENTER", Builtin::Center, 2, kString},
    {"CHOOSE", Builtin::Choose, 25, kString},
    {"CHR", Builtin::Chr, 1, kString},
    {"CLIP", Builtin::Clip, 1, kString},
    {"CLOCK", Builtin::Clock, 0, kInteger},
    {"COS", Builtin::Cos, 1, kReal},
    {"DATE", Builtin::Date, 3, kInteger},
    {"DAY", Builtin::Day, 1, kInteger},
    {"DEFORMAT", Builtin::Deformat, 2, kString},
    {"FORMAT", Builtin::Format, 2, kString},
    {"GETINI", Builtin::Getini, 4, kString},
    {"INLIST", Builtin::Inlist, 25, kInteger},
    {"INRANGE", Builtin::Inrange, 3, kInteger},
    {"INSTRING", Builtin::Instring, 4, kInteger},
    {"INT", Builtin::Int, 1, kInteger},
    {"LEFT", Builtin::Left, 2, kString},
    {"LEN", Builtin::Len, 1, kInteger},
    {"LOG10", Builtin::Log10, 1, kReal},
    {"LOGE", Builtin::Loge, 1, kReal},
    {"LOWER", Builtin::Lower, 1, kString},
    {"MATCH", Builtin::Match, 3, kInteger},
    {"MEMORY", Builtin::Memory, 1, kInteger},
    {"MONTH", Builtin::Month, 1, kInteger},
    {"NULL", Builtin::Null, 1, kInteger},
    {"NUMERIC", Builtin::Numeric, 1, kInteger},
    {"RANDOM", Builtin::Random, 2, kInteger},
    {"RIGHT", Builtin::Right, 2, kString},
    {"ROUND", Builtin::Round, 2, kReal},
    {"SIN", Builtin::Sin, 1, kReal},
    {"SQL", Builtin::Sql, 0, kString},
    {"SQRT", Builtin::Sqrt, 1, kReal},
    {"SUB", Builtin::Sub, 3, kString},
    {"TAN", Builtin::Tan, 1, kReal},
    {"TODAY", Builtin::Today, 0, kInteger},
    {"UPPER", Builtin::Upper, 1, kString},
    {"VAL", Builtin::Val, 1, kInteger},
    {"YEAR", Builtin::Year, 1, kInteger},
};

GetIniHandler g_getini_handler = nullptr;

}  // namespace

std::span<const BuiltinFunction> builtin_functions() noexcept { return kBuiltins; }

const BuiltinFunction* find_builtin(std::string_view name) noexcept {
  const auto* const end = std::end(kBuiltins);
  const auto* found = std::lower_bound(
      std::begin(kBuiltins), end, name,
      [](const BuiltinFunction& f, auto key) { return compare_names(f.name, key) < 0; });
  return found != end && compare_names(found->name, name) == 0 ? found : nullptr;
}

void set_getini_handler(GetIniHandler handler) noexcept { g_getini_handler = handler; }

CallNode::Result CallNode::call() noexcept {
  const int given = argument_count();
  // Omitted arguments: texts are empty, numbers take the built-in's own default.
  const auto whole = [&](int index, std::int32_t omitted) {
    return index < given ? argument(index).integer() : omitted;
  };
  const auto fraction = [&](int index, double omitted) {
    return index < given ? argument(index).real() : omitted;
  };
  const auto push_text = [&](int index) {
    if (index < given) {
      argument(index).push();
    } else {
      rt::push_reference({});
    }
  };
  const auto whole_result = [](std::int32_t value) { return Result{Result::Whole, value, 0.0}; };
  const auto real_result = [](double value) { return Result{Result::Fraction, 0, value}; };
  const Result pushed{Result::Pushed, 0, 0.0};

  switch (function_) {
    case Builtin::Procedure: return call_procedure();
    case Builtin::Abs: return real_result(std::fabs(fraction(0, 0.0)));
    case Builtin::Acos: return real_result(Kes$ACOS(fraction(0, 0.0)));
    case Builtin::Asin: return real_result(Kes$ASIN(fraction(0, 0.0)));
    case Builtin::Atan: return real_result(Kes$ATAN(fraction(0, 0.0)));
    case Builtin::Cos: return real_result(Kes$COS(fraction(0, 0.0)));
    case Builtin::Sin: return real_result(Kes$SIN(fraction(0, 0.0)));
    case Builtin::Tan: return real_result(Kes$TAN(fraction(0, 0.0)));
    case Builtin::Sqrt: return real_result(Kes$SQRT(fraction(0, 0.0)));
    case Builtin::Log10: return real_result(Kes$LOG10(fraction(0, 0.0)));
    case Builtin::Loge: return real_result(Kes$LOGE(fraction(0, 0.0)));
    case Builtin::Round: {
      const double value = fraction(0, 0.0);
      // Without an increment the value stays as it is.
      return real_result(Kes$ROUND(value, fraction(1, 0.0)));
    }
    case Builtin::Int: return real_result(Kes$INT(fraction(0, 0.0)));
    case Builtin::Age: {
      const std::int32_t birth = whole(0, 0);
      Kes$StackAGE(birth, whole(1, -1));  // no base date: today
      return pushed;
    }
    case Builtin::All:
      push_text(0);
      rt::all_top(whole(1, 255));
      return pushed;
    case Builtin::Band: {
      const std::int32_t a = whole(0, 0);
      return whole_result(a & whole(1, 0));
    }
    case Builtin::Bor: {
      const std::int32_t a = whole(0, 0);
      return whole_result(a | whole(1, 0));
    }
    case Builtin::Bxor: {
      const std::int32_t a = whole(0, 0);
      return whole_result(a ^ whole(1, 0));
    }
    case Builtin::Bshift: {
      const std::int32_t a = whole(0, 0);
      return whole_result(Kes$BSHIFT(a, whole(1, 0)));
    }
    case Builtin::Center:
      push_text(0);
      rt::center_top(whole(1, rt::kOwnWidth));
      return pushed;
    case Builtin::Left:
      push_text(0);
      rt::left_top(whole(1, rt::kOwnWidth));
      return pushed;
    case Builtin::Right:
      push_text(0);
      rt::right_top(whole(1, rt::kOwnWidth));
      return pushed;
    case Builtin::Choose: {
      // CHOOSE(condition, a, b) gives a when true, b when false; CHOOSE(n, v1, v2 ...) gives
      // value n, the last value when n is out of range; with no values, the selector itself.
      if (given <= 1) {
        push_text(0);
        return pushed;
      }
      std::int32_t pick = 0;
      if (argument(0).value_class() == ValueClass::Condition) {
        pick = argument(0).truth() ? 1 : 2;
      } else {
        pick = argument(0).integer();
      }
      if (pick < 1 || pick > given - 1) pick = given - 1;
      argument(pick).push();
      return pushed;
    }
    case Builtin::Chr: {
      const char byte = static_cast<char>(whole(0, 0) & 0xFF);
      rt::push_text({&byte, 1});
      return pushed;
    }
    case Builtin::Clip:
      push_text(0);
      rt::clip_top();
      return pushed;
    case Builtin::Upper:
      push_text(0);
      rt::upper_top();
      return pushed;
    case Builtin::Lower:
      push_text(0);
      rt::lower_top();
      return pushed;
    case Builtin::Clock: return whole_result(Kes$CLOCK());
    case Builtin::Today: return whole_result(Kes$TODAY());
    case Builtin::Date: {
      const std::int32_t month = whole(0, 0);
      const std::int32_t day = whole(1, 0);
      return whole_result(Kes$DATE(month, day, whole(2, 0)));
    }
    case Builtin::Day: return whole_result(Kes$DAY(whole(0, 0)));
    case Builtin::Month: return whole_result(Kes$MONTH(whole(0, 0)));
    case Builtin::Year: return whole_result(Kes$YEAR(whole(0, 0)));
    case Builtin::Format:
      // The picture goes below the value.
      push_text(1);
      push_text(0);
      rt::format_top_with_stacked_picture();
      return pushed;
    case Builtin::Deformat:
      push_text(1);
      push_text(0);
      rt::deformat_top_with_stacked_picture();
      return pushed;
    case Builtin::Getini:
      if (g_getini_handler == nullptr) {
        push_text(2);
        return pushed;
      }
      // The first text ends on top.
      for (int index = 3; index >= 0; --index)
        push_text(index);
      g_getini_handler();
      return pushed;
    case Builtin::Inlist: {
      if (given < 1) return whole_result(0);
      // Item 1 directly below the value, the last item lowest.
      for (int index = given - 1; index >= 1; --index)
        argument(index).push();
      argument(0).push();
      return whole_result(rt::inlist_pop(static_cast<std::uint32_t>(given - 1)));
    }
    case Builtin::Inrange: {
      const double value = fraction(0, 0.0);
      const double low = fraction(1, 0.0);
      const double high = fraction(2, 0.0);
      const bool above_low = value > low || Kes$realdistinct(value, low) == 0;
      const bool below_high = value < high || Kes$realdistinct(value, high) == 0;
      return whole_result(above_low && below_high ? 1 : 0);
    }
    case Builtin::Instring: {
      // INSTRING(sought, searched, step, start): the sought text ends on top.
      push_text(1);
      push_text(0);
      const std::int32_t step = whole(2, 1);
      return whole_result(rt::instring_pop(step, whole(3, 1)));
    }
    case Builtin::Len: push_text(0); return whole_result(static_cast<std::int32_t>(Kes$StackLen()));
    case Builtin::Match: {
      // The pattern below the text.
      push_text(1);
      push_text(0);
      return whole_result(Kes$MATCH(whole(2, 0)));
    }
    case Builtin::Memory:
      // Memory is not counted out to programs on this platform.
      return whole_result(0);
    case Builtin::Null: {
      if (given < 1) return whole_result(1);
      Node& operand = argument(0);
      if (operand.category() == NodeCategory::Variable)
        return whole_result(static_cast<VariableNode&>(operand).value().is_null() ? 1 : 0);
      return whole_result(operand.truth() ? 0 : 1);
    }
    case Builtin::Numeric: push_text(0); return whole_result(rt::numeric_pop());
    case Builtin::Random: {
      const std::int32_t low = whole(0, 0);
      return whole_result(Kes$RANDOM(low, whole(1, 0)));
    }
    case Builtin::Sql: push_text(0); return pushed;
    case Builtin::Sub: {
      push_text(0);
      const std::int32_t start = whole(1, 1);
      rt::sub_top(start, whole(2, -1));  // no length: the rest of the text
      return pushed;
    }
    case Builtin::Val: push_text(0); return whole_result(rt::val_pop());
  }
  return whole_result(0);
}

CallNode::Result CallNode::call_procedure() noexcept {
  // The arguments go on the string stack as texts, the last first, so that the first is on
  // top; an omitted one is the empty text. The procedure pops them as its parameters.
  const int given = argument_count();
  for (int index = argument_limit_ - 1; index >= 0; --index) {
    if (index < given) {
      arguments_[static_cast<std::size_t>(index)]->push();
    } else {
      rt::push_reference({});
    }
  }
  switch (value_class()) {
    case ValueClass::Integer: {
      const auto procedure = reinterpret_cast<std::int32_t (*)()>(procedure_);
      return Result{Result::Whole, procedure(), 0.0};
    }
    case ValueClass::Real: {
      const auto procedure = reinterpret_cast<double (*)()>(procedure_);
      return Result{Result::Fraction, 0, procedure()};
    }
    default:
      // A text result is pushed by the procedure itself.
      procedure_();
      return Result{Result::Pushed, 0, 0.0};
  }
}

}  // namespace kes::data
