#pragma once
// The settings key table: up to 256 KEY=VALUE entries in insertion order. Keys are kept in
// upper case, so lookups with the program's own upper-case keys find keys written in any
// case. Keys the program does not know stay in the table so that they survive a save.

#include <cstddef>
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
    // Put of the `length` bytes at `line` (no NUL among them), which the table may change
    // while it parses them: the loader's own copy of a file line needs no second copy.
    int32_t PutEditable(char* line, size_t length);
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
    const char* KeyAt(int32_t index) const { return entries[index].text; }
    const char* ValueAt(int32_t index) const { return entries[index].Value(); }
    size_t KeyLengthAt(int32_t index) const { return entries[index].keyLength; }
    size_t ValueLengthAt(int32_t index) const { return entries[index].valueLength; }

private:
    // Entries up to this size, key and value with their NULs (the program's own keys among
    // them), are kept in the entry itself: a load and a save put every program key.
    static constexpr size_t kInlineText = 48;

    // `text` holds the key, a NUL, the value and a NUL: in `inlineText`, or in `heapText`
    // when longer. A heap block is kept for the entry's next long value.
    struct Entry {
        char inlineText[kInlineText];
        std::unique_ptr<char[]> heapText;
        size_t heapSize = 0;
        const char* text = nullptr;
        size_t keyLength = 0;
        size_t valueLength = 0;
        const char* Value() const { return text + keyLength + 1; }
    };

    // An open-addressing index over the entries (entry number + 1, 0 for a free slot), so a
    // lookup compares about one key instead of every key before it: loading puts and takes
    // each program key, which made the linear search quadratic.
    static constexpr uint32_t kSlots = 2 * kMaxEntries;
    static uint32_t Hash(const char* key, size_t length);
    // Keeps key and value (which may point into the table) as the entry of the key.
    int32_t Store(const char* key, size_t keyLength, const char* value, size_t valueLength);
    // Slot of `key`, or the free slot where it would go.
    uint32_t SlotOf(const char* key, size_t length, uint32_t hash) const;
    int32_t IndexOf(const char* key) const;

    Entry entries[kMaxEntries];
    uint32_t hashes[kMaxEntries] = {};
    uint16_t slots[kSlots] = {};
    int32_t count = 0;
};
