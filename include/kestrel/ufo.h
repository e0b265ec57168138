// Value descriptors: the Ufo class family through which generic code reads, writes, compares and
// converts a variable whose type it learns only at run time, and vmem, the memory stream that
// descriptors, queues and files serialise values into.
//
// The virtual operations keep a fixed slot order: compiled code and other modules call them by
// position in the table of virtual operations (slot 0 is the first entry the object's first
// word points at). Ufo declares slots 0 to 33 in that order, VarUfo slots 34 to 37 right after
// them. No class of the family has a virtual destructor, since one would take table entries:
// every class keeps a trivial destructor and releases everything it owns in Free (slot 15), and
// Ufo::destroy (what Kes$FreeUfo does) calls Free and returns the object's block to the runtime
// heap. Descriptors are created with new (the runtime heap; null when it is exhausted) and are
// destroyed with Ufo::destroy, never with delete.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <kestrel/abi.h>
#include <kestrel/ole.h>

class Ufo;
class class_descriptor;
class PicDesc;

// The whole-number argument and result of the operations: a 32-bit signed value (the target's
// long).
#if defined(_WIN32)
typedef long KesUfoLong;
#else
typedef int32_t KesUfoLong;
#endif

// A growable memory stream with a read position. Writes append at the end; reads take bytes
// from the read position. A read that wants more bytes than remain reads nothing and sets the
// ended state, so a short stream is never read past its end. A write that cannot grow the
// buffer sets the failed state and writes nothing. Blocks come from the runtime heap.
class KES_EXPORT vmem {
 public:
  vmem() noexcept = default;
  // A stream that reads `length` bytes of the caller's (copied, so the caller may free them).
  // An allocation failure leaves an empty, failed stream.
  vmem(const void* bytes, uint32_t length) noexcept;
  ~vmem();
  vmem(const vmem&) = delete;
  vmem& operator=(const vmem&) = delete;

  // Appends bytes; false (failed state, nothing written) when the buffer cannot grow.
  bool write(const void* bytes, uint32_t length) noexcept;
  bool put_byte(uint8_t value) noexcept;
  // Appends a 32-bit number, little-endian.
  bool put_u32(uint32_t value) noexcept;
  // Reads `length` bytes into `bytes`; false (ended state, nothing read) when fewer remain.
  bool read(void* bytes, uint32_t length) noexcept;
  bool get_byte(uint8_t& value) noexcept;
  bool get_u32(uint32_t& value) noexcept;
  // Passes over `length` bytes; false (ended state, position unchanged) when fewer remain.
  bool skip(uint32_t length) noexcept;
  // The next byte without taking it; false (ended) at the end.
  bool peek_byte(uint8_t& value) noexcept;

  // Moves the read position back to the start and forgets the ended state.
  void rewind() noexcept;
  // Empties the stream (keeping its buffer) and clears both states.
  void clear() noexcept;

  const unsigned char* data() const noexcept { return buffer_; }
  uint32_t length() const noexcept { return length_; }
  uint32_t position() const noexcept { return position_; }
  uint32_t remaining() const noexcept { return length_ - position_; }
  // A read asked for more bytes than remained.
  bool ended() const noexcept { return (state_ & kEnded) != 0; }
  // A write or the copying constructor could not allocate.
  bool failed() const noexcept { return (state_ & kFailed) != 0; }

 private:
  static constexpr uint8_t kEnded = 1;
  static constexpr uint8_t kFailed = 2;
  bool reserve(uint64_t length) noexcept;

  unsigned char* buffer_ = nullptr;
  uint32_t length_ = 0;
  uint32_t capacity_ = 0;
  uint32_t position_ = 0;
  uint8_t state_ = 0;
};

// The root of the family: the table of virtual operations and nothing else. Slots without an
// implementation here (0 to 2, 5 to 7, 15 to 17, 23, 24) end the program with the report
// "Pure virtual function called" when a class leaves them out.
class KES_EXPORT Ufo {
 public:
  // Slot 0: stores a whole number (converted to the variable's type).
  virtual void Assign(KesUfoLong value) noexcept;
  // Slot 1: stores a real.
  virtual void Assign(double value) noexcept;
  // Slot 2: stores another descriptor's value; the conversion follows this descriptor's class.
  virtual void Assign(const Ufo& source) noexcept;
  // Slot 3: compares with another value: negative, 0 or positive.
  virtual int Distincts(const Ufo& other) const noexcept;
  // Slot 4: compares with a whole number.
  virtual int Distincts(KesUfoLong value) const noexcept;
  // Slot 5: the type code (KES_UFO_TYPE_...).
  virtual unsigned char Type() const noexcept;
  // Slot 6: writes the type code, then the value's bytes.
  virtual void ToMem(vmem& stream) const noexcept;
  // Slot 7: reads them back. A stored type code other than Type() is fatal error 11 "Parameter
  // typing error". Without storage the descriptor first takes owned storage of its size. False
  // when the stream ends early; the value is then left as it was.
  virtual bool FromMem(vmem& stream) noexcept;
  // Slot 8: reads the earlier layout (the value's bytes without the type code); false when the
  // stream ends early.
  virtual bool OldFromMem(vmem& stream) noexcept;
  // Slot 9: takes the value from the top of the string stack (popped).
  virtual void Pop() noexcept;
  // Slot 10: pushes the value on the string stack.
  virtual void Push() const noexcept;
  // Slot 11: takes the value from the top of the decimal stack (popped).
  virtual void DPop() noexcept;
  // Slot 12: pushes the value on the decimal stack.
  virtual void DPush() const noexcept;
  // Slot 13: the value as a double.
  virtual double Real() const noexcept;
  // Slot 14: the value as a 32-bit whole number.
  virtual KesUfoLong Long() const noexcept;
  // Slot 15: releases what the descriptor owns (storage, texts, element descriptors).
  virtual void Free() noexcept;
  // Slot 16: CLEAR with a fill code: 0 blank or zero, negative lowest, positive highest value.
  virtual void Clear(char fill) noexcept;
  // Slot 17: the address of the value's storage (null for a free-standing value).
  virtual char* Address() const noexcept;
  // Slot 18: a new descriptor of the same class; a nonzero argument makes it own a copy of the
  // storage. Null when memory runs out.
  virtual Ufo* AClone(char copy) const noexcept;
  // Slot 19: a new descriptor of element `element` (from 1) of an array. Fatal error 9
  // "Parameter typing error" on anything but an array, 409 "Index out of range" for 0 or an
  // element beyond the last.
  virtual Ufo* Select(unsigned element) const noexcept;
  // Slot 20: a new descriptor of the bytes `start` to `end` (from 1, inclusive) of a string.
  // Fatal error 12 "Parameter typing error" for a range outside the storage, 8 on a picture or
  // a value that is not a string.
  virtual Ufo* Select(unsigned start, unsigned end) const noexcept;
  // Slot 21: a new descriptor of field `field` (from 1; 0 the group itself) of a group; null
  // beyond the last field and on anything but a group.
  virtual Ufo* Designate(unsigned field) const noexcept;
  // Slot 22: number of elements (arrays) or fields (groups); 0 otherwise.
  virtual unsigned Max() const noexcept;
  // Slot 23: storage size in bytes.
  virtual unsigned Size() const noexcept;
  // Slot 24: the type family the value computes in: LONG, REAL, DECIMAL, STRING or PICTURE.
  virtual unsigned char BaseType() const noexcept;
  // Slot 25: compares without regard to case (texts), else as Distincts.
  virtual int DistinctU(const Ufo& other) const noexcept;
  // Slot 26: nonzero when the value is blank or zero.
  virtual int Cleared() const noexcept;
  // Slot 27: nonzero when the value is blank or zero.
  virtual int Null() const noexcept;
  // Slot 28: converts the text in place from the OEM to the ANSI character set (texts only).
  virtual void OEMANSITRANS() noexcept;
  // Slot 29: the reverse.
  virtual void ANSIOEMTRANS() noexcept;
  // Slot 30: makes a group's fields known to the expression engine; fatal error 7 "Parameter
  // typing error" on anything else.
  virtual void Bind() noexcept;
  // Slot 31: adds another value to this one, in the common type of the two.
  virtual void Add(const Ufo& other) noexcept;
  // Slot 32: divides this value by another.
  virtual void Divide(const Ufo& other) noexcept;
  // Slot 33: a hash of the storage's Size() bytes from Address().
  virtual unsigned Hash() const noexcept;

  // Compares the value as a real with `value` (Kes$realdistinct decides equality): -1, 0, 1.
  int Distincts(double value) const noexcept;

  // Descriptors live in runtime heap blocks; new gives null when the heap is exhausted.
  static void* operator new(size_t size) noexcept;
  static void operator delete(void* block) noexcept;
  // Free, then the block itself (null does nothing). What Kes$FreeUfo does.
  static void destroy(Ufo* ufo) noexcept;

 protected:
  Ufo() noexcept = default;
  Ufo(const Ufo&) noexcept = default;
  Ufo& operator=(const Ufo&) noexcept = default;
  ~Ufo() = default;
};

// A variable at an address. Adds slots 34 to 37.
class KES_EXPORT VarUfo : public Ufo {
 public:
  // Bit of flags_: the descriptor owns its storage and frees it.
  static constexpr uint8_t kOwnsStorage = 1;
  // Bit of flags_ (picture classes): the descriptor owns its compiled picture.
  static constexpr uint8_t kOwnsPicture = 2;

  // Slot 34: points the descriptor at other storage (owned storage is released first).
  virtual void SetAddress(char* address) noexcept;
  // Slot 35: nonzero when field `field` of the class descriptor has this descriptor's type
  // code (a GROUP field counting as STRING) and size and is not dimensioned.
  virtual int MatchesField(const class_descriptor& descriptor, unsigned field) const noexcept;
  // Slot 36: the comparison of slot 3.
  virtual int Equals(const Ufo& other) const noexcept;
  // Slot 37: copies the Size() bytes at Address() to `destination`; returns the size (0 and
  // nothing copied without storage).
  virtual unsigned CopyOut(void* destination) const noexcept;

  // Points at `address` for a value of `size` bytes; with `clone` the descriptor allocates its
  // own `size` bytes, copies them from `address` when it is not null, and owns them. False
  // (no storage) when that allocation fails.
  bool Init(void* address, unsigned size, char clone) noexcept;

  using Ufo::Assign;
  using Ufo::Distincts;
  using Ufo::Select;
  // Writes Type(), then the Size() bytes at Address() (zero bytes without storage).
  void ToMem(vmem& stream) const noexcept override;
  bool FromMem(vmem& stream) noexcept override;
  bool OldFromMem(vmem& stream) noexcept override;
  void Free() noexcept override;
  char* Address() const noexcept override;
  unsigned Size() const noexcept override;
  unsigned Hash() const noexcept override;

  // Records that the descriptor was made for field `field` of `descriptor` (WHAT, Designate),
  // so that MatchesField confirms only that very field.
  void set_origin(const class_descriptor* descriptor, unsigned field) noexcept {
    origin_ = descriptor;
    origin_field_ = field;
  }

 protected:
  VarUfo() noexcept = default;
  ~VarUfo() = default;
  // Copies this descriptor's class and fields into `clone` made by AClone, taking a copy of
  // the storage when `copy` is nonzero; returns `clone`, or null (clone destroyed) on failure.
  Ufo* finish_clone(VarUfo* clone, char copy) const noexcept;

  char* address_ = nullptr;  // the value's storage; null when the descriptor has none
  uint8_t flags_ = 0;        // kOwnsStorage
  uint32_t size_ = 0;        // bytes of storage
  const class_descriptor* origin_ = nullptr;  // set_origin
  uint32_t origin_field_ = 0;
};

// Whole numbers: LONG (4 bytes) and its children.
class KES_EXPORT LongUfo : public VarUfo {
 public:
  using Ufo::Distincts;
  using Ufo::Select;
  void Assign(KesUfoLong value) noexcept override;
  void Assign(double value) noexcept override;
  void Assign(const Ufo& source) noexcept override;
  int Distincts(const Ufo& other) const noexcept override;
  int Distincts(KesUfoLong value) const noexcept override;
  unsigned char Type() const noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  unsigned char BaseType() const noexcept override;
  int Cleared() const noexcept override;
  int Null() const noexcept override;
  int Equals(const Ufo& other) const noexcept override;

 protected:
  ~LongUfo() = default;
};

class KES_EXPORT ByteUfo : public LongUfo {
 public:
  using LongUfo::Assign;
  void Assign(KesUfoLong value) noexcept override;
  unsigned char Type() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;

 protected:
  ~ByteUfo() = default;
};

class KES_EXPORT ShortUfo : public LongUfo {
 public:
  using LongUfo::Assign;
  void Assign(KesUfoLong value) noexcept override;
  unsigned char Type() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;

 protected:
  ~ShortUfo() = default;
};

class KES_EXPORT UshortUfo : public LongUfo {
 public:
  using LongUfo::Assign;
  void Assign(KesUfoLong value) noexcept override;
  unsigned char Type() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;

 protected:
  ~UshortUfo() = default;
};

// A DATE in the record manager's layout (day, month, two-byte year); reads and writes serials.
class KES_EXPORT DateUfo : public LongUfo {
 public:
  using LongUfo::Assign;
  void Assign(KesUfoLong value) noexcept override;
  unsigned char Type() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;

 protected:
  ~DateUfo() = default;
};

// A TIME in the record manager's layout (hundredths, seconds, minutes, hours); reads and writes
// serial times.
class KES_EXPORT TimeUfo : public LongUfo {
 public:
  using LongUfo::Assign;
  void Assign(KesUfoLong value) noexcept override;
  unsigned char Type() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;

 protected:
  ~TimeUfo() = default;
};

// Reals: REAL (8 bytes) and its children SREAL and the two BASIC float formats.
class KES_EXPORT RealUfo : public VarUfo {
 public:
  using Ufo::Distincts;
  using Ufo::Select;
  void Assign(KesUfoLong value) noexcept override;
  void Assign(double value) noexcept override;
  void Assign(const Ufo& source) noexcept override;
  int Distincts(const Ufo& other) const noexcept override;
  int Distincts(KesUfoLong value) const noexcept override;
  unsigned char Type() const noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  unsigned char BaseType() const noexcept override;
  int Cleared() const noexcept override;
  int Null() const noexcept override;
  int Equals(const Ufo& other) const noexcept override;

 protected:
  ~RealUfo() = default;
};

class KES_EXPORT FloatUfo : public RealUfo {
 public:
  using RealUfo::Assign;
  void Assign(double value) noexcept override;
  unsigned char Type() const noexcept override;
  double Real() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;

 protected:
  ~FloatUfo() = default;
};

class KES_EXPORT Bfloat4Ufo : public RealUfo {
 public:
  using RealUfo::Assign;
  void Assign(double value) noexcept override;
  unsigned char Type() const noexcept override;
  double Real() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;

 protected:
  ~Bfloat4Ufo() = default;
};

class KES_EXPORT Bfloat8Ufo : public RealUfo {
 public:
  using RealUfo::Assign;
  void Assign(double value) noexcept override;
  unsigned char Type() const noexcept override;
  double Real() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;

 protected:
  ~Bfloat8Ufo() = default;
};

// Packed decimals: DECIMAL of size_ bytes with places_ places, and its children PDECIMAL and
// ULONG (a 4-byte unsigned number computed as a decimal).
class KES_EXPORT DecimalUfo : public VarUfo {
 public:
  using Ufo::Distincts;
  using Ufo::Select;
  // Points at a packed decimal of `size` bytes (1 to 16) with `places` places.
  bool InitDecimal(void* address, unsigned size, unsigned places, char clone) noexcept;
  void Assign(KesUfoLong value) noexcept override;
  void Assign(double value) noexcept override;
  void Assign(const Ufo& source) noexcept override;
  int Distincts(const Ufo& other) const noexcept override;
  int Distincts(KesUfoLong value) const noexcept override;
  unsigned char Type() const noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  unsigned char BaseType() const noexcept override;
  int Cleared() const noexcept override;
  int Null() const noexcept override;
  int Equals(const Ufo& other) const noexcept override;
  int MatchesField(const class_descriptor& descriptor, unsigned field) const noexcept override;
  unsigned places() const noexcept { return places_; }

 protected:
  ~DecimalUfo() = default;
  uint8_t places_ = 0;  // digits after the point
};

class KES_EXPORT PdecimalUfo : public DecimalUfo {
 public:
  using DecimalUfo::Assign;
  unsigned char Type() const noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;

 protected:
  ~PdecimalUfo() = default;
};

class KES_EXPORT UlongUfo : public DecimalUfo {
 public:
  using DecimalUfo::Assign;
  void Assign(KesUfoLong value) noexcept override;
  unsigned char Type() const noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  int MatchesField(const class_descriptor& descriptor, unsigned field) const noexcept override;

 protected:
  ~UlongUfo() = default;
};

// Texts of a declared size: STRING (blank-padded) and its children. Values convert through the
// string stack.
class KES_EXPORT StringUfo : public VarUfo {
 public:
  using Ufo::Distincts;
  void Assign(KesUfoLong value) noexcept override;
  void Assign(double value) noexcept override;
  void Assign(const Ufo& source) noexcept override;
  int Distincts(const Ufo& other) const noexcept override;
  int Distincts(KesUfoLong value) const noexcept override;
  unsigned char Type() const noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  Ufo* Select(unsigned element) const noexcept override;
  Ufo* Select(unsigned start, unsigned end) const noexcept override;
  unsigned char BaseType() const noexcept override;
  int DistinctU(const Ufo& other) const noexcept override;
  int Cleared() const noexcept override;
  int Null() const noexcept override;
  void OEMANSITRANS() noexcept override;
  void ANSIOEMTRANS() noexcept override;
  int Equals(const Ufo& other) const noexcept override;

 protected:
  ~StringUfo() = default;
};

// A zero-terminated text in size_ bytes.
class KES_EXPORT CstringUfo : public StringUfo {
 public:
  unsigned char Type() const noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  void OEMANSITRANS() noexcept override;
  void ANSIOEMTRANS() noexcept override;

 protected:
  ~CstringUfo() = default;
};

// A length byte and up to size_ - 1 bytes.
class KES_EXPORT PstringUfo : public StringUfo {
 public:
  unsigned char Type() const noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  void OEMANSITRANS() noexcept override;
  void ANSIOEMTRANS() noexcept override;

 protected:
  ~PstringUfo() = default;
};

// A reference variable: ANY (15, the storage holds a pointer to a value descriptor) or a string
// reference (31, the storage holds a pointer to a text of size_ bytes). Operations act on what
// the reference refers to; a null reference reads as the empty string and ignores stores.
class KES_EXPORT RefUfo : public StringUfo {
 public:
  using Ufo::Distincts;
  // Points at a reference variable of type 15 or 31; `text_size` is the referred text's size
  // for 31.
  bool InitRef(void* address, unsigned char type, unsigned text_size, char clone) noexcept;
  void Assign(KesUfoLong value) noexcept override;
  void Assign(double value) noexcept override;
  void Assign(const Ufo& source) noexcept override;
  int Distincts(const Ufo& other) const noexcept override;
  unsigned char Type() const noexcept override;
  void ToMem(vmem& stream) const noexcept override;
  bool FromMem(vmem& stream) noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  unsigned Size() const noexcept override;
  unsigned char BaseType() const noexcept override;
  int Null() const noexcept override;
  // The descriptor an ANY reference holds (null when none or for a string reference).
  Ufo* referred() const noexcept;

 protected:
  ~RefUfo() = default;
  uint8_t ref_type_ = 15;   // 15 ANY or 31 string reference
  uint32_t text_size_ = 0;  // size of the referred text (31)
};

// An AString variable: the storage holds an AString pointer.
class KES_EXPORT AStringUfo : public StringUfo {
 public:
  unsigned char Type() const noexcept override;
  void ToMem(vmem& stream) const noexcept override;
  bool FromMem(vmem& stream) noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  void OEMANSITRANS() noexcept override;
  void ANSIOEMTRANS() noexcept override;

 protected:
  ~AStringUfo() = default;
};

// A BSTR variable: the storage holds a BSTR.
class KES_EXPORT BStringUfo : public StringUfo {
 public:
  unsigned char Type() const noexcept override;
  void ToMem(vmem& stream) const noexcept override;
  bool FromMem(vmem& stream) noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  void OEMANSITRANS() noexcept override;
  void ANSIOEMTRANS() noexcept override;

  void Free() noexcept override;

 protected:
  ~BStringUfo() = default;
};

// A GROUP: the string of its bytes, with fields reached through its type descriptor.
class KES_EXPORT GroupUfo : public StringUfo {
 public:
  // Points at a group of the given type descriptor (its record 0 gives the size). The class
  // descriptor comes from the process-wide cache (read at most `length` bytes far). False when
  // the descriptor is damaged.
  bool InitGroup(void* address, const unsigned char* type_descriptor, char clone,
                 uint32_t length = UINT32_MAX) noexcept;
  unsigned char Type() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  Ufo* Select(unsigned element) const noexcept override;
  Ufo* Select(unsigned start, unsigned end) const noexcept override;
  Ufo* Designate(unsigned field) const noexcept override;
  unsigned Max() const noexcept override;
  void Bind() noexcept override;
  int MatchesField(const class_descriptor& descriptor, unsigned field) const noexcept override;
  const unsigned char* type_descriptor() const noexcept { return type_descriptor_; }
  class_descriptor* descriptor() const noexcept { return class_; }

 protected:
  ~GroupUfo() = default;
  const unsigned char* type_descriptor_ = nullptr;
  class_descriptor* class_ = nullptr;  // cached, not owned
};

// A 16-byte VARIANT variable; its base type follows the variant's current type.
class KES_EXPORT VariantUfo : public VarUfo {
 public:
  using Ufo::Distincts;
  using Ufo::Select;
  void Assign(KesUfoLong value) noexcept override;
  void Assign(double value) noexcept override;
  void Assign(const Ufo& source) noexcept override;
  int Distincts(const Ufo& other) const noexcept override;
  int Distincts(KesUfoLong value) const noexcept override;
  unsigned char Type() const noexcept override;
  void ToMem(vmem& stream) const noexcept override;
  bool FromMem(vmem& stream) noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  unsigned char BaseType() const noexcept override;
  int Cleared() const noexcept override;
  int Null() const noexcept override;
  void Free() noexcept override;

 protected:
  ~VariantUfo() = default;
};

// A dimensioned variable: `count` elements of the element descriptor's class, one after the
// other from the element's address. Owns its element descriptor.
class KES_EXPORT ArrayUfo : public VarUfo {
 public:
  using Ufo::Distincts;
  // Takes `element` over (its address is element 1) and `count` elements (at least 1).
  bool InitArray(Ufo* element, unsigned count) noexcept;
  void Assign(KesUfoLong value) noexcept override;
  void Assign(double value) noexcept override;
  void Assign(const Ufo& source) noexcept override;
  int Distincts(const Ufo& other) const noexcept override;
  int Distincts(KesUfoLong value) const noexcept override;
  unsigned char Type() const noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Free() noexcept override;
  void Clear(char fill) noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  Ufo* Select(unsigned element) const noexcept override;
  Ufo* Select(unsigned start, unsigned end) const noexcept override;
  unsigned Max() const noexcept override;
  unsigned char BaseType() const noexcept override;
  int Cleared() const noexcept override;
  int Null() const noexcept override;
  void SetAddress(char* address) noexcept override;
  int MatchesField(const class_descriptor& descriptor, unsigned field) const noexcept override;
  Ufo* element() const noexcept { return element_; }

 protected:
  ~ArrayUfo() = default;
  Ufo* element_ = nullptr;  // owned; describes element 1
  uint32_t count_ = 0;      // number of elements
  uint32_t element_size_ = 0;
};

// Picture classes: the storage holds the picture's text (its width in bytes); values are
// formatted into it on assignment and read back through the picture. They hold the compiled
// picture, owned when flags_ has kOwnsPicture.

// A string picture (@S, @K).
class KES_EXPORT PictureUfoS : public StringUfo {
 public:
  using StringUfo::Assign;
  using StringUfo::Select;
  unsigned char Type() const noexcept override;
  unsigned char BaseType() const noexcept override;
  void Pop() noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Free() noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  Ufo* Select(unsigned start, unsigned end) const noexcept override;
  int Cleared() const noexcept override;
  int Null() const noexcept override;
  bool InitPicture(const PicDesc* picture, void* address, char own_picture, char clone) noexcept;
  const PicDesc* picture() const noexcept { return picture_; }

 protected:
  ~PictureUfoS() = default;
  const PicDesc* picture_ = nullptr;
};

// A date or time picture (@D, @T): LONG serials.
class KES_EXPORT PictureUfoL : public LongUfo {
 public:
  using LongUfo::Assign;
  using Ufo::Select;
  void Assign(KesUfoLong value) noexcept override;
  void Assign(const Ufo& source) noexcept override;
  void Push() const noexcept override;
  void Clear(char fill) noexcept override;
  unsigned Size() const noexcept override;
  int Distincts(const Ufo& other) const noexcept override;
  unsigned char Type() const noexcept override;
  unsigned char BaseType() const noexcept override;
  void Pop() noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Free() noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  Ufo* Select(unsigned start, unsigned end) const noexcept override;
  int Cleared() const noexcept override;
  int Null() const noexcept override;
  bool InitPicture(const PicDesc* picture, void* address, char own_picture, char clone) noexcept;
  const PicDesc* picture() const noexcept { return picture_; }

 protected:
  ~PictureUfoL() = default;
  const PicDesc* picture_ = nullptr;
};

// A scientific picture (@E): reals.
class KES_EXPORT PictureUfoR : public RealUfo {
 public:
  using RealUfo::Assign;
  using Ufo::Select;
  void Assign(double value) noexcept override;
  void Assign(const Ufo& source) noexcept override;
  void Push() const noexcept override;
  void Clear(char fill) noexcept override;
  int Distincts(const Ufo& other) const noexcept override;
  unsigned char Type() const noexcept override;
  unsigned char BaseType() const noexcept override;
  void Pop() noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Free() noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  Ufo* Select(unsigned start, unsigned end) const noexcept override;
  int Cleared() const noexcept override;
  int Null() const noexcept override;
  bool InitPicture(const PicDesc* picture, void* address, char own_picture, char clone) noexcept;
  const PicDesc* picture() const noexcept { return picture_; }

 protected:
  ~PictureUfoR() = default;
  const PicDesc* picture_ = nullptr;
};

// A numeric or pattern picture (@N, @P): decimals.
class KES_EXPORT PictureUfoD : public DecimalUfo {
 public:
  using DecimalUfo::Assign;
  using Ufo::Select;
  void Assign(KesUfoLong value) noexcept override;
  void Assign(double value) noexcept override;
  void Assign(const Ufo& source) noexcept override;
  void Push() const noexcept override;
  void Clear(char fill) noexcept override;
  int Distincts(const Ufo& other) const noexcept override;
  int MatchesField(const class_descriptor& descriptor, unsigned field) const noexcept override;
  unsigned char Type() const noexcept override;
  unsigned char BaseType() const noexcept override;
  void Pop() noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Free() noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  Ufo* Select(unsigned start, unsigned end) const noexcept override;
  int Cleared() const noexcept override;
  int Null() const noexcept override;
  bool InitPicture(const PicDesc* picture, void* address, char own_picture, char clone) noexcept;
  const PicDesc* picture() const noexcept { return picture_; }

 protected:
  ~PictureUfoD() = default;
  const PicDesc* picture_ = nullptr;
};

// A free-standing value with no variable behind it: LONG, REAL, DECIMAL (an owned 32-byte
// decimal with 31 places), STRING (an owned heap text), BSTR string or VARIANT. A new ValueUfo
// is LONG 0.
class KES_EXPORT ValueUfo : public Ufo {
 public:
  using Ufo::Distincts;
  ValueUfo() noexcept = default;
  void Assign(KesUfoLong value) noexcept override;
  void Assign(double value) noexcept override;
  void Assign(const Ufo& source) noexcept override;
  int Distincts(const Ufo& other) const noexcept override;
  int Distincts(KesUfoLong value) const noexcept override;
  unsigned char Type() const noexcept override;
  void ToMem(vmem& stream) const noexcept override;
  // Takes whatever value the stream holds (LONG, REAL, DECIMAL or STRING); any other stored
  // code is fatal error 11.
  bool FromMem(vmem& stream) noexcept override;
  bool OldFromMem(vmem& stream) noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Free() noexcept override;
  void Clear(char fill) noexcept override;
  char* Address() const noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  Ufo* Select(unsigned element) const noexcept override;
  Ufo* Select(unsigned start, unsigned end) const noexcept override;
  unsigned Size() const noexcept override;
  unsigned char BaseType() const noexcept override;
  int DistinctU(const Ufo& other) const noexcept override;
  int Cleared() const noexcept override;
  int Null() const noexcept override;
  unsigned Hash() const noexcept override;

 protected:
  ~ValueUfo() = default;
  // Holds a copy of `length` bytes of text; false (LONG 0) when that cannot be allocated.
  bool hold_text(const char* text, uint32_t length) noexcept;

  // The value: a LONG, a REAL, or a pointer and length for owned texts, decimals and BSTRs;
  // VARIANT values live in their own heap block.
  union {
    KesUfoLong long_value;
    double real_value;
    struct {
      char* pointer;
      uint32_t length;
    } text;
  } value_ = {0};
  uint8_t type_ = 6;  // LONG, REAL, DECIMAL, STRING, BSTR or VARIANT
};

// A ValueUfo made from a text (a copy it owns).
class KES_EXPORT StrValueUfo : public ValueUfo {
 public:
  StrValueUfo(const char* text, uint32_t length) noexcept;

 protected:
  ~StrValueUfo() = default;
};

// A value computed by a node of the expression engine. The engine gives the node's operations
// as a table of callbacks; every read goes through Push (the value on the string stack) or the
// numeric callbacks, and stores are not supported (a store is fatal error 7).
struct KesComputedNode {
  // Pushes the node's current value on the string stack.
  void (*push)(void* node) KES_NOEXCEPT;
  // The value as a double / as a whole number (null: read through push).
  double (*real)(void* node) KES_NOEXCEPT;
  int32_t (*whole)(void* node) KES_NOEXCEPT;
  // The node's base type code (LONG, REAL, DECIMAL or STRING).
  unsigned char (*base_type)(void* node) KES_NOEXCEPT;
  // Called by Free (null: nothing to release).
  void (*release)(void* node) KES_NOEXCEPT;
};

class KES_EXPORT ComputedUfo : public Ufo {
 public:
  using Ufo::Distincts;
  ComputedUfo(const KesComputedNode* operations, void* node) noexcept
      : operations_(operations), node_(node) {}
  void Assign(KesUfoLong value) noexcept override;
  void Assign(double value) noexcept override;
  void Assign(const Ufo& source) noexcept override;
  int Distincts(const Ufo& other) const noexcept override;
  int Distincts(KesUfoLong value) const noexcept override;
  unsigned char Type() const noexcept override;
  void ToMem(vmem& stream) const noexcept override;
  bool FromMem(vmem& stream) noexcept override;
  void Pop() noexcept override;
  void Push() const noexcept override;
  void DPop() noexcept override;
  void DPush() const noexcept override;
  double Real() const noexcept override;
  KesUfoLong Long() const noexcept override;
  void Free() noexcept override;
  void Clear(char fill) noexcept override;
  char* Address() const noexcept override;
  Ufo* AClone(char copy) const noexcept override;
  unsigned Size() const noexcept override;
  unsigned char BaseType() const noexcept override;
  int Null() const noexcept override;

 protected:
  ~ComputedUfo() = default;
  const KesComputedNode* operations_;
  void* node_;
};
