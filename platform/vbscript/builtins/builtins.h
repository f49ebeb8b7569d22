#pragma once
// The VBScript function library and constants: one table of built-in functions (name,
// argument counts, implementation) and one of the vb... constants. The interpreter binds a
// call to a built-in by name when no script procedure or variable of that name is in scope.
// Functions that need the interpreter itself (Eval, Execute, ExecuteGlobal, GetRef,
// CreateObject, GetObject) live in the engine, not here.

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"

/// The longest string a built-in builds, in characters; longer results raise Out of string
/// space (14) instead of allocating without bound (String(2^30, "x"), Space, Replace, Join).
inline constexpr uint32_t kMaxStringLength = 64 * 1024 * 1024;

/// State that built-ins keep per script engine: the random-number generator of Rnd/Randomize.
struct BuiltinState {
  uint32_t random_seed = 0x50000;  // the platform's initial seed
  float last_random = 0;           // the value Rnd(0) repeats
};

/// One call: the arguments first first, already counted against the entry's limits; an
/// omitted optional argument is either absent (index >= size) or a Missing value
/// (VT_ERROR / DISP_E_PARAMNOTFOUND). Arguments may be by-reference variants.
struct BuiltinCall {
  std::span<const VARIANT> arguments;
  BuiltinState& state;

  bool Has(size_t index) const;
  const VARIANT& operator[](size_t index) const { return arguments[index]; }
};

using BuiltinFunction = Result<Variant> (*)(const BuiltinCall& call);

/// How a function may be called: a conversion (CInt, CStr, ...) cannot be called as a
/// statement, its result discarded (458).
/// ValueOnly: a conversion, whose value may not be thrown away (Call CInt(1) is an error).
/// StatementOnly: a statement such as Randomize, which has no value to use.
enum class BuiltinUse : uint8_t { Any, ValueOnly, StatementOnly };

struct BuiltinEntry {
  std::u16string_view name;
  uint8_t min_arguments;
  uint8_t max_arguments;
  BuiltinFunction function;
  BuiltinUse use = BuiltinUse::Any;
};

/// Every built-in function; names are unique ignoring case.
std::span<const BuiltinEntry> BuiltinFunctions();
/// The entry for a name (ignoring case), or null.
const BuiltinEntry* FindBuiltin(std::u16string_view name);

/// A constant's value: an integer (Long, or Integer where the platform types it so), a double,
/// or a string.
struct BuiltinConstant {
  enum class Kind : uint8_t { Integer, Long, Double, String };
  std::u16string_view name;
  Kind kind;
  int32_t integer;
  double real;
  std::u16string_view text;

  Variant Value() const;
};

/// The vb... constants (vbCrLf, vbTextCompare, vbSunday, vbUseDefault, ...).
std::span<const BuiltinConstant> BuiltinConstants();
const BuiltinConstant* FindBuiltinConstant(std::u16string_view name);
