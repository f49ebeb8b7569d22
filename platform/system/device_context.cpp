#include "platform/system/device_context.h"

#include <mutex>
#include <vector>

namespace {

// A handle is the slot's index + 1 in its low 16 bits and the slot's generation above them, so
// a slot that is used again gives a handle that differs from every earlier one.
constexpr uint32_t kSlotBits = 16;
constexpr size_t kMaxSlots = (1u << kSlotBits) - 1;

struct Slot {
  cairo_surface_t* surface = nullptr;
  uint32_t generation = 1;
};

struct DeviceContextTable {
  std::mutex mutex;
  std::vector<Slot> slots;

  Slot* Find(HDC handle) {
    size_t index = (handle & kMaxSlots);
    if (index == 0 || index > slots.size()) return nullptr;
    Slot& slot = slots[index - 1];
    if (slot.surface == nullptr || slot.generation != (handle >> kSlotBits)) return nullptr;
    return &slot;
  }
};

DeviceContextTable& Table() {
  static DeviceContextTable* table = new DeviceContextTable();  // lives as long as the process
  return *table;
}

HDC HandleOf(size_t index, const Slot& slot) {
  return static_cast<HDC>((slot.generation << kSlotBits) | (index + 1));
}

}  // namespace

HDC RegisterDeviceContext(cairo_surface_t* surface) {
  if (surface == nullptr) return 0;
  DeviceContextTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  for (size_t i = 0; i < table.slots.size(); ++i) {
    if (table.slots[i].surface != nullptr) continue;
    table.slots[i].surface = surface;
    return HandleOf(i, table.slots[i]);
  }
  if (table.slots.size() >= kMaxSlots) return 0;
  table.slots.push_back({surface, 1});
  return HandleOf(table.slots.size() - 1, table.slots.back());
}

bool ReplaceDeviceContextSurface(HDC handle, cairo_surface_t* surface) {
  if (surface == nullptr) return false;
  DeviceContextTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  Slot* slot = table.Find(handle);
  if (slot == nullptr) return false;
  slot->surface = surface;
  return true;
}

void UnregisterDeviceContext(HDC handle) {
  DeviceContextTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  Slot* slot = table.Find(handle);
  if (slot == nullptr) return;
  slot->surface = nullptr;
  slot->generation = (slot->generation + 1) & 0xFFFF;
  if (slot->generation == 0) slot->generation = 1;
}

cairo_surface_t* DeviceContextSurface(HDC handle) {
  DeviceContextTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  Slot* slot = table.Find(handle);
  return slot == nullptr ? nullptr : slot->surface;
}
