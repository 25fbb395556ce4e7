#include "app/settings/KeyTable.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

// Key, NUL, value, NUL. memmove: a value put again may be the one already in `text`.
void fillText(char* text, const char* key, size_t keyLength, const char* value,
              size_t valueLength) {
    std::memmove(text, key, keyLength);
    text[keyLength] = '\0';
    std::memmove(text + keyLength + 1, value, valueLength);
    text[keyLength + 1 + valueLength] = '\0';
}

} // namespace

int32_t KeyTable::Put(const char* line) {
    const size_t length = std::strlen(line);
    char shortCopy[256];
    std::unique_ptr<char[]> longCopy;
    char* copy = shortCopy;
    if (length >= sizeof shortCopy) {
        longCopy.reset(new (std::nothrow) char[length + 1]);
        if (!longCopy) {
            return kNoMemory;
        }
        copy = longCopy.get();
    }
    std::memcpy(copy, line, length + 1);
    return PutEditable(copy, length);
}

int32_t KeyTable::PutEditable(char* line, size_t length) {
    const char* end = line + length;
    const char* equals = static_cast<const char*>(std::memchr(line, '=', length));
    if (equals == nullptr) {
        return kNoValue;
    }
    const char* value = equals + 1;
    while (value < end && isBlank(*value)) {
        ++value;
    }
    if (value == end) {
        return kNoValue;
    }
    char* keyEnd = line;
    for (; keyEnd < equals && !isBlank(*keyEnd); ++keyEnd) {
        if (*keyEnd >= 'a' && *keyEnd <= 'z') {
            *keyEnd = static_cast<char>(*keyEnd - 'a' + 'A');
        }
    }
    return Store(line, static_cast<size_t>(keyEnd - line), value, static_cast<size_t>(end - value));
}

int32_t KeyTable::PutValue(const char* key, const char* value) {
    if (*value == '\0') {
        return kNoValue;
    }
    return Store(key, std::strlen(key), value, std::strlen(value));
}

int32_t KeyTable::Store(const char* key, size_t keyLength, const char* value, size_t valueLength) {
    const uint32_t hash = Hash(key, keyLength);
    const uint32_t slot = SlotOf(key, keyLength, hash);
    int32_t index = slots[slot] - 1;
    if (index < 0 && count >= kMaxEntries) {
        return 0;
    }
    Entry& entry = entries[index < 0 ? count : index];
    const size_t size = keyLength + valueLength + 2;
    char* text = entry.inlineText;
    if (size > kInlineText && size > entry.heapSize) {
        std::unique_ptr<char[]> block(new (std::nothrow) char[size]);
        if (!block) {
            return kNoMemory;
        }
        // Filled before the old block goes: the value may still be in it.
        fillText(block.get(), key, keyLength, value, valueLength);
        entry.heapText = std::move(block);
        entry.heapSize = size;
        text = entry.heapText.get();
    } else {
        text = size > kInlineText ? entry.heapText.get() : entry.inlineText;
        fillText(text, key, keyLength, value, valueLength);
    }
    entry.text = text;
    entry.keyLength = keyLength;
    entry.valueLength = valueLength;
    if (index < 0) {
        index = count++;
        hashes[index] = hash;
        slots[slot] = static_cast<uint16_t>(index + 1);
    }
    return 0;
}

// Eight bytes a step: keys are as long as a file line, and hashing them byte by byte
// showed in every load.
uint32_t KeyTable::Hash(const char* key, size_t length) {
    const uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    uint64_t hash = length * kMultiplier;
    for (size_t done = 0; done < length; done += 8) {
        uint64_t word = 0;
        std::memcpy(&word, key + done, length - done < 8 ? length - done : 8);
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 29;
    }
    return static_cast<uint32_t>(hash >> 32);
}

// Half the slots at most are used, so the probe always ends at a free slot.
uint32_t KeyTable::SlotOf(const char* key, size_t length, uint32_t hash) const {
    uint32_t slot = hash % kSlots;
    for (; slots[slot] != 0; slot = (slot + 1) % kSlots) {
        const Entry& entry = entries[slots[slot] - 1];
        if (hashes[slots[slot] - 1] == hash && entry.keyLength == length &&
            std::memcmp(entry.text, key, length) == 0) {
            break;
        }
    }
    return slot;
}

int32_t KeyTable::IndexOf(const char* key) const {
    const size_t length = std::strlen(key);
    return slots[SlotOf(key, length, Hash(key, length))] - 1;
}

const char* KeyTable::Find(const char* key) const {
    const int32_t index = IndexOf(key);
    return index >= 0 ? entries[index].Value() : nullptr;
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
