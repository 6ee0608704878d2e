#include "model/NameTable.h"

#include <stdlib.h>
#include <string.h>

namespace {

const size_t kFewestSlots = 16;  // a power of two

const uint64_t kMixers[3] = {0xa0761d6478bd642full, 0xe7037ed1a0b428dbull, 0x8ebc6af09c88c6e3ull};

// The 128-bit product of a and b with its halves xor-ed together: each bit of either factor reaches every
// bit of the result, unlike a 64-bit product, whose top bit no lower bit of the factors can change.
uint64_t FoldedProduct(uint64_t a, uint64_t b) {
  const uint64_t kLow = 0xFFFFFFFFull;
  uint64_t a0 = a & kLow, a1 = a >> 32, b0 = b & kLow, b1 = b >> 32;
  uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  uint64_t middle = (p00 >> 32) + (p01 & kLow) + (p10 & kLow);
  uint64_t low = (middle << 32) | (p00 & kLow);
  uint64_t high = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
  return low ^ high;
}

// Sixteen bytes at a time, the last ones padded with zeros; the seed enters every step, so that no choice
// of bytes cancels the state without knowing it.
uint64_t HashName(uint64_t seed, Token name) {
  uint64_t hash = seed ^ kMixers[0];
  for (size_t offset = 0; offset < name.length; offset += 16) {
    uint64_t words[2] = {0, 0};
    size_t part = name.length - offset < 16 ? name.length - offset : 16;
    memcpy(words, name.text + offset, part);
    hash = FoldedProduct(words[0] ^ seed ^ kMixers[1], words[1] ^ hash);
  }
  return FoldedProduct(hash ^ kMixers[2], name.length ^ seed);
}

bool SameName(Token a, Token b) { return a.length == b.length && memcmp(a.text, b.text, a.length) == 0; }

NameSlot* AllocateSlots(size_t count) {
  NameSlot* slots = static_cast<NameSlot*>(malloc(count * sizeof(NameSlot)));
  if (slots == NULL) return NULL;
  for (size_t i = 0; i < count; ++i) slots[i].value = kNoName;
  return slots;
}

// Doubles the slots and places every name again by its hash.
bool Grow(NameTable& table) {
  size_t count = table.mask + 1;
  if (count > SIZE_MAX / sizeof(NameSlot) / 2) return false;
  NameSlot* slots = AllocateSlots(2 * count);
  if (slots == NULL) return false;
  size_t mask = 2 * count - 1;
  for (size_t i = 0; i < count; ++i) {
    if (table.slots[i].value == kNoName) continue;
    size_t slot = table.slots[i].hash & mask;
    while (slots[slot].value != kNoName) slot = (slot + 1) & mask;
    slots[slot] = table.slots[i];
  }
  free(table.slots);
  table.slots = slots;
  table.mask = mask;
  return true;
}

}  // namespace

bool CreateNameTable(NameTable& table, size_t expected, NameOf nameOf, const void* context) {
  size_t count = kFewestSlots;
  while (count / 2 < expected && count < SIZE_MAX / sizeof(NameSlot) / 2) count *= 2;
  table = NameTable();
  table.slots = AllocateSlots(count);
  table.mask = count - 1;
  table.nameOf = nameOf;
  table.context = context;
  if (table.slots == NULL) return false;
  // Heap and stack addresses differ from run to run where the system randomises them.
  table.seed = FoldedProduct(reinterpret_cast<uintptr_t>(table.slots) ^ kMixers[1],
                             reinterpret_cast<uintptr_t>(&count) ^ kMixers[2]);
  return true;
}

void FreeNameTable(NameTable& table) {
  free(table.slots);
  table.slots = NULL;
  table.mask = 0;
  table.count = 0;
}

size_t FindName(const NameTable& table, Token name, NamePlace& place) {
  place.hash = HashName(table.seed, name);
  size_t slot = place.hash & table.mask;
  for (;; slot = (slot + 1) & table.mask) {
    const NameSlot& found = table.slots[slot];
    if (found.value == kNoName) break;
    if (found.hash == place.hash && SameName(table.nameOf(table.context, found.value), name)) return found.value;
  }
  place.slot = slot;
  return kNoName;
}

// The table is kept at most half full, so that every search ends soon at a free slot.
bool AddName(NameTable& table, const NamePlace& place, size_t value) {
  size_t slot = place.slot;
  if (2 * (table.count + 1) > table.mask + 1) {
    if (!Grow(table)) return false;
    slot = place.hash & table.mask;
    while (table.slots[slot].value != kNoName) slot = (slot + 1) & table.mask;
  }
  table.slots[slot].hash = place.hash;
  table.slots[slot].value = value;
  ++table.count;
  return true;
}
