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
//
// Then the invoice is kept in a database file through FILE statements that reach the SQLite
// driver, as compiled code reaches it: the records and their type descriptors, and the file and
// key control blocks naming the driver's entry function, laid out as the compiler lays them out.
// The Customer group above is the Customer file's record:
//
//   Customer  FILE,DRIVER('SQLite'),NAME('invoice_demo.sqlite'),CREATE,PRE(CUS)
//   ByNumber    KEY(CUS:Number)
//   Record      RECORD  ! Name, Number, Street, Zip, City as above
//             END END
//   Invoice   FILE,DRIVER('SQLite'),NAME('invoice_demo.sqlite'),CREATE,PRE(INV)
//   ByNumber    KEY(INV:Number)
//   ByCustomer  KEY(INV:Customer,INV:Number),DUP
//   Record      RECORD
//   Number        LONG
//   Date          LONG
//   Customer      STRING(10)
//   Subtotal      DECIMAL(11,2)
//   Tax           DECIMAL(11,2)
//   Total         DECIMAL(11,2)
//             END END
//   Item      FILE,DRIVER('SQLite'),NAME('invoice_demo.sqlite'),CREATE,PRE(ITM)
//   ByInvoice   KEY(ITM:Invoice,ITM:Number)
//   Record      RECORD
//   Invoice       LONG
//   Number        LONG
//   Line          LIKE(Line)  ! its fields, stored one column each
//             END END
//
//   GET(Customer,CUS:ByNumber); IF ERRORCODE() THEN ADD(Customer) ELSE PUT(Customer).
//   SET(INV:ByNumber); PREVIOUS(Invoice)    ! the last number on file, plus one
//   LOGOUT(1,Invoice,Item); ADD(Invoice); ADD(Item) for each line; COMMIT
//   GET(Invoice,INV:ByNumber); GET(Customer,CUS:ByNumber); SET(ITM:ByInvoice,ITM:ByInvoice)
//   LOOP; NEXT(Item) ... END                ! the stored invoice, printed as above
//   SET(INV:ByCustomer); LOOP; NEXT(Invoice) ... END  ! every run's invoice
//
// The database is invoice_demo.sqlite in the current folder: each run adds one invoice, and a
// second run lists the first run's too.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>

#include <kestrel/collation.h>
#include <kestrel/dates.h>
#include <kestrel/decimal.h>
#include <kestrel/files.h>
#include <kestrel/memory.h>
#include <kestrel/pictures.h>
#include <kestrel/queues.h>
#include <kestrel/sqlite_driver.h>
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

// A field of a record's declaration: the type, the size (string and decimal types; others take
// their fixed size), the name and the decimal places.
struct FieldDeclaration {
  unsigned char type;
  std::uint32_t size;
  const char* name;
  unsigned places;
};

// The type descriptor of a record, written by the builder as the compiler would emit it.
const unsigned char* record_type(const char* name, std::initializer_list<FieldDeclaration> fields) {
  auto* d = new class_descriptor;  // kept for the life of the program, as compiled ones are
  d->StartGroup(name);
  for (const FieldDeclaration& f : fields)
    d->AddField(f.type, f.size, f.name, f.places, nullptr, nullptr);
  d->EndDeclaration();
  return d->stream();
}

// The line record's type descriptor.
const unsigned char* line_type_descriptor() {
  static const unsigned char* const made =
      record_type("Line", {{KesTypeString, kDescriptionSize, "Description", 0},
                           {KesTypeDecimal, kQuantitySize, "Quantity", kPlaces},
                           {KesTypeDecimal, kPriceSize, "UnitPrice", kPlaces},
                           {KesTypeDecimal, kAmountSize, "Total", kPlaces},
                           {KesTypeByte, 0, "Dept", 0}});
  return made;
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

// Field = text, as a STRING assignment stores it: blank-padded.
template <std::size_t N>
void assign(char (&field)[N], const char* text) {
  Kes$storestr(field, N, text, static_cast<std::uint32_t>(std::char_traits<char>::length(text)));
}

// The Customer group, which is also the Customer file's record.
struct CustomerRecord {
  char name[30];
  char number[10];
  char street[30];
  char zip[8];
  char city[20];
};
static_assert(sizeof(CustomerRecord) == 98);

constexpr std::uint32_t kBlockWidth = 40;

void push_variable(const char* bytes, std::uint32_t size) { Kes$PushString(bytes, size); }

void print_customer_block(const CustomerRecord& customer) {
  char block[4][kBlockWidth];

  // Block[1] = CENTER('INVOICE',40)
  Kes$PushString("INVOICE", 7);
  Kes$StackCENTER(static_cast<std::int32_t>(kBlockWidth));
  Kes$PopString(block[0], kBlockWidth);
  // Block[2] = LEFT(Customer.Name,28) & RIGHT(Customer.Number,12)
  push_variable(customer.name, sizeof(customer.name));
  Kes$StackLEFT(28);
  push_variable(customer.number, sizeof(customer.number));
  Kes$StackRIGHT(12);
  Kes$StackConcat();
  Kes$PopString(block[1], kBlockWidth);
  // Block[3] = CLIP(Customer.Street)
  push_variable(customer.street, sizeof(customer.street));
  Kes$StackCLIP();
  Kes$PopString(block[2], kBlockWidth);
  // Block[4] = CLIP(Customer.Zip) & ' ' & CLIP(Customer.City)
  push_variable(customer.zip, sizeof(customer.zip));
  Kes$StackCLIP();
  Kes$PushString(" ", 1);
  Kes$StackConcat();
  push_variable(customer.city, sizeof(customer.city));
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

// ---- The invoice kept in a database file through FILE statements.

const char kDatabase[] = "invoice_demo.sqlite";  // in the current folder

// Invoice record: Number LONG, Date LONG, Customer STRING(10), Subtotal, Tax and Total
// DECIMAL(11,2), one after the other.
struct InvoiceRecord {
  std::int32_t number;
  std::int32_t date;
  char customer[10];
  std::uint8_t subtotal[kAmountSize];
  std::uint8_t tax[kAmountSize];
  std::uint8_t total[kAmountSize];
};
static_assert(sizeof(InvoiceRecord) == 36);

// Item record: Invoice LONG, Number LONG (the line's place on the invoice), then the fields of
// a Line.
struct ItemRecord {
  std::int32_t invoice;
  std::int32_t number;
  Line line;
};
static_assert(sizeof(ItemRecord) == 8 + sizeof(Line));

CustomerRecord customer;
InvoiceRecord invoice;
ItemRecord item;

const unsigned char* customer_type_descriptor() {
  static const unsigned char* const made =
      record_type("Customer", {{KesTypeString, 30, "Name", 0},
                               {KesTypeString, 10, "Number", 0},
                               {KesTypeString, 30, "Street", 0},
                               {KesTypeString, 8, "Zip", 0},
                               {KesTypeString, 20, "City", 0}});
  return made;
}

const unsigned char* invoice_type_descriptor() {
  static const unsigned char* const made =
      record_type("Invoice", {{KesTypeLong, 0, "Number", 0},
                              {KesTypeLong, 0, "Date", 0},
                              {KesTypeString, 10, "Customer", 0},
                              {KesTypeDecimal, kAmountSize, "Subtotal", kPlaces},
                              {KesTypeDecimal, kAmountSize, "Tax", kPlaces},
                              {KesTypeDecimal, kAmountSize, "Total", kPlaces}});
  return made;
}

const unsigned char* item_type_descriptor() {
  static const unsigned char* const made =
      record_type("Item", {{KesTypeLong, 0, "Invoice", 0},
                           {KesTypeLong, 0, "Number", 0},
                           {KesTypeString, kDescriptionSize, "Description", 0},
                           {KesTypeDecimal, kQuantitySize, "Quantity", kPlaces},
                           {KesTypeDecimal, kPriceSize, "UnitPrice", kPlaces},
                           {KesTypeDecimal, kAmountSize, "Total", kPlaces},
                           {KesTypeByte, 0, "Dept", 0}});
  return made;
}

// The columns of a stored line: those of a Line, two fields further on.
constexpr Column kItemColumns[] = {
    {"", 3, nullptr}, {" ", 4, "@N6.2"}, {" x ", 5, "@N$9.2"}, {" ", 6, "@N$14.2"}};

// The key and file control blocks.
const Drv_KeyComponent kCustomerNumber[] = {{2, 0, 0}};
const Drv_KeyComponent kInvoiceNumber[] = {{1, 0, 0}};
const Drv_KeyComponent kInvoiceCustomer[] = {{3, 0, 0}, {1, 0, 0}};
const Drv_KeyComponent kItemInvoice[] = {{1, 0, 0}, {2, 0, 0}};

Drv_FCB customer_file{};
Drv_FCB invoice_file{};
Drv_FCB item_file{};
Drv_KCB customer_by_number{&customer_file,  "CUS:ByNumber", nullptr, 0, 1, 0, 0,
                           kCustomerNumber, nullptr};
Drv_KCB invoice_by_number{&invoice_file,  "INV:ByNumber", nullptr, 0, 1, 0, 0,
                          kInvoiceNumber, nullptr};
Drv_KCB invoice_by_customer{&invoice_file,    "INV:ByCustomer", nullptr, DRV_KEY_DUP, 2, 0, 0,
                            kInvoiceCustomer, nullptr};
Drv_KCB item_by_invoice{&item_file, "ITM:ByInvoice", nullptr, 0, 2, 0, 0, kItemInvoice, nullptr};
Drv_KCB* const customer_keys[] = {&customer_by_number};
Drv_KCB* const invoice_keys[] = {&invoice_by_number, &invoice_by_customer};
Drv_KCB* const item_keys[] = {&item_by_invoice};

void declare(Drv_FCB& file, const char* label, void* record, std::uint32_t size,
             const unsigned char* type, Drv_KCB* const* keys, std::uint8_t key_count) {
  file.driver = SQLite$Driver;
  file.name = kDatabase;
  file.name_length = -1;
  file.attributes = DRV_ATTR_CREATE;
  file.label = label;
  file.driver_name = "SQLite";
  file.record = record;
  file.record_size = size;
  file.record_type = type;
  file.keys = keys;
  file.key_count = key_count;
}

// The text on top of the string stack, popped.
std::string popped_text() {
  KesTextPair pair{nullptr, 0};
  Kes$PopTemp(&pair);
  std::string text(pair.pointer == nullptr ? "" : pair.pointer, pair.length);
  Kes$freestr(&pair);
  return text;
}

// Whether the statement just run on `file` failed; it says so with ERROR() and FILEERROR().
bool failed(const char* statement, const Drv_FCB& file) {
  if (Kes$ERRCODE == 0) return false;
  Kes$FILEERRORMSG();
  const std::string detail = popped_text();
  std::printf("%s(%s) failed: %d %.79s%s%s\n", statement, file.label, Kes$ERRCODE, Kes$ERRSTR,
              detail.empty() ? "" : " | ", detail.c_str());
  return true;
}

// Target = Source, for two DECIMAL(11,2) variables.
void assign_amount(std::uint8_t* target, const std::uint8_t* source) {
  Kes$DPushDec(source, kAmountSize, kPlaces);
  Kes$DPopDec(target, kAmountSize, kPlaces);
}

// The customer on file: ADD when the number is new, else PUT what was entered.
bool store_customer() {
  const CustomerRecord entered = customer;
  Kes$FILE_GETfk(&customer_file, &customer_by_number);
  if (Kes$ERRCODE != 0 && Kes$ERRCODE != 35) return !failed("GET", customer_file);
  const bool known = Kes$ERRCODE == 0;
  customer = entered;
  if (known)
    Kes$FILE_PUTf(&customer_file);
  else
    Kes$FILE_ADDf(&customer_file);
  return !failed(known ? "PUT" : "ADD", customer_file);
}

// The invoice with the next number and its lines, in one transaction; 0 when it failed.
std::int32_t store_invoice(KesQueueDescriptor& queue, Line& line, std::int32_t date,
                           const std::uint8_t* subtotal, const std::uint8_t* tax,
                           const std::uint8_t* grand) {
  Kes$FILE_SETk(&invoice_by_number);
  Kes$FILE_PREV(&invoice_file);  // 33 on an empty file
  if (Kes$ERRCODE != 0 && Kes$ERRCODE != 33) {
    failed("PREVIOUS", invoice_file);
    return 0;
  }
  const std::int32_t number = Kes$ERRCODE == 0 ? invoice.number + 1 : 1;

  Kes$LOGOUT(1, &invoice_file, &item_file, nullptr);
  if (failed("LOGOUT", invoice_file)) return 0;
  invoice.number = number;
  invoice.date = date;
  Kes$storestr(invoice.customer, sizeof invoice.customer, customer.number, sizeof customer.number);
  assign_amount(invoice.subtotal, subtotal);
  assign_amount(invoice.tax, tax);
  assign_amount(invoice.total, grand);
  Kes$FILE_ADDf(&invoice_file);
  bool ok = !failed("ADD", invoice_file);
  for (std::int32_t position = 1; ok && position <= Kes$RECORDSqueue(&queue); ++position) {
    Kes$GETqueueptr(&queue, position);
    item.invoice = number;
    item.number = position;
    item.line = line;  // ITM:Line = Line, a group assignment
    Kes$FILE_ADDf(&item_file);
    ok = !failed("ADD", item_file);
  }
  ok ? Kes$COMMIT() : Kes$ROLLBACK();
  return ok && !failed("COMMIT", invoice_file) ? number : 0;
}

// The invoice as stored, read back by key into cleared records and printed as above; false when
// a read fails or the stored total differs from the one computed.
bool print_stored_invoice(std::int32_t number, const std::uint8_t* grand) {
  Kes$CLEAR(&invoice, invoice_type_descriptor(), 0);
  Kes$CLEAR(&customer, customer_type_descriptor(), 0);
  invoice.number = number;
  Kes$FILE_GETfk(&invoice_file, &invoice_by_number);
  if (failed("GET", invoice_file)) return false;
  std::memcpy(customer.number, invoice.customer, sizeof customer.number);
  Kes$FILE_GETfk(&customer_file, &customer_by_number);
  if (failed("GET", customer_file)) return false;

  std::printf("\nInvoice %d as stored in %s, read back by key:\n\n", number, kDatabase);
  print_customer_block(customer);
  std::printf("Invoice date %s    Due %s\n\n", formatted_date(invoice.date, "@D4").c_str(),
              formatted_date(invoice.date + 30, "@D6").c_str());
  Kes$CLEAR(&item, item_type_descriptor(), 0);
  item.invoice = number;
  Kes$FILE_SETkk(&item_by_invoice, &item_by_invoice);  // from line 0 of the invoice on
  for (Kes$FILE_NEXT(&item_file); Kes$ERRCODE == 0 && item.invoice == number;
       Kes$FILE_NEXT(&item_file)) {
    print_record(&item, sizeof item, item_type_descriptor(), kItemColumns, std::size(kItemColumns));
  }
  if (Kes$ERRCODE != 33 && failed("NEXT", item_file)) return false;
  std::puts("");
  print_amount("Subtotal", invoice.subtotal, kAmountSize);
  print_amount("Tax 7.5%", invoice.tax, kAmountSize);
  print_amount("Total due", invoice.total, kAmountSize);
  Kes$DPushDec(invoice.total, kAmountSize, kPlaces);
  Kes$DPushDec(grand, kAmountSize, kPlaces);
  return Kes$DecDistinct() == 0;
}

// Every invoice on file by customer, this run's marked; false when a read fails.
bool list_invoices(std::int32_t number) {
  std::printf("\nInvoices on file in %s (each run adds one): %d\n", kDatabase,
              Kes$FILE_RECORDSf(&invoice_file));
  Kes$FILE_SETk(&invoice_by_customer);
  for (Kes$FILE_NEXT(&invoice_file); Kes$ERRCODE == 0; Kes$FILE_NEXT(&invoice_file)) {
    std::printf("  %.10s %5d  %s %s%s\n", invoice.customer, invoice.number,
                formatted_date(invoice.date, "@D6").c_str(),
                formatted(invoice.total, kAmountSize, "@N$14.2").c_str(),
                invoice.number == number ? "  (this run)" : "");
  }
  return Kes$ERRCODE == 33 || !failed("NEXT", invoice_file);
}

// Stores the customer and the invoice, reads them back and lists every run's invoices.
bool keep_in_database(KesQueueDescriptor& queue, Line& line, std::int32_t date,
                      const std::uint8_t* subtotal, const std::uint8_t* tax,
                      const std::uint8_t* grand) {
  declare(customer_file, "Customer", &customer, sizeof customer, customer_type_descriptor(),
          customer_keys, 1);
  declare(invoice_file, "Invoice", &invoice, sizeof invoice, invoice_type_descriptor(),
          invoice_keys, 2);
  declare(item_file, "Item", &item, sizeof item, item_type_descriptor(), item_keys, 1);
  bool ok = true;
  for (Drv_FCB* file : {&customer_file, &invoice_file, &item_file}) {
    Kes$FILE_OPEN(file, DRV_ACCESS_READWRITE | DRV_DENY_NONE);
    ok = ok && !failed("OPEN", *file);
  }
  // The lines in the invoice's order again: SORT(Line,'+Dept,+Description').
  with_key(Kes$SORTqueueskey, queue, "+Dept,+Description");
  std::int32_t number = 0;
  if (ok) ok = store_customer();
  if (ok) ok = (number = store_invoice(queue, line, date, subtotal, tax, grand)) != 0;
  if (ok) ok = print_stored_invoice(number, grand);
  if (ok) ok = list_invoices(number);
  for (Drv_FCB* file : {&item_file, &invoice_file, &customer_file})
    Kes$FILE_CLOSE(file);
  return ok;
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

  assign(customer.name, "Ada Wren & Daughters");
  assign(customer.number, "C-10442");
  assign(customer.street, "17 Heron Lane");
  assign(customer.zip, "4021");
  assign(customer.city, "Nethermoor");

  std::puts("Kestrel invoice demo\n");
  print_customer_block(customer);
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
  const bool kept = keep_in_database(queue, line, invoice_date, subtotal, tax, grand);
  Kes$FREEqueue(&queue);
  return balanced && kept ? 0 : 1;
}
