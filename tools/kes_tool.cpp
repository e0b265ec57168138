// The `kes` tool's picture commands.
#include "tools/kes_tool.h"

#include <string>

#include "numeric/pictures/picture_engine.h"

namespace kes::tools {
namespace {

using namespace kes::numeric;  // the picture engine this tool shows

constexpr std::string_view kUsage =
    "usage: kes COMMAND ARGUMENTS\n"
    "\n"
    "Formats and reads values through Kestrel pictures.\n"
    "\n"
    "commands:\n"
    "  kes format PICTURE VALUE    show VALUE formatted by PICTURE; VALUE is a number\n"
    "                              (a serial day for @D, a time value for @T) or, for @S\n"
    "                              and @K, any text\n"
    "  kes deformat PICTURE TEXT   read TEXT typed against PICTURE and show the result\n"
    "  kes picture PICTURE         show the compiled tokens and the width of PICTURE\n"
    "  kes --help                  show this text\n"
    "\n"
    "The output of format is exactly the picture's width, between quotes.\n"
    "Exit status: 0 success, 1 invalid picture or value, 2 wrong command line.\n";

const char* kind_name(PictureKind kind) {
  switch (kind) {
    case PictureKind::Numeric: return "numeric";
    case PictureKind::Scientific: return "scientific";
    case PictureKind::Date: return "date";
    case PictureKind::Time: return "time";
    case PictureKind::Pattern: return "pattern";
    case PictureKind::String: return "string";
    case PictureKind::KeyIn: return "key-in";
  }
  return "unknown";
}

// A picture given on the command line, zero-terminated for the compiler.
bool compile_argument(PicDesc& desc, std::string_view text, std::string& err) {
  const std::string picture(text);
  // A zero byte would end the picture early: such an argument is invalid as a whole.
  if (picture.find('\0') == std::string::npos) {
    compile_picture(desc, picture.c_str());
  } else {
    desc.Clear();
  }
  if (picture_width(desc) == 0) {
    err += "kes: invalid picture '" + picture + "'\n";
    return false;
  }
  return true;
}

// Splits a decimal number ("-1234.5") into its digits and integer-digit count.
bool split_number(std::string_view text, std::string& digits, int& integer_digits, bool& negative) {
  std::size_t i = 0;
  negative = i < text.size() && text[i] == '-';
  if (negative || (i < text.size() && text[i] == '+')) ++i;
  integer_digits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits += c;
      if (!point) ++integer_digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
    if (digits.size() > 1000) return false;
  }
  return !digits.empty();
}

int run_format(std::string_view picture, std::string_view value, std::string& out,
               std::string& err) {
  PicDesc desc;
  if (!compile_argument(desc, picture, err)) return kToolFailed;
  std::string field(static_cast<std::size_t>(picture_width(desc)), ' ');
  const PictureKind kind = picture_kind(desc);
  if (kind == PictureKind::String || kind == PictureKind::KeyIn) {
    format_digits(desc, field, value, 0, false);
  } else {
    std::string digits;
    int integer_digits = 0;
    bool negative = false;
    if (!split_number(value, digits, integer_digits, negative)) {
      err += "kes: not a number: '" + std::string(value) + "'\n";
      return kToolFailed;
    }
    format_digits(desc, field, digits, integer_digits, negative);
  }
  out += "'" + field + "'\n";
  return kToolOk;
}

int run_deformat(std::string_view picture, std::string_view text, std::string& out,
                 std::string& err) {
  PicDesc desc;
  if (!compile_argument(desc, picture, err)) return kToolFailed;
  out += std::string(deformat_text(desc, text)) + "\n";
  return kToolOk;
}

int run_picture(std::string_view picture, std::string& out, std::string& err) {
  PicDesc desc;
  if (!compile_argument(desc, picture, err)) return kToolFailed;
  out += std::string(picture) + ": " + kind_name(picture_kind(desc)) + ", width " +
         std::to_string(picture_width(desc));
  if (blank_when_zero(desc)) out += ", blank when zero";
  if (picture_kind(desc) == PictureKind::Date || picture_kind(desc) == PictureKind::Time) {
    out += ", layout " + std::to_string(desc.picture_number);
  }
  if (picture_kind(desc) == PictureKind::Date) {
    out += ", century window " + std::to_string(desc.century_window);
  }
  out += "\n";
  if (token_count(desc) > 0) out += describe_tokens(desc) + "\n";
  return kToolOk;
}

}  // namespace

int run_kes_tool(std::span<const std::string_view> args, std::string& out, std::string& err) {
  if (args.empty()) {
    err += kUsage;
    return kToolUsage;
  }
  const std::string_view command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out += kUsage;
    return kToolOk;
  }
  struct Command {
    std::string_view name;
    std::size_t operands;
    std::string_view operand_names;
  };
  static constexpr Command kCommands[] = {
      {"format", 2, "PICTURE and VALUE"},
      {"deformat", 2, "PICTURE and TEXT"},
      {"picture", 1, "PICTURE"},
  };
  for (const Command& c : kCommands) {
    if (command != c.name) continue;
    if (args.size() != c.operands + 1) {
      err += "kes: " + std::string(c.name) + " takes " + std::string(c.operand_names) +
             " (see kes --help)\n";
      return kToolUsage;
    }
    if (c.name == "format") return run_format(args[1], args[2], out, err);
    if (c.name == "deformat") return run_deformat(args[1], args[2], out, err);
    return run_picture(args[1], out, err);
  }
  err += "kes: unknown command '" + std::string(command) + "' (see kes --help)\n";
  return kToolUsage;
}

}  // namespace kes::tools
