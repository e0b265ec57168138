// Customers and invoices kept in a database file through FILE statements, the way a compiled
// Kestrel program keeps them: the records, their type descriptors and the file and key control
// blocks are laid out as the compiler lays them out, and every statement is a call of the
// library's statement exports, which reach the SQLite driver.
//
// The Kestrel source this stands for:
//
//   Customer  FILE,DRIVER('SQLite'),NAME('invoice_store.sqlite'),CREATE,PRE(CUS)
//   ByNumber    KEY(CUS:Number)
//   Record      RECORD
//   Number        STRING(10)
//   Name          STRING(30)
//   City          STRING(20)
//             END END
//   Invoice   FILE,DRIVER('SQLite'),NAME('invoice_store.sqlite'),CREATE,PRE(INV)
//   ByNumber    KEY(INV:Number)
//   ByCustomer  KEY(INV:Customer,INV:Number),DUP
//   Record      RECORD
//   Number        LONG
//   Customer      STRING(10)
//   Total         DECIMAL(11,2)
//   Text          STRING(40)
//             END END
//
// Each run adds one invoice with the next number, reads it back by key with its customer,
// prints it, then lists every invoice on file by customer: a second run finds the first run's.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <kestrel/decimal.h>
#include <kestrel/files.h>
#include <kestrel/pictures.h>
#include <kestrel/sqlite_driver.h>

namespace {

const char kDatabase[] = "invoice_store.sqlite";

// ---- Customer: Number STRING(10) at 0, Name STRING(30) at 10, City STRING(20) at 40.
struct CustomerRecord {
  char number[10];
  char name[30];
  char city[20];
};
static_assert(sizeof(CustomerRecord) == 60);
const std::uint8_t kCustomerType[] = {
    22, 0,    60, 0,   0,   0,   3,   0,   0,    0,  0,
    0,  0,    0,                                         // the record: GROUP of 60 bytes, 3 fields
    18, 0x0A, 10, 'N', 'u', 'm', 'b', 'e', 'r',  0,  0,  // STRING(10) Number at 0
    18, 0x0A, 30, 'N', 'a', 'm', 'e', 0,   10,           // STRING(30) Name at 10
    18, 0x0A, 20, 'C', 'i', 't', 'y', 0,   0x20, 40,     // STRING(20) City at 40
};

// ---- Invoice: Number LONG at 0, Customer STRING(10) at 4, Total DECIMAL(11,2) at 14, Text
// STRING(40) at 20.
struct InvoiceRecord {
  std::int32_t number;
  char customer[10];
  std::uint8_t total[6];
  char text[40];
};
static_assert(sizeof(InvoiceRecord) == 60);
const std::uint8_t kInvoiceType[] = {
    22, 0,    60,   0,   0,   0,   4,   0,   0,   0,   0,   0, 0, 0,  // GROUP of 60 bytes, 4 fields
    6,  0x0A, 'N',  'u', 'm', 'b', 'e', 'r', 0,   0,                  // LONG Number at 0
    18, 0x0A, 10,   'C', 'u', 's', 't', 'o', 'm', 'e', 'r', 0, 4,     // STRING(10) Customer at 4
    10, 0x0A, 6,    2,   'T', 'o', 't', 'a', 'l', 0,   14,            // DECIMAL(11,2) Total at 14
    18, 0x0A, 0x20, 40,  'T', 'e', 'x', 't', 0,   20,                 // STRING(40) Text at 20
};

CustomerRecord customer;
InvoiceRecord invoice;

const Drv_KeyComponent kCustomerNumber[] = {{1, 0, 0}};
const Drv_KeyComponent kInvoiceNumber[] = {{1, 0, 0}};
const Drv_KeyComponent kInvoiceCustomer[] = {{2, 0, 0}, {1, 0, 0}};

Drv_FCB customer_file{};
Drv_FCB invoice_file{};
Drv_KCB customer_by_number{&customer_file,  "CUS:ByNumber", nullptr, 0, 1, 0, 0,
                           kCustomerNumber, nullptr};
Drv_KCB invoice_by_number{&invoice_file,  "INV:ByNumber", nullptr, 0, 1, 0, 0,
                          kInvoiceNumber, nullptr};
Drv_KCB invoice_by_customer{&invoice_file,    "INV:ByCustomer", nullptr, DRV_KEY_DUP, 2, 0, 0,
                            kInvoiceCustomer, nullptr};
Drv_KCB* const customer_keys[] = {&customer_by_number};
Drv_KCB* const invoice_keys[] = {&invoice_by_number, &invoice_by_customer};

void declare(Drv_FCB& file, const char* label, void* record, std::uint32_t size,
             const std::uint8_t* type, Drv_KCB* const* keys, std::uint8_t key_count) {
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

// Field = text, as a STRING assignment stores it: blank-padded.
template <std::size_t N>
void assign(char (&field)[N], const char* text) {
  std::memset(field, ' ', N);
  std::memcpy(field, text, std::min(N, std::strlen(text)));
}

template <std::size_t N>
std::string clip(const char (&field)[N]) {
  std::string text(field, N);
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

bool failed(const char* statement) {
  if (Kes$ERRCODE == 0) return false;
  std::printf("%s failed: %d %.79s\n", statement, Kes$ERRCODE, Kes$ERRSTR);
  return true;
}

// FORMAT(INV:Total, @N$14.2)
std::string total_text() {
  char text[32];
  const auto width = static_cast<std::uint32_t>(Kes$getpicturewidth("@N$14.2"));
  Kes$DPushDec(invoice.total, sizeof invoice.total, 2);
  Kes$DPopPict(text, width, "@N$14.2");
  return std::string(text, width);
}

}  // namespace

int main() {
  declare(customer_file, "Customer", &customer, sizeof customer, kCustomerType, customer_keys, 1);
  declare(invoice_file, "Invoice", &invoice, sizeof invoice, kInvoiceType, invoice_keys, 2);
  Kes$FILE_OPEN(&customer_file, DRV_ACCESS_READWRITE | DRV_DENY_NONE);
  if (failed("OPEN(Customer)")) return 1;
  Kes$FILE_OPEN(&invoice_file, DRV_ACCESS_READWRITE | DRV_DENY_NONE);
  if (failed("OPEN(Invoice)")) return 1;

  // The first run stores the customers.
  if (Kes$FILE_RECORDSf(&customer_file) == 0) {
    const char* const customers[][3] = {{"C-1001", "Fjord Fisheries AS", "Bergen"},
                                        {"C-1002", "O'Brien & Sons; Ltd", "Cork"},
                                        {"C-1003", "Hallingdal Hytter", "Gol"}};
    for (const auto& c : customers) {
      assign(customer.number, c[0]);
      assign(customer.name, c[1]);
      assign(customer.city, c[2]);
      Kes$FILE_ADDf(&customer_file);
      if (failed("ADD(Customer)")) return 1;
    }
  }

  // The next invoice number: the last one on file plus one (SET(INV:ByNumber); PREVIOUS).
  Kes$FILE_SETk(&invoice_by_number);
  Kes$FILE_PREV(&invoice_file);
  const std::int32_t number = Kes$ERRCODE == 0 ? invoice.number + 1 : 1;
  Kes$clearerror();

  // INV:Total = 3 * 19.90 + INV:Number * 125.00, on the decimal stack.
  invoice.number = number;
  assign(invoice.customer, number % 3 == 1 ? "C-1001" : number % 3 == 2 ? "C-1002" : "C-1003");
  assign(invoice.text, "Net boxes and cleaning service");
  Kes$DPushCString("3");
  Kes$DPushCString("19.90");
  Kes$DecMul();
  Kes$DPushLong(number);
  Kes$DPushCString("125.00");
  Kes$DecMul();
  Kes$DecAdd();
  Kes$DPopDec(invoice.total, sizeof invoice.total, 2);
  Kes$FILE_ADDf(&invoice_file);
  if (failed("ADD(Invoice)")) return 1;

  // Read it back by key, with its customer, as another part of the program would.
  std::memset(&invoice, 0, sizeof invoice);
  invoice.number = number;
  Kes$FILE_GETfk(&invoice_file, &invoice_by_number);
  if (failed("GET(Invoice,INV:ByNumber)")) return 1;
  std::memcpy(customer.number, invoice.customer, sizeof customer.number);
  Kes$FILE_GETfk(&customer_file, &customer_by_number);
  if (failed("GET(Customer,CUS:ByNumber)")) return 1;
  std::printf("INVOICE %d stored in %s\n", invoice.number, kDatabase);
  std::printf("  %s, %s (%s)\n", clip(customer.name).c_str(), clip(customer.city).c_str(),
              clip(customer.number).c_str());
  std::printf("  %-40s %s\n\n", clip(invoice.text).c_str(), total_text().c_str());

  // Every invoice on file, by customer.
  std::printf("Invoices on file: %d\n", Kes$FILE_RECORDSf(&invoice_file));
  Kes$FILE_SETk(&invoice_by_customer);
  for (Kes$FILE_NEXT(&invoice_file); Kes$ERRCODE == 0; Kes$FILE_NEXT(&invoice_file)) {
    std::printf("  %-8s %5d %s\n", clip(invoice.customer).c_str(), invoice.number,
                total_text().c_str());
  }
  Kes$FILE_CLOSE(&invoice_file);
  Kes$FILE_CLOSE(&customer_file);
  return 0;
}
