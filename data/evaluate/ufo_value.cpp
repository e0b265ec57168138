// Bound variables through value descriptors, and ComputedUfo over expression nodes.
#include "data/evaluate/ufo_value.h"

#include <kestrel/types.h>

#include "data/evaluate/bind_scopes.h"
#include "runtime/values/ufo_factory.h"

namespace kes::data {

void install_group_binding() noexcept;

namespace {

constexpr unsigned char kArrayType = 24;

std::unique_ptr<BoundValue> wrap(Ufo* ufo) {
  if (ufo == nullptr) return nullptr;
  return std::make_unique<UfoValue>(ufo);
}

// ---- ComputedUfo's operations on a node.

void push_node(void* node) noexcept { static_cast<Node*>(node)->push(); }
double real_of_node(void* node) noexcept { return static_cast<Node*>(node)->real(); }
std::int32_t whole_of_node(void* node) noexcept { return static_cast<Node*>(node)->integer(); }
unsigned char base_type_of_node(void* node) noexcept {
  switch (static_cast<Node*>(node)->value_class()) {
    case ValueClass::Condition:
    case ValueClass::Integer: return 6;  // LONG
    case ValueClass::Real: return 9;     // REAL
    default: return 18;                  // STRING
  }
}

// The tree owns its nodes: a ComputedUfo releases nothing.
constexpr KesComputedNode kNodeOperations = {push_node, real_of_node, whole_of_node,
                                             base_type_of_node, nullptr};

void bind_group_fields(GroupUfo& group) {
  class_descriptor* const descriptor = group.descriptor();
  if (descriptor == nullptr || group.Address() == nullptr) return;
  for (unsigned field = 1; field <= descriptor->NFields(); ++field) {
    const std::string name = descriptor->FIELDLABEL(field);
    Ufo* const value = group.Designate(field);
    if (value == nullptr) continue;
    bind_variable(bind_scopes(), name, std::make_unique<UfoValue>(value));
  }
}

void bind_group_hook(GroupUfo& group) { bind_group_fields(group); }

// BIND of a group reaches the engine through the value descriptors' hook, set at start-up.
[[maybe_unused]] const bool kGroupHookInstalled = (install_group_binding(), true);

}  // namespace

UfoValue::~UfoValue() { Ufo::destroy(ufo_); }

std::uint8_t UfoValue::type_code() const noexcept { return ufo_->Type(); }
void UfoValue::push() const noexcept { ufo_->Push(); }
std::int32_t UfoValue::to_long() const noexcept { return static_cast<std::int32_t>(ufo_->Long()); }
double UfoValue::to_real() const noexcept { return ufo_->Real(); }
bool UfoValue::is_null() const noexcept { return ufo_->Null() != 0; }
const void* UfoValue::address() const noexcept { return ufo_->Address(); }

std::unique_ptr<BoundValue> UfoValue::clone() const { return wrap(ufo_->AClone(0)); }

std::unique_ptr<BoundValue> UfoValue::element(std::uint32_t index) const {
  // Only arrays have elements; an index outside them selects nothing rather than failing.
  if (ufo_->Type() != kArrayType || index < 1 || index > ufo_->Max()) return nullptr;
  return wrap(ufo_->Select(index));
}

std::unique_ptr<BoundValue> bound_ufo(const Ufo* ufo) {
  return ufo == nullptr ? nullptr : wrap(ufo->AClone(0));
}

Ufo* computed_ufo(Node& node) noexcept { return new ComputedUfo(&kNodeOperations, &node); }

void install_group_binding() noexcept { runtime::set_bind_group_hook(bind_group_hook); }

}  // namespace kes::data
