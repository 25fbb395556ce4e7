/* The compiler may turn structure copies and clears into memcpy and memset calls; the image
 * links no C runtime, so it carries its own. Windows build only. */
#include <stddef.h>

void* memcpy(void* dst, const void* src, size_t n) {
    unsigned char* d = (unsigned char*)dst;
    const unsigned char* s = (const unsigned char*)src;
    while (n-- > 0) {
        *d++ = *s++;
    }
    return dst;
}

void* memset(void* dst, int c, size_t n) {
    unsigned char* d = (unsigned char*)dst;
    while (n-- > 0) {
        *d++ = (unsigned char)c;
    }
    return dst;
}
