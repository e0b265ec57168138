// QUEUE statements: ADD, GET, PUT, DELETE and SORT in their plain, positional and keyed forms,
// RECORDS, POINTER, POSITION, NUMCHANGES, FREE, NEW and DISPOSE; WHO, WHAT and WHERE on a queue's
// record; the read access of list displays (qgroup).
//
// Every statement takes the queue descriptor first. Positions count from 1 in the queue order.
// The `key` forms take a list of signed field numbers (positive ascending, negative descending)
// ended by 0, at most 16 of them read; the `skey` forms pop the key text from the string stack
// (field names, each optionally preceded by + or -, separated by commas or white space, at most
// 255 characters); the `fkey` forms take a comparison procedure (a null procedure makes the
// statement do nothing at all). Failures set the error state: 7 for a null descriptor, 8 when
// memory runs out (nothing is half done), 30 when an entry is not found, 75 for a key field the
// record does not have. Every statement clears the error state first.
#pragma once

#include <stddef.h>

#include <kestrel/abi.h>

#ifdef __cplusplus
class Ufo;
#else
typedef struct Ufo Ufo;
#endif

// The queue descriptor the compiler lays out for every QUEUE (and Kes$NEWqueue for a dynamic
// one): four words.
typedef struct KesQueueDescriptor {
  void* buffer;          // the record buffer: the QUEUE's own fields
  const void* type;      // the record's type descriptor
  void* group;           // the internal queue object; null until first use and after FREE
  uint32_t record_size;  // bytes
} KesQueueDescriptor;
/* 16 bytes on a 32-bit build (offsets 0, 4, 8, 12). */
#ifdef __cplusplus
static_assert(offsetof(KesQueueDescriptor, type) == sizeof(void*));
static_assert(offsetof(KesQueueDescriptor, group) == 2 * sizeof(void*));
static_assert(offsetof(KesQueueDescriptor, record_size) == 3 * sizeof(void*));
static_assert(sizeof(void*) != 4 || sizeof(KesQueueDescriptor) == 16, "16 bytes on 32-bit hosts");
#endif

// A comparison procedure of the `fkey` forms: each record is passed as its address, its size and
// its type descriptor, the value searched for first and the entry second. Negative: the first
// sorts before the second; 0: equal; positive: after.
typedef int32_t (*KesQueueCompareProc)(const void* first, uint32_t first_size,
                                       const void* first_type, const void* second,
                                       uint32_t second_size, const void* second_type);

// Appends the record buffer as a new entry; it becomes the current entry.
KES_API void Kes$ADDqueue(KesQueueDescriptor* queue) KES_NOEXCEPT;
// Inserts before `position`; a position below 1 or above RECORDS appends.
KES_API void Kes$ADDqueueptr(KesQueueDescriptor* queue, int32_t position) KES_NOEXCEPT;
// Inserts after the last entry whose key equals the buffer's, in key order.
KES_API void Kes$ADDqueuekey(KesQueueDescriptor* queue, const int32_t* fields) KES_NOEXCEPT;
KES_API void Kes$ADDqueueskey(KesQueueDescriptor* queue) KES_NOEXCEPT;
KES_API void Kes$ADDqueuefkey(KesQueueDescriptor* queue, KesQueueCompareProc order) KES_NOEXCEPT;

// Loads the entry at `position` into the buffer. Position 0 sets 30 and leaves no current entry;
// another position out of range sets 30.
KES_API void Kes$GETqueueptr(KesQueueDescriptor* queue, int32_t position) KES_NOEXCEPT;
// Loads the first entry, in key order, whose key equals the buffer's; 30 when there is none
// (the buffer is unchanged and there is no current entry).
KES_API void Kes$GETqueuekey(KesQueueDescriptor* queue, const int32_t* fields) KES_NOEXCEPT;
KES_API void Kes$GETqueueskey(KesQueueDescriptor* queue) KES_NOEXCEPT;
KES_API void Kes$GETqueuefkey(KesQueueDescriptor* queue, KesQueueCompareProc order) KES_NOEXCEPT;

// Writes the buffer back into the current entry (30 when there is none). The keyed forms also
// move the entry to its key place in the queue order.
KES_API void Kes$PUTqueue(KesQueueDescriptor* queue) KES_NOEXCEPT;
KES_API void Kes$PUTqueuekey(KesQueueDescriptor* queue, const int32_t* fields) KES_NOEXCEPT;
KES_API void Kes$PUTqueueskey(KesQueueDescriptor* queue) KES_NOEXCEPT;
KES_API void Kes$PUTqueuefkey(KesQueueDescriptor* queue, KesQueueCompareProc order) KES_NOEXCEPT;

// Removes the current entry (30 when there is none); afterwards there is no current entry.
KES_API void Kes$DELETEqueue(KesQueueDescriptor* queue) KES_NOEXCEPT;

// Makes the queue order sorted by the key (an empty key does nothing); no current entry after.
KES_API void Kes$SORTqueuekey(KesQueueDescriptor* queue, const int32_t* fields) KES_NOEXCEPT;
KES_API void Kes$SORTqueueskey(KesQueueDescriptor* queue) KES_NOEXCEPT;
KES_API void Kes$SORTqueuefkey(KesQueueDescriptor* queue, KesQueueCompareProc order) KES_NOEXCEPT;

// Position of the buffer's key in the queue order: the first equal entry; without an equal
// entry 30 is set and the answer is where such a key would go.
KES_API int32_t Kes$POSITIONqueue(KesQueueDescriptor* queue) KES_NOEXCEPT;
// Position of the current entry, 0 when there is none.
KES_API int32_t Kes$POINTERqueue(KesQueueDescriptor* queue) KES_NOEXCEPT;
KES_API int32_t Kes$RECORDSqueue(KesQueueDescriptor* queue) KES_NOEXCEPT;
// The change counter: seeded from CLOCK() when the queue is first used, advanced by one for each
// ADD, PUT, DELETE, keyed SORT and Kes$FREEqueuea.
KES_API uint32_t Kes$NUMCHANGESqueue(KesQueueDescriptor* queue) KES_NOEXCEPT;

// Destroys every entry and the internal object; the queue starts again as new.
KES_API void Kes$FREEqueue(KesQueueDescriptor* queue) KES_NOEXCEPT;
// Clears the error state and empties the queue, keeping (and advancing) its change counter.
KES_API void Kes$FREEqueuea(KesQueueDescriptor* queue) KES_NOEXCEPT;
// A dynamic queue of the given record type: one block holding the descriptor and its record
// buffer; null when memory runs out (error 8).
KES_API KesQueueDescriptor* Kes$NEWqueue(const void* type) KES_NOEXCEPT;
// Frees the queue, then releases a block made by Kes$NEWqueue.
KES_API void Kes$DISPOSEqueue(KesQueueDescriptor* queue) KES_NOEXCEPT;

// WHO, WHAT and WHERE on the queue's record buffer and type descriptor (see Kes$WHO, Kes$WHAT,
// Kes$WHERE). The error state is left alone; a null queue pushes the empty string, gives null
// and 0.
KES_API void Kes$WHOqueue(KesQueueDescriptor* queue, uint32_t field) KES_NOEXCEPT;
KES_API Ufo* Kes$WHATqueue(KesQueueDescriptor* queue, uint32_t field) KES_NOEXCEPT;
KES_API int32_t Kes$WHEREqueue(KesQueueDescriptor* queue, const Ufo* ufo) KES_NOEXCEPT;

#ifdef __cplusplus
// The internal queue object a descriptor's third word points at, as list displays read it. None
// of these operations touches the record buffer's contents, the current entry, the change
// counter or the error state. The value descriptors they return belong to the queue: the
// caller neither frees them nor keeps them past Kes$FREEqueue; through them a display may also
// write the fields.
class KES_EXPORT qgroup {
 public:
  // A value descriptor of field `field` (0: the whole record) of the record buffer; null beyond
  // the fields or when memory runs out.
  Ufo* field_buffer_ufo(uint32_t field) noexcept;
  // Loads the entry at `position` of the queue order into the display view: 0 when loaded, 1
  // (nothing loaded) for a position below 1 or above RECORDS.
  int32_t load_view(int32_t position) noexcept;
  // A value descriptor of field `field` (0: the whole record) of the display view.
  Ufo* field_view_ufo(uint32_t field) noexcept;
  // The display view's bytes (record size).
  void* view_address() noexcept;
  // Writes the display view back into the entry it was loaded from, normalised and compressed
  // as PUT stores records, without moving it in any order: 0 when written, 30 when that entry
  // is gone (deleted, or nothing loaded), 8 when memory runs out.
  int32_t put_view() noexcept;

  qgroup(const qgroup&) = delete;
  qgroup& operator=(const qgroup&) = delete;

 protected:
  qgroup() noexcept = default;
  ~qgroup() = default;
};
#endif
