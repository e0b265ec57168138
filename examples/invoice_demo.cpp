// An invoice computed the way a compiled Kestrel program computes it: every amount is a DECIMAL
// variable, every expression runs on the decimal stack, and every result is printed from the
// variable's packed bytes, never through a REAL.
//
// The Kestrel source this stands for:
//
//   Line      GROUP,DIM(4)
//   Quantity    DECIMAL(7,2)
//   UnitPrice   DECIMAL(9,2)
//   Total       DECIMAL(11,2)
//             END
//   Subtotal  DECIMAL(11,2)
//   Tax       DECIMAL(11,2)
//   Grand     DECIMAL(11,2)
//   Share     DECIMAL(11,2),DIM(3)
//
//   LOOP I = 1 TO 4; Line[I].Total = Line[I].Quantity * Line[I].UnitPrice; Subtotal += ...
//   Tax = ROUND(Subtotal * 0.075, 0.01)
//   Grand = Subtotal + Tax
//   Share[1] = ROUND(Grand / 3, 0.01); Share[2] = Share[1]
//   Share[3] = Grand - Share[1] - Share[2]
#include <cstdint>
#include <cstdio>
#include <string>

#include <kestrel/decimal.h>

namespace {

// DECIMAL(n,p) is stored in (n + 2) / 2 bytes: 2S - 1 digits and a sign nibble.
constexpr std::uint8_t kQuantitySize = 4;  // DECIMAL(7,2)
constexpr std::uint8_t kPriceSize = 5;     // DECIMAL(9,2)
constexpr std::uint8_t kAmountSize = 6;    // DECIMAL(11,2)
constexpr std::uint8_t kPlaces = 2;

struct Line {
  const char* description;
  std::uint8_t quantity[kQuantitySize];
  std::uint8_t unit_price[kPriceSize];
  std::uint8_t total[kAmountSize];
};

// The text of a DECIMAL variable's bytes: sign nibble, then digits, most significant first.
std::string decimal_text(const std::uint8_t* bytes, int size, int places) {
  std::string digits;
  for (int nibble = 1; nibble < 2 * size; ++nibble) {
    const int value = (nibble % 2 == 0) ? bytes[nibble / 2] >> 4 : bytes[nibble / 2] & 0x0F;
    digits += static_cast<char>('0' + value);
  }
  std::string integer = digits.substr(0, digits.size() - static_cast<std::size_t>(places));
  const std::string fraction = digits.substr(digits.size() - static_cast<std::size_t>(places));
  const std::size_t first = integer.find_first_not_of('0');
  integer = first == std::string::npos ? "0" : integer.substr(first);
  const bool negative = (bytes[0] >> 4) != 0 && digits.find_first_not_of('0') != std::string::npos;
  return (negative ? "-" : "") + integer + (places > 0 ? "." + fraction : "");
}

void print_amount(const char* caption, const std::uint8_t* bytes, int size) {
  std::printf("%-28s %14s\n", caption, decimal_text(bytes, size, kPlaces).c_str());
}

// Stores an amount that arrives as text (as an entry field delivers it) in a DECIMAL variable.
void assign_literal(std::uint8_t* variable, std::uint8_t size, const char* text) {
  Kes$DPushCString(text);
  Kes$DPopDec(variable, size, kPlaces);
}

}  // namespace

int main() {
  Line lines[] = {
      {"Field notebook", {}, {}, {}},
      {"Binoculars 8x42", {}, {}, {}},
      {"Feeder seed, kg", {}, {}, {}},
      {"Nest box screws", {}, {}, {}},
  };
  const char* quantities[] = {"3", "1", "2.5", "12"};
  const char* prices[] = {"12.95", "349.00", "4.40", "0.79"};
  for (int i = 0; i < 4; ++i) {
    assign_literal(lines[i].quantity, kQuantitySize, quantities[i]);
    assign_literal(lines[i].unit_price, kPriceSize, prices[i]);
  }

  std::uint8_t subtotal[kAmountSize];
  std::uint8_t tax[kAmountSize];
  std::uint8_t grand[kAmountSize];
  std::uint8_t shares[3][kAmountSize];
  Kes$ClearDec(subtotal, kAmountSize, KES_TYPE_DECIMAL, 0);

  std::puts("Kestrel invoice demo\n");
  for (Line& line : lines) {
    // Line.Total = Line.Quantity * Line.UnitPrice
    Kes$DPushDec(line.quantity, kQuantitySize, kPlaces);
    Kes$DPushDec(line.unit_price, kPriceSize, kPlaces);
    Kes$DecMul();
    Kes$DPopDec(line.total, kAmountSize, kPlaces);
    // Subtotal += Line.Total
    Kes$DPushDec(subtotal, kAmountSize, kPlaces);
    Kes$DPushDec(line.total, kAmountSize, kPlaces);
    Kes$DecAdd();
    Kes$DPopDec(subtotal, kAmountSize, kPlaces);
    std::printf("%-16s %6s x %8s %14s\n", line.description,
                decimal_text(line.quantity, kQuantitySize, kPlaces).c_str(),
                decimal_text(line.unit_price, kPriceSize, kPlaces).c_str(),
                decimal_text(line.total, kAmountSize, kPlaces).c_str());
  }

  // Tax = ROUND(Subtotal * 0.075, 0.01): literals arrive as digit bytes, lowest first.
  const std::uint8_t rate_digits[] = {5, 7, 0};  // 0.075
  const std::uint8_t cent_digits[] = {1, 0};     // 0.01
  Kes$DPushDec(subtotal, kAmountSize, kPlaces);
  Kes$DPushConstant(rate_digits, 3, 3, 0);
  Kes$DecMul();
  Kes$DPushConstant(cent_digits, 2, 2, 0);
  Kes$DRound();
  Kes$DPopDec(tax, kAmountSize, kPlaces);

  // Grand = Subtotal + Tax
  Kes$DPushDec(subtotal, kAmountSize, kPlaces);
  Kes$DPushDec(tax, kAmountSize, kPlaces);
  Kes$DecAdd();
  Kes$DPopDec(grand, kAmountSize, kPlaces);

  // Share[1] = ROUND(Grand / 3, 0.01); Share[2] = Share[1]; Share[3] takes the remainder.
  Kes$DPushDec(grand, kAmountSize, kPlaces);
  Kes$DPushLong(3);
  Kes$DecDivide();
  Kes$DPushConstant(cent_digits, 2, 2, 0);
  Kes$DRound();
  Kes$DPopDec(shares[0], kAmountSize, kPlaces);
  Kes$DPushDec(shares[0], kAmountSize, kPlaces);
  Kes$DPopDec(shares[1], kAmountSize, kPlaces);
  Kes$DPushDec(grand, kAmountSize, kPlaces);
  Kes$DPushDec(shares[0], kAmountSize, kPlaces);
  Kes$DecSub();
  Kes$DPushDec(shares[1], kAmountSize, kPlaces);
  Kes$DecSub();
  Kes$DPopDec(shares[2], kAmountSize, kPlaces);

  std::puts("");
  print_amount("Subtotal", subtotal, kAmountSize);
  print_amount("Tax 7.5%", tax, kAmountSize);
  print_amount("Total due", grand, kAmountSize);
  std::puts("");
  const char* payers[] = {"Payer 1", "Payer 2", "Payer 3 (remainder)"};
  for (int i = 0; i < 3; ++i)
    print_amount(payers[i], shares[i], kAmountSize);

  // The shares add up to the total: (Share[1] + Share[2] + Share[3]) <> Grand is false.
  Kes$DPushDec(shares[0], kAmountSize, kPlaces);
  Kes$DPushDec(shares[1], kAmountSize, kPlaces);
  Kes$DecAdd();
  Kes$DPushDec(shares[2], kAmountSize, kPlaces);
  Kes$DecAdd();
  Kes$DPushDec(grand, kAmountSize, kPlaces);
  const bool balanced = Kes$DecDistinct() == 0;
  std::printf("\nShares add up to the total: %s\n", balanced ? "yes" : "no");
  return balanced ? 0 : 1;
}
