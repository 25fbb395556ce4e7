#include "app/settings/KeyTable.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const char kBlanks[] = " \r\n\t";

void upperCaseAscii(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'a' && *text <= 'z') {
            *text = static_cast<char>(*text - 'a' + 'A');
        }
    }
}

} // namespace

int32_t KeyTable::Put(const char* line) {
    const size_t length = std::strlen(line);
    char shortCopy[kInlineLine + 1];
    std::unique_ptr<char[]> longCopy;
    char* copy = shortCopy;
    if (length > kInlineLine) {
        longCopy.reset(new (std::nothrow) char[length + 1]);
        if (!longCopy) {
            return kNoMemory;
        }
        copy = longCopy.get();
    }
    std::memcpy(copy, line, length + 1);
    char* equals = std::strchr(copy, '=');
    if (equals == nullptr) {
        return kNoValue;
    }
    *equals = ' ';
    char* value = equals + 1 + std::strspn(equals + 1, kBlanks);
    if (*value == '\0') {
        return kNoValue;
    }
    char* key = copy;
    key[std::strcspn(key, kBlanks)] = '\0'; // at the former "=" at the latest
    upperCaseAscii(key);
    return Store(copy, length + 1, std::move(longCopy), key, value);
}

int32_t KeyTable::PutValue(const char* key, const char* value) {
    if (*value == '\0') {
        return kNoValue;
    }
    const size_t keySize = std::strlen(key) + 1;
    const size_t size = keySize + std::strlen(value) + 1;
    char shortCopy[kInlineLine + 1];
    std::unique_ptr<char[]> longCopy;
    char* copy = shortCopy;
    if (size > sizeof shortCopy) {
        longCopy.reset(new (std::nothrow) char[size]);
        if (!longCopy) {
            return kNoMemory;
        }
        copy = longCopy.get();
    }
    std::memcpy(copy, key, keySize);
    std::memcpy(copy + keySize, value, size - keySize);
    return Store(copy, size, std::move(longCopy), copy, copy + keySize);
}

int32_t KeyTable::Store(char* text, size_t size, std::unique_ptr<char[]> heap, const char* key,
                        const char* value) {
    const uint32_t hash = Hash(key);
    const uint32_t slot = SlotOf(key, hash);
    int32_t index = slots[slot] - 1;
    if (index < 0) {
        if (count >= kMaxEntries) {
            return 0;
        }
        index = count++;
        hashes[index] = hash;
        slots[slot] = static_cast<uint16_t>(index + 1);
    }
    Entry& entry = entries[index];
    char* kept = text;
    if (heap) {
        entry.line = std::move(heap);
    } else {
        kept = entry.inlineLine;
        std::memcpy(kept, text, size);
        entry.line.reset();
    }
    entry.key = kept + (key - text);
    entry.value = kept + (value - text);
    return 0;
}

// FNV-1a.
uint32_t KeyTable::Hash(const char* key) {
    uint32_t hash = 2166136261u;
    for (; *key != '\0'; ++key) {
        hash = (hash ^ static_cast<uint8_t>(*key)) * 16777619u;
    }
    return hash;
}

// Half the slots at most are used, so the probe always ends at a free slot.
uint32_t KeyTable::SlotOf(const char* key, uint32_t hash) const {
    uint32_t slot = hash % kSlots;
    for (; slots[slot] != 0; slot = (slot + 1) % kSlots) {
        const int32_t i = slots[slot] - 1;
        if (hashes[i] == hash && std::strcmp(entries[i].key, key) == 0) {
            break;
        }
    }
    return slot;
}

int32_t KeyTable::IndexOf(const char* key) const {
    return slots[SlotOf(key, Hash(key))] - 1;
}

const char* KeyTable::Find(const char* key) const {
    const int32_t index = IndexOf(key);
    return index >= 0 ? entries[index].value : nullptr;
}

int32_t KeyTable::GetInteger(const char* key, int32_t fallback) const {
    const char* value = Find(key);
    if (value == nullptr) {
        return fallback;
    }
    // long is 64 bits on some hosts: saturate like a 32-bit strtol does.
    const int64_t number = std::strtol(value, nullptr, 0);
    if (number > INT32_MAX) {
        return INT32_MAX;
    }
    if (number < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(number);
}

double KeyTable::GetDouble(const char* key, double fallback) const {
    const char* value = Find(key);
    return value != nullptr ? std::strtod(value, nullptr) : fallback;
}
