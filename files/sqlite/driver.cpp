// The operations of the SQLite driver: the state protocol around each one, the texts each takes
// from or gives to the string stack, and the errors it posts.
#include "files/sqlite/driver.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include <kestrel/string_stack.h>

#include "files/sqlite/file_operations.h"

namespace kes::sqlite {
namespace {

// What an operation takes from the string stack and gives back, whether or not it is carried
// out, so that the stack stays balanced.
struct TextUse {
  int pops;
  int pushes;
};

TextUse text_use(std::int32_t operation) {
  switch (operation) {
    case DRV_COPY:
    case DRV_RENAME:
    case DRV_RESETFILE:
    case DRV_RESETKEY:
    case DRV_REGETFILE:
    case DRV_REGETKEY:
    case DRV_BUILDDYN:
    case DRV_SETNULLS:
    case DRV_SET_PROPERTY:
    case DRV_SETPROPERTYKEY:
    case DRV_BLOB_SET_PROP:
    case DRV_BLOB_TAKE: return {1, 0};
    case DRV_BUILDDYNFILTER: return {2, 0};
    case DRV_SEND: return {1, 1};
    case DRV_NAME:
    case DRV_POSITIONFILE:
    case DRV_POSITIONKEY:
    case DRV_GET_PROPERTY:
    case DRV_GETPROPERTYKEY:
    case DRV_BLOB_GET_PROP:
    case DRV_GETNULLS:
    case DRV_BLOB_YIELD: return {0, 1};
    default: return {0, 0};
  }
}

// Pops the texts an operation that is not carried out leaves, and pushes empty answers.
void balance(std::int32_t operation) {
  const TextUse use = text_use(operation);
  for (int i = 0; i < use.pops; ++i)
    Kes$STACKpop();
  for (int i = 0; i < use.pushes; ++i)
    Kes$PushString("", 0);
}

}  // namespace

std::int32_t run_operation(std::int32_t operation, Drv_FCB* file, const Drv_Args& arguments) {
  if (operation == DRV_DESTROY) {
    destroy_file(file);
    return 0;
  }
  const std::int32_t check = _drv_check_state(file, operation, &arguments, nullptr, 0);
  if (check != 0) {
    balance(operation);
    // -1: the state leaves nothing to do (UNLOCK of a file not locked).
    if (check > 0) drv_post_error(file, check, nullptr, nullptr);
    _drv_update_state(file, operation, &arguments, check > 0 ? check : 0);
    return 0;
  }
  std::int32_t result = 0;
  if (!run_file_operation(operation, file, arguments, result)) {
    balance(operation);
    drv_post_error(file, 80, nullptr, nullptr);  // Unsupported File Driver Function
  }
  _drv_update_state(file, operation, &arguments, Kes$ERRCODE);
  return result;
}

}  // namespace kes::sqlite
