// BIND and EVALUATE: names bound in nested scopes, expression texts parsed into trees over
// them, evaluated on the string stack, decided level by level, and printed as SQL for drivers
// that filter on a server.
//
// Failures post to the error state: 800 for a text that does not parse, 801 for a name that no
// scope binds (the ERROR() text then ends with the name in parentheses). POPBIND without a
// matching PUSHBIND is a fatal run-time error.
#pragma once

#include <kestrel/abi.h>
#include <kestrel/ufo.h>

// A parsed expression; it owns its nodes and does not depend on the scope it was parsed in.
typedef struct KesExpression KesExpression;

// Asked once per variable by Kes$AnnotateParsed: the level of the variable whose value
// descriptor is given (for example the position in a join of the file that holds the field).
typedef int32_t (*KesLevelProcedure)(void* descriptor);

// A bound procedure: it pops its parameters from the string stack (its first on top) and
// returns a LONG, a REAL, or pushes its text, as it was bound.
typedef void (*KesBoundProcedure)(void);

// What the SQL printer asks of the driver. Each writer puts at most `capacity` bytes at `out`
// and returns their count, or -1 to give up (the printer then returns null).
typedef struct KesSqlCallback {
  void* context;
  // The column name of the variable stored at `address` with `type_code`; -1 when the variable
  // is not a column (its value is then printed as a constant).
  int32_t (*column_name)(void* context, const void* address, uint8_t type_code, char* out,
                         uint32_t capacity);
  // A serial date and a time value as the server writes them.
  int32_t (*format_date)(void* context, int32_t serial, char* out, uint32_t capacity);
  int32_t (*format_time)(void* context, int32_t time, char* out, uint32_t capacity);
  // A text compared with a STRING, CSTRING or PSTRING column; may be null, and the text is
  // then quoted with its quotes doubled and its trailing spaces cut.
  int32_t (*format_string)(void* context, const char* text, uint32_t length, char* out,
                           uint32_t capacity);
} KesSqlCallback;

// BIND(name, variable): the name on the string stack (cut at the first character that does not
// fit a name, and at 99 characters); the scope keeps its own clone of the descriptor. A null
// descriptor binds nothing.
KES_API void Kes$BindV(const Ufo* variable) KES_NOEXCEPT;
// BIND(name, procedure): the name on the string stack. A return type code of 6 gives LONG
// results, 9 REAL, any other a text. At most 25 parameters are passed.
KES_API void Kes$BindP(KesBoundProcedure procedure, int32_t parameter_count,
                       uint8_t return_type) KES_NOEXCEPT;
// UNBIND(name): the name on the string stack; 801 when the current scope does not hold it.
KES_API void Kes$UnbindV(void) KES_NOEXCEPT;
// UNBIND(): every binding of the current scope.
KES_API void Kes$UnbindA(void) KES_NOEXCEPT;
// PUSHBIND: a new empty scope that hides the enclosing ones; with PushBind2 and a nonzero
// flag, names not found in it are looked up outward.
KES_API void Kes$PushBind(void) KES_NOEXCEPT;
KES_API void Kes$PushBind2(int32_t inherit) KES_NOEXCEPT;
// POPBIND: discards the current scope and its bindings.
KES_API void Kes$PopBind(void) KES_NOEXCEPT;

// EVALUATE(text): pops the text (trailing spaces cut) and pushes its value as text; on failure
// pushes the empty text and posts 800 or 801. Clears the error state first.
KES_API void Kes$Evaluate(void) KES_NOEXCEPT;
// The tree of the whole terminated text, or null (800 or 801 posted).
KES_API KesExpression* Kes$ParseCString(const char* text) KES_NOEXCEPT;
// The tree of the longest leading expression of *text; *text moves to the first character not
// consumed. Null on error.
KES_API KesExpression* Kes$ParseCStringR(const char** text) KES_NOEXCEPT;
// Pushes the tree's value as text (the empty text for null).
KES_API void Kes$EvaluateParsed(KesExpression* tree) KES_NOEXCEPT;
// The tree's truth: 1 or 0 (0 for null). A text is true when not blank, a number when not 0.
KES_API int32_t Kes$EvalR(KesExpression* tree) KES_NOEXCEPT;
// The answer at `level`: 2 when it depends on a variable above the level, else 0 true, 1 false.
KES_API int32_t Kes$EvalS(KesExpression* tree, int32_t level) KES_NOEXCEPT;
// Gives every variable its level through `procedure` (kept for later calls), lets the tree
// rebuild itself into *tree, and returns the answer at level 0; 2 for a null tree.
KES_API int32_t Kes$AnnotateParsed(KesExpression** tree, KesLevelProcedure procedure) KES_NOEXCEPT;
// The tree as an SQL condition, or null when SQL has no form for it (the caller then filters by
// evaluating the tree). The text lives in one buffer that the next print overwrites.
KES_API const char* Kes$PrintSQL(KesExpression* tree, const KesSqlCallback* callback) KES_NOEXCEPT;
// The tree as an ordering term: a negated term prints as its operand and " DESC".
KES_API const char* Kes$PrintSQLOrder(KesExpression* tree,
                                      const KesSqlCallback* callback) KES_NOEXCEPT;
// Destroys a tree (null is ignored).
KES_API void Kes$FreeParsed(KesExpression* tree) KES_NOEXCEPT;
// A clone of the descriptor bound to the terminated `name` as the current scope sees it, which
// the caller destroys with Kes$FreeUfo; null when the name is not a bound variable.
KES_API Ufo* Kes$EvaluateVariable(const char* name) KES_NOEXCEPT;
