// Names (byte strings held by the caller) to numbers of the caller's, by open addressing: the readers'
// look-ups of material names and texture files in time independent of how many names there are.
//
// The table keeps only each name's hash and number; it asks the caller for the name of a number (NameOf)
// when two hashes agree. The hash is seeded from addresses the system randomises, so that a file cannot
// be written to make its names collide.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "model/TextScanner.h"

const size_t kNoName = ~static_cast<size_t>(0);

// The name stored under value.
typedef Token (*NameOf)(const void* context, size_t value);

struct NameSlot {
  uint64_t hash;
  size_t value;  // kNoName in a free slot
};

struct NameTable {
  NameSlot* slots;
  size_t mask;   // slot count - 1, a power of two minus one
  size_t count;  // names stored
  uint64_t seed;
  NameOf nameOf;
  const void* context;
};

// Where a name was looked for: its hash, and the free slot it would take.
struct NamePlace {
  uint64_t hash;
  size_t slot;
};

// An empty table with room for expected names before it grows; false when out of memory.
bool CreateNameTable(NameTable& table, size_t expected, NameOf nameOf, const void* context);
void FreeNameTable(NameTable& table);

// The value stored under name, or kNoName; place receives what AddName needs to store it.
size_t FindName(const NameTable& table, Token name, NamePlace& place);
// Stores value under the name FindName just failed to find at place (no other AddName in between).
// False when the table had to grow and memory ran out; the table is then unchanged.
bool AddName(NameTable& table, const NamePlace& place, size_t value);
