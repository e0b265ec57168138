// A compiled picture's tokens as text, for the kes tool and for reading compiled pictures in
// tests.
#include <string>

#include "numeric/pictures/picture_engine.h"

namespace kes::numeric {
namespace {

const char* token_name(std::uint8_t code, bool& with_argument) {
  with_argument = true;
  switch (code) {
    case kTokenLiteral: return "lit";
    case kTokenGroup: return "grp";
    case kTokenPoint: return "pt";
    case kTokenFillDigit: return "dig";
    case kTokenSign: return "sgn";
    case kTokenCurrency: return "cur";
    case kTokenMonth: return "mon";
    case kTokenDay: return "day";
    case kTokenYear: return "yr";
    case kTokenHour: return "hr";
    case kTokenMinute: return "min";
    case kTokenSecond: return "sec";
    case kTokenSeparator: return "sep";
    default: break;
  }
  with_argument = false;
  switch (code) {
    case kTokenBlankDigit: return "blk";
    case kTokenMonthName: return "mname";
    case kTokenKeyAlpha: return "alpha";
    case kTokenKeyUpper: return "upper";
    case kTokenKeyLower: return "lower";
    case kTokenKeyAny: return "any";
    case kTokenAmPm: return "ampm";
    case kTokenExponentSign: return "esgn";
    case kTokenImpliedPoint: return "ipt";
    case kTokenKeyStop: return "stop";
    default: return "?";
  }
}

}  // namespace

std::string describe_tokens(const PicDesc& desc) {
  std::string text;
  const int n = token_count(desc);
  for (int i = 0; i < n; ++i) {
    const PicToken t = desc.tokens[i];
    bool with_argument = false;
    if (i > 0) text += ' ';
    text += token_name(t.code, with_argument);
    if (with_argument) {
      text += '\'';
      text += static_cast<char>(t.argument);
      text += '\'';
    }
  }
  return text;
}

}  // namespace kes::numeric
