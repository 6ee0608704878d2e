#include "model/ObjVertexData.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <new>

#include "model/ByteClasses.h"
#include "model/ObjKeywords.h"
#include "model/TextScanner.h"

// The pass run ahead of the counting pass, and what the counting pass hands it.
struct VertexDataJob {
  const char* text;
  size_t size;
  ObjVertexLists lists;  // growing: the count fields hold the capacities
  VertexCounts filled;   // how many entries of each list the pass wrote
  bool failed;
  HANDLE thread;                  // null when the pass runs in FinishVertexData instead
  std::atomic<bool> limitsGiven;  // set, after limits, once the counts are known
  VertexCounts limits;
  std::atomic<bool> running;  // until the thread's pass has ended
};

namespace {

// "%f %f %f" into the shared floats; the components not read keep their values.
void ReadTriple(TextScanner& scanner, float shared[3]) {
  ReadFloat(scanner, shared[0]) && ReadFloat(scanner, shared[1]) && ReadFloat(scanner, shared[2]);
}

// Room a classified block needs in the data: its 64 bytes, and the eight-byte digit loads that may start
// at its last byte.
const ptrdiff_t kBlockRoom = kByteClassBlock + 8;

// A classified block and its tokens: bit i stands for byte i. A token that runs on past the block has a
// start but no end.
struct Block {
  const char* bytes;
  // Bytes of tokens that are not plain decimals: [-] digits [. digits] with 1 to 8 digits, fewer than 8 on
  // either side of the point. ReadFloat reads such a token whole when white space follows it.
  uint64_t notPlain;
  uint64_t pointOrSpace;  // where the integer digits of a number token end
  uint64_t starts;        // the first byte of each token
  uint64_t ends;          // the white-space byte after each token
};

// Bit i set where bytes i .. i + 7 all have their bits set in mask.
inline uint64_t RunsOfEight(uint64_t mask) {
  uint64_t two = mask & (mask >> 1);
  uint64_t four = two & (two >> 2);
  return four & (four >> 4);
}

inline Block ClassifyAt(const char* p) {
  ByteClasses classes = ClassifyBlock(p);
  const uint64_t space = classes.space, digit = classes.digit, point = classes.point, minus = classes.minus;
  const uint64_t text = ~space;
  const uint64_t starts = text & ~(text << 1);
  const uint64_t ends = space & (text << 1);
  // Adding a token's first point to its bytes carries up to the white space after it, clearing its bytes
  // from the point on: only its first point is clear in the sum.
  const uint64_t firstPoints = point & ~(text + point);
  const uint64_t unsignedBytes = text & ~minus;
  uint64_t notPlain = text & ~(digit | (minus & starts) | firstPoints);  // other bytes, '-' inside, second points
  notPlain |= starts & (minus | point) & (space >> 1);            // "-" or "." alone
  notPlain |= starts & minus & (point >> 1) & (space >> 2);       // "-." alone
  notPlain |= RunsOfEight(digit);                                 // eight digits on one side of the point
  notPlain |= RunsOfEight(unsignedBytes) & (unsignedBytes >> 8) & (unsignedBytes >> 9);  // more than 8 digits
  Block block;
  block.bytes = p;
  block.notPlain = notPlain;
  block.pointOrSpace = point | space;
  block.starts = starts;
  block.ends = ends;
  return block;
}

// The places of a block's tokens not yet read.
struct TokenQueue {
  uint64_t starts, ends;
};

// Bits first .. end - 1: the bytes from first up to end.
inline uint64_t BytesBetween(int first, int end) { return (1ull << end) - (1ull << first); }

inline int TakeLowest(uint64_t& mask) {
  int place = LowestBit(mask);
  mask &= mask - 1;
  return place;
}

// 10^k and -10^k for 0 to 7 fraction digits: dividing by the negative power gives the negated quotient
// exactly (-0.0 for a zero mantissa), so the sign costs no branch.
const float kSignedPowersOfTen[2][8] = {{1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f},
                                        {-1e0f, -1e1f, -1e2f, -1e3f, -1e4f, -1e5f, -1e6f, -1e7f}};

// The value of a token, taken to be a plain decimal; its mantissa is added to mantissas, for one test of
// their limit.
inline float NumberValue(const Block& block, int first, int end, uint32_t& mantissas) {
  const char* bytes = block.bytes;
  int negative = bytes[first] == '-';
  int integerStart = first + negative;
  int integerEnd = first + LowestBit(block.pointOrSpace >> first);  // the white space when there is no point
  int fractionStart = integerEnd + (integerEnd != end);
  int integerDigits = integerEnd - integerStart;
  int fractionDigits = end - fractionStart;
  uint64_t word = JoinDigitWords(LoadWord(bytes + integerStart), integerDigits, LoadWord(bytes + fractionStart));
  uint32_t mantissa = LeadingDigitsValue(word, integerDigits + fractionDigits);
  mantissas |= mantissa;
  return static_cast<float>(mantissa) / kSignedPowersOfTen[negative][fractionDigits];
}

enum StatementKind { kOtherToken, kPosition, kNormal, kTexcoord };

// What one pass of the statement loop read from a block.
struct Statement {
  int end;  // the block offset where the reads stopped; 0 when the statement is left to the scanner
  StatementKind kind;
  float values[3];
};

// count numbers from the next tokens when they are plain decimals that end inside the block and have
// mantissas up to kExactMantissaLimit: ReadFloat reads each such token whole, and its value is the one
// ExactDecimalValue gives. The tokens are found and checked from the masks before any number is read, and
// the numbers' places come from the masks alone, so that their loads and conversions do not wait on one
// another. The end stays 0 when anything else stands there (a '+' sign, an exponent, a keyword glued to a
// number, a missing number).
template <int count>
inline void ReadPlainNumbers(const Block& block, TokenQueue& queue, int keywordEnd, Statement& statement) {
  if (queue.ends == 0) return;
  const int firstX = TakeLowest(queue.starts), endX = TakeLowest(queue.ends);
  if (queue.ends == 0) return;
  const int firstY = TakeLowest(queue.starts), endY = TakeLowest(queue.ends);
  int firstZ = 0, endZ = 0;
  if (count == 3) {
    if (queue.ends == 0) return;
    firstZ = TakeLowest(queue.starts);
    endZ = TakeLowest(queue.ends);
  }
  const int end = count == 3 ? endZ : endY;
  if ((block.notPlain & BytesBetween(keywordEnd, end)) != 0) return;
  uint32_t mantissas = 0;
  statement.values[0] = NumberValue(block, firstX, endX, mantissas);
  statement.values[1] = NumberValue(block, firstY, endY, mantissas);
  if (count == 3) statement.values[2] = NumberValue(block, firstZ, endZ, mantissas);
  if (mantissas <= kExactMantissaLimit) statement.end = end;  // every mantissa is at most their union
}

// One pass of the statement loop over the block's next tokens: the token, and for "v", "vn" and "vt" their
// numbers when ReadPlainNumbers takes them. The tokens read are taken off the queue only when the
// statement is read; the white space after the last number is left, as ReadFloat leaves it.
inline Statement ReadBlockStatement(const Block& block, TokenQueue& queue) {
  Statement statement = {};
  statement.kind = kOtherToken;
  if (queue.ends == 0) return statement;
  TokenQueue left = queue;
  const int first = TakeLowest(left.starts);
  const int keywordEnd = TakeLowest(left.ends);
  const int length = keywordEnd - first;
  const char* token = block.bytes + first;
  if (token[0] == 'v' && length <= 2) {
    if (length == 2 && token[1] == 't') {
      statement.kind = kTexcoord;
      ReadPlainNumbers<2>(block, left, keywordEnd, statement);
    } else if (length == 1 || token[1] == 'n') {
      statement.kind = length == 1 ? kPosition : kNormal;
      ReadPlainNumbers<3>(block, left, keywordEnd, statement);
    } else {
      statement.end = keywordEnd;
    }
  } else {
    statement.end = keywordEnd;  // any other token changes nothing; the next token read skips the white space
  }
  if (statement.end != 0) queue = left;
  return statement;
}

const size_t kFirstListCapacity = 4096;  // entries of a growing list before it first grows

// Grows a list to twice its capacity (kFirstListCapacity entries at first); false when memory runs out.
template <typename T>
bool Grow(T*& items, size_t& capacity) {
  size_t grown = capacity < kFirstListCapacity / 2 ? kFirstListCapacity : 2 * capacity;
  if (grown > SIZE_MAX / sizeof(T)) return false;
  T* moved = static_cast<T*>(realloc(items, grown * sizeof(T)));
  if (moved == NULL) return false;
  items = moved;
  capacity = grown;
  return true;
}

// The lists, how far each is filled, and the counts past which statements are dropped. While the pass
// runs ahead of the counting pass (a job), the counts are unknown and the lists grow as they fill; their
// count fields hold their capacities then.
struct VertexLists {
  ObjVertexLists* lists = NULL;
  VertexCounts filled = {};
  VertexCounts limits = {};
  VertexDataJob* job = NULL;  // the job whose limits are still to come, or null
  bool growable = false;      // false when the lists have the limits' sizes from the start
  bool failed = false;        // a list could not grow
  bool Full() const {
    return filled.positionCount >= limits.positionCount && filled.normalCount >= limits.normalCount &&
           filled.texcoordCount >= limits.texcoordCount;
  }
  template <typename T>
  bool Put(T*& items, size_t& capacity, size_t& written, size_t limit, const T& value) {
    if (written >= limit) return false;
    if (written == capacity && (!growable || !Grow(items, capacity))) {
      failed = growable;
      return false;
    }
    items[written++] = value;
    return written == limit && Full();
  }
  // Stores a statement's values; true when that filled the last list that had room.
  bool Store(StatementKind kind, const float shared[3]) {
    if (kind == kPosition)
      return Put(lists->positions, lists->positionCount, filled.positionCount, limits.positionCount,
                 D3DXVECTOR3(-shared[0], shared[1], shared[2]));
    if (kind == kNormal)
      return Put(lists->normals, lists->normalCount, filled.normalCount, limits.normalCount,
                 D3DXVECTOR3(-shared[0], shared[1], shared[2]));
    if (kind == kTexcoord)
      return Put(lists->texcoords, lists->texcoordCount, filled.texcoordCount, limits.texcoordCount,
                 D3DXVECTOR2(shared[0], 1.0f - shared[1]));
    return false;
  }
  // Takes the counts once the job has been handed them.
  void TakeLimits() {
    if (!job->limitsGiven.load(std::memory_order_acquire)) return;
    limits = job->limits;
    job = NULL;
  }
  bool Done() const { return failed || Full(); }
};

// One pass of the statement loop by the scanner's reads.
void ReadStatement(TextScanner& scanner, float shared[3], VertexLists& out) {
  Token token = TokenOf("", 0);
  ReadTokenAndSpace(scanner, kTokenBufferSize, token);
  if (IsPosition(token)) {
    ReadTriple(scanner, shared);
    out.Store(kPosition, shared);
  } else if (IsNormal(token)) {
    ReadTriple(scanner, shared);
    out.Store(kNormal, shared);
  } else if (IsTexcoord(token)) {
    ReadFloat(scanner, shared[0]) && ReadFloat(scanner, shared[1]);
    out.Store(kTexcoord, shared);
  }
}

// After each fresh block that could not take a statement, the scanner reads twice as many statements
// before the next try, up to 2^kBackoffDoublings - 1.
const int kBackoffDoublings = 6;

// The statement loop from start to the end of the data, or until every list is full.
void ReadVertexStatements(const char* text, size_t size, size_t start, VertexLists& out) {
  TextScanner scanner = ScanText(text + start, size - start);
  float shared[3] = {0.0f, 0.0f, 0.0f};  // one set for all three statements, never reset
  // Statements a fresh block could not take in a row, and how many the scanner reads before the next try:
  // data the blocks never take (exponents, '+' signs) costs a classification only now and then.
  int failures = 0, slowBeforeTry = 0;
  // Once every list is full, all later statements would be dropped: the pass can end there.
  while (!scanner.atEnd && !out.Done()) {
    if (out.job != NULL) out.TakeLimits();
    // Well before the end of the data, statements are read from the classes of the block at the cursor
    // while they end inside it; the first statement a fresh block cannot take is read by the scanner.
    if (slowBeforeTry == 0 && scanner.end - scanner.cursor >= kBlockRoom) {
      Block block = ClassifyAt(scanner.cursor);
      TokenQueue queue;
      queue.starts = block.starts;
      queue.ends = block.ends;
      bool fresh = true;
      for (;;) {
        Statement statement = ReadBlockStatement(block, queue);
        if (statement.end == 0) break;
        fresh = false;
        scanner.cursor = block.bytes + statement.end;
        if (statement.kind == kOtherToken) continue;
        shared[0] = statement.values[0];
        shared[1] = statement.values[1];
        if (statement.kind != kTexcoord) shared[2] = statement.values[2];
        if (out.Store(statement.kind, shared)) break;
      }
      if (!fresh) {
        failures = 0;
        continue;
      }
      slowBeforeTry = (1 << (failures < kBackoffDoublings ? failures : kBackoffDoublings)) - 1;  // 0, 1, 3 ... 63
      ++failures;
    } else if (slowBeforeTry > 0) {
      --slowBeforeTry;
    }
    ReadStatement(scanner, shared, out);
  }
}

// Lists that hold limits' entries from the start, filled from their first entries.
VertexLists FixedLists(ObjVertexLists& lists, const VertexCounts& limits) {
  VertexLists out;
  out.lists = &lists;
  out.limits = limits;
  return out;
}

// The job's lists grow until the limits come.
void RunJob(VertexDataJob& job) {
  VertexLists out;
  out.lists = &job.lists;
  out.limits.positionCount = SIZE_MAX;
  out.limits.normalCount = SIZE_MAX;
  out.limits.texcoordCount = SIZE_MAX;
  out.job = &job;
  out.growable = true;
  ReadVertexStatements(job.text, job.size, 0, out);
  job.filled = out.filled;
  job.failed = out.failed;
}

DWORD WINAPI RunJobOnThread(LPVOID parameter) {
  VertexDataJob& job = *static_cast<VertexDataJob*>(parameter);
  RunJob(job);
  job.running.store(false, std::memory_order_release);
  return 0;
}

// A grown list cut or zero-extended to count entries, filled of which the pass wrote.
template <typename T>
bool Fit(T*& items, size_t& capacity, size_t filled, size_t count) {
  if (count > capacity) {
    T* moved = count <= SIZE_MAX / sizeof(T) ? static_cast<T*>(realloc(items, count * sizeof(T))) : NULL;
    if (moved == NULL) return false;
    items = moved;
  }
  if (filled < count) memset(static_cast<void*>(items + filled), 0, (count - filled) * sizeof(T));
  capacity = count;
  return true;
}

// The pass once more, into lists of the counted sizes; false (and no lists) when memory runs out.
bool ReadIntoCountedLists(const char* text, size_t size, const VertexCounts& counts, ObjVertexLists& lists) {
  lists.positionCount = counts.positionCount;
  lists.normalCount = counts.normalCount;
  lists.texcoordCount = counts.texcoordCount;
  lists.positions = static_cast<D3DXVECTOR3*>(calloc(counts.positionCount != 0 ? counts.positionCount : 1,
                                                     sizeof(D3DXVECTOR3)));
  lists.normals = static_cast<D3DXVECTOR3*>(calloc(counts.normalCount != 0 ? counts.normalCount : 1,
                                                   sizeof(D3DXVECTOR3)));
  lists.texcoords = static_cast<D3DXVECTOR2*>(calloc(counts.texcoordCount != 0 ? counts.texcoordCount : 1,
                                                     sizeof(D3DXVECTOR2)));
  if (lists.positions == NULL || lists.normals == NULL || lists.texcoords == NULL) {
    FreeObjVertexLists(lists);
    return false;
  }
  VertexLists out = FixedLists(lists, counts);
  ReadVertexStatements(text, size, 0, out);
  return true;
}

}  // namespace

VertexCounts CountedVertices(const ObjCounts& counts) {
  VertexCounts sizes;
  sizes.positionCount = counts.positionCount;
  sizes.normalCount = counts.normalCount;
  sizes.texcoordCount = counts.texcoordCount;
  return sizes;
}

void ReadObjVertexData(const char* text, size_t size, const ObjCounts& counts, ObjVertexLists& lists) {
  if (counts.firstVertexToken >= size) return;
  // Up to the first vertex statement the data pass reads only tokens, as the counting pass did.
  VertexCounts sizes;
  sizes.positionCount = lists.positionCount;
  sizes.normalCount = lists.normalCount;
  sizes.texcoordCount = lists.texcoordCount;
  VertexLists out = FixedLists(lists, sizes);
  ReadVertexStatements(text, size, counts.firstVertexToken, out);
}

VertexDataJob* StartVertexData(const char* text, size_t size) {
  VertexDataJob* job = new (std::nothrow) VertexDataJob;
  if (job == NULL) return NULL;
  job->text = text;
  job->size = size;
  job->lists = ObjVertexLists();
  job->filled = VertexCounts();
  job->failed = false;
  job->limitsGiven.store(false, std::memory_order_relaxed);
  job->running.store(true, std::memory_order_relaxed);
  job->thread = CreateThread(NULL, 0, RunJobOnThread, job, 0, NULL);
  if (job->thread == NULL) job->running.store(false, std::memory_order_relaxed);
  return job;
}

void HandOverCounts(VertexDataJob* job, const VertexCounts& counts) {
  if (job == NULL || job->limitsGiven.load(std::memory_order_relaxed)) return;
  job->limits = counts;
  job->limitsGiven.store(true, std::memory_order_release);
}

bool VertexDataRunning(const VertexDataJob* job) {
  return job != NULL && job->running.load(std::memory_order_acquire);
}

bool FinishVertexData(VertexDataJob* job, const char* text, size_t size, const VertexCounts& counts,
                      ObjVertexLists& lists) {
  lists = ObjVertexLists();
  bool finished = job != NULL;
  if (finished) {
    HandOverCounts(job, counts);
    if (job->thread != NULL) {
      WaitForSingleObject(job->thread, INFINITE);
      CloseHandle(job->thread);
    } else {
      RunJob(*job);
    }
    lists = job->lists;
    const VertexCounts& filled = job->filled;
    finished = !job->failed && Fit(lists.positions, lists.positionCount, filled.positionCount, counts.positionCount) &&
               Fit(lists.normals, lists.normalCount, filled.normalCount, counts.normalCount) &&
               Fit(lists.texcoords, lists.texcoordCount, filled.texcoordCount, counts.texcoordCount);
    delete job;
  }
  if (finished) return true;
  // No job, or one that ran out of memory.
  FreeObjVertexLists(lists);
  return ReadIntoCountedLists(text, size, counts, lists);
}

void CancelVertexData(VertexDataJob* job) {
  ObjVertexLists lists;
  if (FinishVertexData(job, "", 0, VertexCounts(), lists)) FreeObjVertexLists(lists);
}

void FreeObjVertexLists(ObjVertexLists& lists) {
  free(lists.positions);
  free(lists.normals);
  free(lists.texcoords);
  lists = ObjVertexLists();
}
