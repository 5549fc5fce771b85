#include "script/valtable.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/memory.h"

namespace vk {

namespace {

// The slot array is itself a value table whose elements are table
// pointers (8 bytes each on a 64-bit build).
ValTab* g_slots = nullptr;
LibHookFn g_hooks[kLibHookCount] = {};

ValTab* SlotGet(u16 n) {
  ValTab** slot = ValTabSlot(n);
  if (!slot) return nullptr;
  ValTab* t;
  std::memcpy(&t, slot, sizeof t);
  return t;
}

void SlotSet(u16 n, ValTab* t) {
  ValTab** slot = ValTabSlot(n);
  if (slot) std::memcpy(slot, &t, sizeof t);
}

}  // namespace

ValTab* ValTabNew(u16 count, u16 size) {
  if (size == 0) return nullptr;
  const u32 bytes = u32{count} * size;
  if (bytes > kValTabMaxBytes) return nullptr;
  auto* t = static_cast<ValTab*>(MemAlloc(kOwnerValueTables, sizeof(ValTab)));
  if (!t) return nullptr;
  t->data = nullptr;
  t->size = size;
  t->count = count;
  if (bytes) {
    t->data = static_cast<u8*>(MemAlloc(kOwnerValueTables, bytes));
    if (!t->data) {
      (void)MemFree(kOwnerValueTables, t);  // allocated above for this owner
      return nullptr;
    }
  }
  return t;
}

void ValTabDelete(ValTab* table) {
  if (!table) return;
  // Both blocks were allocated for this owner by ValTabNew or ValTabResize.
  if (table->data) (void)MemFree(kOwnerValueTables, table->data);
  (void)MemFree(kOwnerValueTables, table);
}

u16 ValTabResize(ValTab* table, u16 n) {
  if (!table) return kErrData;
  if (n == 0) {
    ValTabDelete(table);
    return 0;
  }
  const u32 bytes = u32{n} * table->size;
  if (bytes > kValTabMaxBytes) return kErrStringTooLong;
  auto* data = static_cast<u8*>(MemAlloc(kOwnerValueTables, bytes));
  if (!data) return kErrOutOfMemory;
  const u16 keep = table->count < n ? table->count : n;
  if (table->data) {
    std::memcpy(data, table->data, u32{keep} * table->size);
    (void)MemFree(kOwnerValueTables, table->data);  // allocated for this owner
  }
  table->data = data;
  table->count = n;
  return 0;
}

u16 ValTabInit() {
  if (g_slots && MemFindHandle(g_slots) != kNotFound) return 0;
  g_slots = ValTabNew(kValTabSlots, sizeof(ValTab*));
  return g_slots ? 0 : kErrStructMem;
}

void ValTabFreeAll() {
  if (!g_slots) return;
  for (u16 n = 0; n < kValTabSlots; ++n) ValTabFreeSlot(n);
  ValTabDelete(g_slots);
  g_slots = nullptr;
}

ValTab** ValTabSlot(u16 n) {
  if (!g_slots || !g_slots->data || n >= g_slots->count) return nullptr;
  return reinterpret_cast<ValTab**>(g_slots->data + u32{n} * g_slots->size);
}

void ValTabFreeSlot(u16 n) {
  ValTab* t = SlotGet(n);
  if (!t) return;
  ValTabDelete(t);
  SlotSet(n, nullptr);
}

u8* ValTabPut(u16 n, u16 i, const void* data, u16 size) {
  if (!ValTabSlot(n) || i == kNotFound || size == 0) return nullptr;
  if ((u32{i} + 1) * size > kValTabMaxBytes) return nullptr;
  ValTab* t = SlotGet(n);
  if (!t) {
    t = ValTabNew(1, size);
    if (!t) return nullptr;
    SlotSet(n, t);
  }
  if (t->size != size) return nullptr;
  if (i >= t->count) {
    // A source inside the table's own data moves with it.
    const auto* src = static_cast<const u8*>(data);
    const u32 bytes = u32{t->count} * t->size;
    const bool inside = src && t->data && src >= t->data && src < t->data + bytes;
    const u32 offset = inside ? static_cast<u32>(src - t->data) : 0;
    if (ValTabResize(t, static_cast<u16>(i + 1)) != 0) return nullptr;
    if (inside) data = t->data + offset;
  }
  u8* elem = t->data + u32{i} * size;
  if (data) {
    std::memmove(elem, data, size);
  } else {
    std::memset(elem, 0, size);
  }
  return elem;
}

u8* ValTabAt(u16 n, u16 i) {
  ValTab* t = SlotGet(n);
  if (!t || !t->data || i >= t->count) return nullptr;
  return t->data + u32{i} * t->size;
}

u16 ValTabInfo(u16 n, u16 mode) {
  ValTab* t = SlotGet(n);
  if (!t) return 0;
  if (mode == kValTabCount) return t->count;
  if (mode == kValTabSize) return t->size;
  return 0;
}

// Element n of a table of T values; 0 when the table holds another size or
// has no such element.
template <typename T>
static T ValTabRead(u16 table, u16 n) {
  if (ValTabInfo(table, kValTabSize) != sizeof(T)) return 0;
  const u8* p = ValTabAt(table, n);
  if (!p) return 0;
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

i16 SysVarGet(u16 n) { return ValTabRead<i16>(kTabInts, n); }

i16 SysVarSet(u16 n, i64 value) {
  const i16 v = IntLowBits(value);
  return ValTabPut(kTabInts, n, &v, sizeof v) ? v : 0;
}

bool SysVarTest(u16 n, u16 bits) {
  return (static_cast<u16>(SysVarGet(n)) & bits) != 0;
}

bool SysVarFlags(u16 n, u16 bits, u16 set) {
  u16 v = static_cast<u16>(SysVarGet(n));
  v = set ? static_cast<u16>(v | bits) : static_cast<u16>(v & ~bits);
  SysVarSet(n, v);
  return SysVarTest(n, bits);
}

i64 NumVarGet(u16 n) { return ValTabRead<i64>(kTabNums, n); }

i64 NumVarSet(u16 n, i64 value) {
  return ValTabPut(kTabNums, n, &value, sizeof value) ? value : 0;
}

LibHookFn LibHookGet(u16 n) {
  return n < kLibHookCount ? g_hooks[n] : nullptr;
}

bool LibHookSet(u16 n, LibHookFn fn) {
  if (n >= kLibHookCount) return false;
  g_hooks[n] = fn;
  return true;
}

}  // namespace vk
