// A FILE declared at run time as the compiler lays one out (the record buffer, its type
// descriptor written by the library's builder, the keys' and the file's control blocks), and the
// customers file every driver test uses.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <kestrel/driver.h>
#include <kestrel/files.h>
#include <kestrel/types.h>

namespace kes::test {

struct FieldSpec {
  std::uint8_t type;
  std::uint32_t size;  // string and decimal types; others take their fixed size
  const char* name;
  std::uint8_t places = 0;
  std::uint32_t elements = 0;  // DIM(elements), 0 for none
  std::uint32_t over = 0;      // declared OVER this field number, 0 for none
};

struct KeySpec {
  const char* label;
  std::vector<std::uint16_t> fields;          // field numbers
  std::uint8_t flags = 0;                     // DRV_KEY_ bits
  std::vector<std::uint8_t> descending = {};  // DRV_COMPONENT_ flags, parallel to fields
};

class FileDeclaration {
 public:
  FileDeclaration(Drv_Entry driver, std::string name, const char* label,
                  const std::vector<FieldSpec>& fields, const std::vector<KeySpec>& keys,
                  std::vector<Drv_MCB> memos = {})
      : name_(std::move(name)), label_(label), memos_(std::move(memos)), keys_(keys.size()) {
    class_descriptor built;
    built.StartGroup(nullptr);
    std::uint32_t end = 0;
    for (const FieldSpec& f : fields) {
      offsets_.push_back(f.over > 0 ? offsets_[f.over - 1] : end);
      built.SetOffset(offsets_.back());
      if (f.elements > 0) built.AddArray(f.elements);
      built.AddField(f.type, f.size, f.name, f.places, nullptr, nullptr);
      const std::uint32_t size = Kes$TypeSize(f.type) != 0 ? Kes$TypeSize(f.type) : f.size;
      if (f.over == 0) end += size * std::max(f.elements, 1u);
    }
    built.EndDeclaration();
    descriptor_.assign(built.stream(), built.stream() + built.stream_length());
    record_.assign(end, 0);
    for (std::size_t k = 0; k < keys.size(); ++k) {
      Key& key = keys_[k];
      key.label = keys[k].label;
      for (std::size_t c = 0; c < keys[k].fields.size(); ++c) {
        const std::uint8_t order = c < keys[k].descending.size() ? keys[k].descending[c] : 0;
        key.components.push_back({keys[k].fields[c], order, 0});
      }
      key.block = {&fcb,
                   key.label.c_str(),
                   nullptr,
                   keys[k].flags,
                   static_cast<std::uint8_t>(key.components.size()),
                   0,
                   0,
                   key.components.data(),
                   nullptr};
      key_pointers_.push_back(&key.block);
    }
    fcb.driver = driver;
    fcb.name = name_.c_str();
    fcb.name_length = -1;
    fcb.label = label_.c_str();
    fcb.record = record_.data();
    fcb.record_size = end;
    fcb.record_type = descriptor_.data();
    fcb.key_count = static_cast<std::uint8_t>(keys_.size());
    fcb.keys = key_pointers_.data();
    fcb.memo_count = static_cast<std::uint8_t>(memos_.size());
    fcb.memos = memos_.data();
  }
  FileDeclaration(const FileDeclaration&) = delete;
  FileDeclaration& operator=(const FileDeclaration&) = delete;

  Drv_FCB* file() { return &fcb; }
  Drv_KCB* key(std::size_t index) { return &keys_[index].block; }
  unsigned char* field(std::size_t number) { return record_.data() + offsets_[number - 1]; }
  void set_long(std::size_t number, std::int32_t value) { std::memcpy(field(number), &value, 4); }
  std::int32_t get_long(std::size_t number) {
    std::int32_t value;
    std::memcpy(&value, field(number), 4);
    return value;
  }
  // A STRING field of `size` bytes: the text padded with blanks; read back without them.
  void set_string(std::size_t number, std::string_view text, std::size_t size) {
    std::memset(field(number), ' ', size);
    std::memcpy(field(number), text.data(), std::min(text.size(), size));
  }
  std::string get_string(std::size_t number, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(field(number)), size);
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }
  std::vector<std::uint8_t>& record() { return record_; }
  std::vector<std::uint8_t>& descriptor() { return descriptor_; }

  Drv_FCB fcb{};

 private:
  struct Key {
    std::string label;
    std::vector<Drv_KeyComponent> components;
    Drv_KCB block;
  };
  std::string name_;
  std::string label_;
  std::vector<Drv_MCB> memos_;
  std::vector<Key> keys_;
  std::vector<std::uint8_t> descriptor_;
  std::vector<std::uint8_t> record_;
  std::vector<std::uint32_t> offsets_;
  std::vector<Drv_KCB*> key_pointers_;
};

// The customers: ID, Name STRING(20), City STRING(12), Amount; keys by ID (unique), by Name
// (duplicates, without regard to case), by City and descending Amount (duplicates, records
// without a City or Amount left out). Statements return ERRORCODE().
class Customers : public FileDeclaration {
 public:
  static constexpr std::size_t kId = 1, kName = 2, kCity = 3, kAmount = 4;
  static constexpr std::size_t kById = 0, kByName = 1, kByCity = 2;

  // Without `city_key`, the file has the first two keys only.
  Customers(Drv_Entry driver, std::string name, bool city_key = true)
      : FileDeclaration(driver, std::move(name), "Customer",
                        {{DRV_TYPE_LONG, 0, "ID"},
                         {DRV_TYPE_STRING, 20, "Name"},
                         {DRV_TYPE_STRING, 12, "City"},
                         {DRV_TYPE_LONG, 0, "Amount"}},
                        {{"ById", {kId}},
                         {"ByName", {kName}, DRV_KEY_DUP | DRV_KEY_NOCASE},
                         {"ByCity", {kCity, kAmount}, DRV_KEY_DUP | DRV_KEY_OPT, {0, 1}}}) {
    fcb.key_count = city_key ? 3 : 2;
  }

  std::int32_t open(std::int32_t mode = DRV_ACCESS_READWRITE | DRV_DENY_NONE) {
    Kes$FILE_OPEN(file(), mode);
    return Kes$ERRCODE;
  }
  void fill(std::int32_t id, std::string_view name, std::string_view city, std::int32_t amount) {
    set_long(kId, id);
    set_string(kName, name, 20);
    set_string(kCity, city, 12);
    set_long(kAmount, amount);
  }
  std::int32_t add(std::int32_t id, std::string_view name, std::string_view city = "",
                   std::int32_t amount = 0) {
    fill(id, name, city, amount);
    Kes$FILE_ADDf(file());
    return Kes$ERRCODE;
  }
  // GET by a key of the buffer's values: the ID found, or minus the error.
  std::int32_t get_by(std::size_t k) {
    Kes$FILE_GETfk(file(), key(k));
    return Kes$ERRCODE == 0 ? id() : -Kes$ERRCODE;
  }
  std::int32_t get(std::int32_t id) {
    fill(id, "", "", 0);
    return get_by(kById);
  }
  std::int32_t id() { return get_long(kId); }
  std::int32_t amount() { return get_long(kAmount); }
  std::string name() { return get_string(kName, 20); }
};

}  // namespace kes::test
