// An invoice computed the way a compiled Kestrel program computes it: every amount is a DECIMAL
// variable, every expression runs on the decimal stack, and every result is printed from the
// variable's packed bytes, never through a REAL.
//
// The Kestrel source this stands for:
//
//   Line      QUEUE
//   Description STRING(16)
//   Quantity    DECIMAL(7,2)
//   UnitPrice   DECIMAL(9,2)
//   Total       DECIMAL(11,2)
//   Dept        BYTE
//             END
//   Subtotal  DECIMAL(11,2)
//   Tax       DECIMAL(11,2)
//   Grand     DECIMAL(11,2)
//   Share     DECIMAL(11,2),DIM(3)
//
//   ADD(Line,'+Dept,+Description')   ! each line as it is entered, kept in order by two keys
//   LOOP I = 1 TO RECORDS(Line); GET(Line,I); Line.Total = Line.Quantity * Line.UnitPrice
//     PUT(Line); Subtotal += Line.Total; END
//   Tax = ROUND(Subtotal * 0.075, 0.01)
//   Grand = Subtotal + Tax
//   Share[1] = ROUND(Grand / 3, 0.01); Share[2] = Share[1]
//   Share[3] = Grand - Share[1] - Share[2]
//
// Amounts are shown through @N pictures (FORMAT(Total,@N$14.2)) and dates through @D pictures
// (FORMAT(InvoiceDate,@D4), FORMAT(DueDate,@D6)), where DueDate = InvoiceDate + 30.
//
// Then LOCALE('KESCOLSEQ','ZYXWVUTSRQPONMLKJIHGFEDCBA') turns the collating sequence around and
// the same comparison of two names changes its answer, as it would after a settings file said so.
//
// Last, SORT(Line,'-Total') lists the same lines again, largest amount first.
//
// The invoice lines are printed by one generic loop over a table of columns: each column names
// a field of the line record, found through the record's type descriptor (made here with the
// builder, as the compiler would emit it), and the picture it is shown through.
//
// The customer block above it is formatted on the string stack:
//
//   Customer  GROUP
//   Name        STRING(30)
//   Number      STRING(10)
//   Street      STRING(30)
//   Zip         STRING(8)
//   City        STRING(20)
//             END
//   Block     STRING(40),DIM(4)
//
//   Block[1] = CENTER('INVOICE',40)
//   Block[2] = LEFT(Customer.Name,28) & RIGHT(Customer.Number,12)
//   Block[3] = CLIP(Customer.Street)
//   Block[4] = CLIP(Customer.Zip) & ' ' & CLIP(Customer.City)
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>

#include <kestrel/collation.h>
#include <kestrel/dates.h>
#include <kestrel/decimal.h>
#include <kestrel/pictures.h>
#include <kestrel/queues.h>
#include <kestrel/storage.h>
#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>
#include <kestrel/types.h>
#include <kestrel/values.h>

namespace {

// DECIMAL(n,p) is stored in (n + 2) / 2 bytes: 2S - 1 digits and a sign nibble.
constexpr std::uint8_t kQuantitySize = 4;  // DECIMAL(7,2)
constexpr std::uint8_t kPriceSize = 5;     // DECIMAL(9,2)
constexpr std::uint8_t kAmountSize = 6;    // DECIMAL(11,2)
constexpr std::uint8_t kPlaces = 2;

constexpr std::uint32_t kDescriptionSize = 16;

// Line record: Description STRING(16), Quantity DECIMAL(7,2), UnitPrice DECIMAL(9,2),
// Total DECIMAL(11,2), Dept BYTE, one after the other: the Line queue's record buffer.
struct Line {
  char description[kDescriptionSize];
  std::uint8_t quantity[kQuantitySize];
  std::uint8_t unit_price[kPriceSize];
  std::uint8_t total[kAmountSize];
  std::uint8_t dept;
};
static_assert(sizeof(Line) == kDescriptionSize + kQuantitySize + kPriceSize + kAmountSize + 1);

// The line record's type descriptor.
const unsigned char* line_type_descriptor() {
  static class_descriptor* made = [] {
    auto* d = new class_descriptor;
    d->StartGroup("Line");
    d->AddField(KesTypeString, kDescriptionSize, "Description", 0, nullptr, nullptr);
    d->AddField(KesTypeDecimal, kQuantitySize, "Quantity", kPlaces, nullptr, nullptr);
    d->AddField(KesTypeDecimal, kPriceSize, "UnitPrice", kPlaces, nullptr, nullptr);
    d->AddField(KesTypeDecimal, kAmountSize, "Total", kPlaces, nullptr, nullptr);
    d->AddSimple(KesTypeByte, "Dept", nullptr);
    d->EndDeclaration();
    return d;
  }();
  return made->stream();
}

// One column of the printed line: the text before it, the field, the picture (null: as is).
struct Column {
  const char* before;
  std::uint32_t field;
  const char* picture;
};
constexpr Column kLineColumns[] = {
    {"", 1, nullptr}, {" ", 2, "@N6.2"}, {" x ", 3, "@N$9.2"}, {" ", 4, "@N$14.2"}};

// Prints any record through its columns: each field's value descriptor is shown through a
// picture descriptor, the way a generic report or browse formats a field it does not know.
void print_record(void* record, std::uint32_t size, const unsigned char* type_descriptor,
                  const Column* columns, std::size_t count) {
  std::string text;
  for (std::size_t index = 0; index < count; ++index) {
    Ufo* field = Kes$WHAT(record, size, type_descriptor, columns[index].field);
    Ufo* shown =
        columns[index].picture == nullptr ? nullptr : Kes$PictureUfo(columns[index].picture);
    if (shown != nullptr) Kes$AssignUfo(shown, field);
    Kes$PushUfo(shown != nullptr ? shown : field);
    KesTextPair pair{nullptr, 0};
    Kes$PopTemp(&pair);
    text.append(columns[index].before).append(pair.pointer, pair.length);
    Kes$freestr(&pair);
    Kes$FreeUfo(shown);
    Kes$FreeUfo(field);
  }
  std::puts(text.c_str());
}

void print_line(Line& line) {
  print_record(&line, sizeof(Line), line_type_descriptor(), kLineColumns, std::size(kLineColumns));
}

// A queue statement with a key text: the text goes on the string stack first.
void with_key(void (*statement)(KesQueueDescriptor*), KesQueueDescriptor& queue, const char* key) {
  Kes$PushCString(key);
  statement(&queue);
}

// SORT(Line,'-Total'), then every line in its new place.
void print_lines_by_amount(KesQueueDescriptor& queue, Line& line) {
  with_key(Kes$SORTqueueskey, queue, "-Total");
  std::puts("\nThe same lines, largest amount first:\n");
  for (std::int32_t position = 1; position <= Kes$RECORDSqueue(&queue); ++position) {
    Kes$GETqueueptr(&queue, position);
    print_line(line);
  }
}

// FORMAT(variable, picture) of a DECIMAL variable, through the decimal stack.
std::string formatted(const std::uint8_t* bytes, std::uint8_t size, const char* picture) {
  char text[64];
  const auto width = static_cast<std::uint32_t>(Kes$getpicturewidth(picture));
  Kes$DPushDec(bytes, size, kPlaces);
  Kes$DPopPict(text, width, picture);
  return std::string(text, width);
}

void print_amount(const char* caption, const std::uint8_t* bytes, std::uint8_t size) {
  std::printf("%-26s %s\n", caption, formatted(bytes, size, "@N$14.2").c_str());
}

// FORMAT(serial, picture) of a LONG date, through the string stack.
std::string formatted_date(std::int32_t serial, const char* picture) {
  char text[64];
  const auto width = static_cast<std::uint32_t>(Kes$getpicturewidth(picture));
  Kes$PushPictLong(serial, picture);
  Kes$PopString(text, width);
  return std::string(text, width);
}

// Stores an amount that arrives as text (as an entry field delivers it) in a DECIMAL variable.
void assign_literal(std::uint8_t* variable, std::uint8_t size, const char* text) {
  Kes$DPushCString(text);
  Kes$DPopDec(variable, size, kPlaces);
}

// A fixed STRING variable, blank-padded as a compiled program declares it.
template <std::size_t N>
struct Fixed {
  char bytes[N];
  explicit Fixed(const char* text) {
    Kes$storestr(bytes, N, text, static_cast<std::uint32_t>(std::char_traits<char>::length(text)));
  }
};

constexpr std::uint32_t kBlockWidth = 40;

void push_variable(const char* bytes, std::uint32_t size) { Kes$PushString(bytes, size); }

void print_customer_block() {
  const Fixed<30> name("  Ada Wren & Daughters");
  const Fixed<10> number("  C-10442 ");
  const Fixed<30> street("17 Heron Lane");
  const Fixed<8> zip("4021");
  const Fixed<20> city("Nethermoor");
  char block[4][kBlockWidth];

  // Block[1] = CENTER('INVOICE',40)
  Kes$PushString("INVOICE", 7);
  Kes$StackCENTER(static_cast<std::int32_t>(kBlockWidth));
  Kes$PopString(block[0], kBlockWidth);
  // Block[2] = LEFT(Customer.Name,28) & RIGHT(Customer.Number,12)
  push_variable(name.bytes, sizeof(name.bytes));
  Kes$StackLEFT(28);
  push_variable(number.bytes, sizeof(number.bytes));
  Kes$StackRIGHT(12);
  Kes$StackConcat();
  Kes$PopString(block[1], kBlockWidth);
  // Block[3] = CLIP(Customer.Street)
  push_variable(street.bytes, sizeof(street.bytes));
  Kes$StackCLIP();
  Kes$PopString(block[2], kBlockWidth);
  // Block[4] = CLIP(Customer.Zip) & ' ' & CLIP(Customer.City)
  push_variable(zip.bytes, sizeof(zip.bytes));
  Kes$StackCLIP();
  Kes$PushString(" ", 1);
  Kes$StackConcat();
  push_variable(city.bytes, sizeof(city.bytes));
  Kes$StackCLIP();
  Kes$StackConcat();
  Kes$PopString(block[3], kBlockWidth);

  for (const char* line : block)
    std::printf("|%.*s|\n", static_cast<int>(kBlockWidth), line);
  std::puts("");
}

// LOCALE(value, name): the value goes on the stack first, the setting's name on top.
void set_locale(const char* name, const char* value) {
  Kes$PushCString(value);
  Kes$PushCString(name);
  Kes$Locale(0);
}

void print_collation_change() {
  const char* first = "Avocet";
  const char* second = "Wren";
  auto order = [&] {
    Kes$PushCString(first);
    Kes$PushCString(second);
    return Kes$StackCompare() < 0 ? "before" : "after";
  };
  std::printf("\nDefault collation:   %s sorts %s %s\n", first, order(), second);
  set_locale("KESCOLSEQ", "ZYXWVUTSRQPONMLKJIHGFEDCBA");
  std::printf("Reversed collation:  %s sorts %s %s\n", first, order(), second);
  set_locale("KESCOLSEQ", "");
}

}  // namespace

int main() {
  // The lines as they were entered; the queue keeps them by department, then description.
  struct Entered {
    std::uint8_t dept;
    const char* description;
    const char* quantity;
    const char* price;
  };
  const Entered entered[] = {
      {3, "Nest box screws", "12", "0.79"},
      {1, "Field notebook", "3", "12.95"},
      {3, "Feeder seed, kg", "2.5", "4.40"},
      {2, "Binoculars 8x42", "1", "349.00"},
  };
  Line line{};
  KesQueueDescriptor queue{&line, line_type_descriptor(), nullptr, sizeof(Line)};
  for (const Entered& item : entered) {
    line.dept = item.dept;
    Kes$storestr(line.description, kDescriptionSize, item.description,
                 static_cast<std::uint32_t>(std::char_traits<char>::length(item.description)));
    assign_literal(line.quantity, kQuantitySize, item.quantity);
    assign_literal(line.unit_price, kPriceSize, item.price);
    Kes$ClearDec(line.total, kAmountSize, KES_TYPE_DECIMAL, 0);
    with_key(Kes$ADDqueueskey, queue, "+Dept,+Description");
  }

  std::uint8_t subtotal[kAmountSize];
  std::uint8_t tax[kAmountSize];
  std::uint8_t grand[kAmountSize];
  std::uint8_t shares[3][kAmountSize];
  Kes$ClearDec(subtotal, kAmountSize, KES_TYPE_DECIMAL, 0);

  std::puts("Kestrel invoice demo\n");
  print_customer_block();
  const std::int32_t invoice_date = Kes$DATE(11, 30, 2026);
  const std::int32_t due_date = invoice_date + 30;
  std::printf("Invoice date %s    Due %s\n\n", formatted_date(invoice_date, "@D4").c_str(),
              formatted_date(due_date, "@D6").c_str());
  for (std::int32_t position = 1; position <= Kes$RECORDSqueue(&queue); ++position) {
    Kes$GETqueueptr(&queue, position);
    // Line.Total = Line.Quantity * Line.UnitPrice
    Kes$DPushDec(line.quantity, kQuantitySize, kPlaces);
    Kes$DPushDec(line.unit_price, kPriceSize, kPlaces);
    Kes$DecMul();
    Kes$DPopDec(line.total, kAmountSize, kPlaces);
    Kes$PUTqueue(&queue);
    // Subtotal += Line.Total
    Kes$DPushDec(subtotal, kAmountSize, kPlaces);
    Kes$DPushDec(line.total, kAmountSize, kPlaces);
    Kes$DecAdd();
    Kes$DPopDec(subtotal, kAmountSize, kPlaces);
    print_line(line);
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

  print_collation_change();
  print_lines_by_amount(queue, line);
  Kes$FREEqueue(&queue);
  return balanced ? 0 : 1;
}
