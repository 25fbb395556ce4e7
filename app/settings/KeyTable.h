#pragma once
// The settings key table: up to 256 KEY=VALUE entries in insertion order. Keys are kept in
// upper case, so lookups with the program's own upper-case keys find keys written in any
// case. Keys the program does not know stay in the table so that they survive a save.

#include <cstdint>
#include <memory>

class KeyTable {
public:
    static constexpr int32_t kMaxEntries = 256;

    // Put results.
    static constexpr int32_t kNoMemory = -1;
    static constexpr int32_t kNoValue = -2;

    KeyTable() = default;
    KeyTable(const KeyTable&) = delete;
    KeyTable& operator=(const KeyTable&) = delete;

    // Puts a line of the form KEY = VALUE: the key ends at the first blank or at the first
    // "=", the value starts at the first non-blank after that "=" and runs to the end of the
    // line. An existing key gets the new value in place; a new key is appended while there
    // is room and dropped otherwise. Returns 0, kNoMemory or kNoValue (no "=" or no value).
    int32_t Put(const char* line);
    // Puts `value` under `key` as Put of "KEY = VALUE" would, for a key in upper case
    // without blanks or "=" and a value without leading blanks: the program's own keys,
    // put on every load and save, need no parse.
    int32_t PutValue(const char* key, const char* value);

    // Value of `key` (compared exactly), or null.
    const char* Find(const char* key) const;
    // strtol with automatic base, kept within 32 bits; `fallback` when the key is absent.
    int32_t GetInteger(const char* key, int32_t fallback) const;
    // strtod; `fallback` when the key is absent.
    double GetDouble(const char* key, double fallback) const;

    int32_t Count() const { return count; }
    const char* KeyAt(int32_t index) const { return entries[index].key; }
    const char* ValueAt(int32_t index) const { return entries[index].value; }

private:
    // Lines up to this length (the program's own keys among them) are kept in the entry
    // itself: a load and a save put every program key, one heap block each otherwise.
    static constexpr size_t kInlineLine = 47;

    // The line is kept in `inlineLine` when short, else in one heap copy; key and value
    // point into it.
    struct Entry {
        char inlineLine[kInlineLine + 1];
        std::unique_ptr<char[]> line;
        const char* key = nullptr;
        const char* value = nullptr;
    };

    // An open-addressing index over the entries (entry number + 1, 0 for a free slot), so a
    // lookup compares about one key instead of every key before it: loading puts and takes
    // each program key, which made the linear search quadratic.
    static constexpr uint32_t kSlots = 2 * kMaxEntries;
    static uint32_t Hash(const char* key);
    // Keeps `text` (its `size` bytes hold key and value, which point into it) as the
    // entry of its key: taking `heap` when that is where it is, else copying it in.
    int32_t Store(char* text, size_t size, std::unique_ptr<char[]> heap, const char* key,
                  const char* value);
    // Slot of `key`, or the free slot where it would go.
    uint32_t SlotOf(const char* key, uint32_t hash) const;
    int32_t IndexOf(const char* key) const;

    Entry entries[kMaxEntries];
    uint32_t hashes[kMaxEntries] = {};
    uint16_t slots[kSlots] = {};
    int32_t count = 0;
};
