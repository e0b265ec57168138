// The expression engine's side of the value descriptors: bound variables read through their
// Ufo clones, and ComputedUfo descriptors that read an expression node.
#pragma once

#include <memory>

#include <kestrel/ufo.h>

#include "data/evaluate/bound_value.h"
#include "data/evaluate/expression_node.h"

namespace kes::data {

// A bound variable read through a value descriptor the engine owns (destroyed with it).
class UfoValue final : public BoundValue {
 public:
  // Takes `ufo` over; it must not be null.
  explicit UfoValue(Ufo* ufo) noexcept : ufo_(ufo) {}
  ~UfoValue() override;

  std::uint8_t type_code() const noexcept override;
  void push() const noexcept override;
  std::int32_t to_long() const noexcept override;
  double to_real() const noexcept override;
  bool is_null() const noexcept override;
  const void* address() const noexcept override;
  void* descriptor() const noexcept override { return ufo_; }
  std::unique_ptr<BoundValue> clone() const override;
  std::unique_ptr<BoundValue> element(std::uint32_t index) const override;

 private:
  Ufo* ufo_;
};

// A BoundValue over a clone of `ufo` (sharing its storage); null when `ufo` is null or memory
// runs out.
std::unique_ptr<BoundValue> bound_ufo(const Ufo* ufo);

// A new ComputedUfo that reads `node` (which must outlive it); the caller destroys it with
// Kes$FreeUfo. Null when memory runs out.
Ufo* computed_ufo(Node& node) noexcept;

// Makes BIND of a group bind each of its fields by its label, in the current scope.
void install_group_binding() noexcept;

}  // namespace kes::data
