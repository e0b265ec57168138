// A FILE declared at run time as the compiler lays one out: the record buffer, its type
// descriptor, the keys' and the file's control blocks. Fields follow each other from offset 0.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <kestrel/driver.h>

namespace kes::test {

struct FieldSpec {
  std::uint8_t type;
  std::uint32_t size;  // string and decimal types; others take their fixed size
  const char* name;
  std::uint8_t places = 0;
  std::uint32_t elements = 0;  // DIM(elements), 0 for none
  std::int32_t over = 0;       // declared OVER this field number, 0 for none
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
                  std::vector<FieldSpec> fields, std::vector<KeySpec> keys,
                  std::vector<Drv_MCB> memos = {})
      : name_(std::move(name)), label_(label), memos_(std::move(memos)), keys_(keys.size()) {
    std::vector<std::uint8_t> body;
    std::uint32_t end = 0;
    for (const FieldSpec& f : fields) {
      const bool decimal = f.type == DRV_TYPE_DECIMAL || f.type == DRV_TYPE_PDECIMAL;
      const bool text = f.type >= DRV_TYPE_STRING && f.type <= DRV_TYPE_PSTRING;
      const std::uint32_t size = decimal || text             ? f.size
                                 : f.type <= DRV_TYPE_USHORT ? f.type == DRV_TYPE_BYTE ? 1 : 2
                                 : f.type == DRV_TYPE_REAL || f.type == DRV_TYPE_BFLOAT8 ? 8
                                                                                         : 4;
      offsets_.push_back(f.over > 0 ? offsets_[static_cast<std::size_t>(f.over - 1)] : end);
      body.insert(body.end(), {f.type, static_cast<std::uint8_t>(f.elements > 0 ? 0x1A : 0x0A)});
      if (decimal) body.insert(body.end(), {static_cast<std::uint8_t>(size), f.places});
      if (text) put_compact(body, size);
      body.insert(body.end(), f.name, f.name + std::strlen(f.name) + 1);
      put_compact(body, offsets_.back());
      if (f.elements > 0) body.push_back(1), put_compact(body, f.elements);
      if (f.over == 0) end += size * (f.elements > 0 ? f.elements : 1);
    }
    descriptor_ = {DRV_TYPE_GROUP, 0};
    for (std::uint32_t v : {end, static_cast<std::uint32_t>(fields.size()), 0u}) {
      for (int i = 0; i < 32; i += 8)
        descriptor_.push_back(static_cast<std::uint8_t>(v >> i));
    }
    descriptor_.insert(descriptor_.end(), body.begin(), body.end());
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
  static void put_compact(std::vector<std::uint8_t>& out, std::uint32_t value) {
    const int more = value < 0x20 ? 0 : value < 0x2000 ? 1 : value < 0x200000 ? 2 : 3;
    out.push_back(static_cast<std::uint8_t>((more << 5) | (value >> (8 * more))));
    for (int i = more - 1; i >= 0; --i)
      out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }

  std::string name_;
  std::string label_;
  std::vector<Drv_MCB> memos_;
  std::vector<Key> keys_;
  std::vector<std::uint8_t> descriptor_;
  std::vector<std::uint8_t> record_;
  std::vector<std::uint32_t> offsets_;
  std::vector<Drv_KCB*> key_pointers_;
};

}  // namespace kes::test
