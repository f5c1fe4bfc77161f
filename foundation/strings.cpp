#include "foundation/foundation.h"

#include <cstring>

namespace {

// The largest capacity the bounded routines accept, as the platform's own
// safe-string routines do.
constexpr size_t kMaxCapacity = 2147483647;

}  // namespace

int32_t StrCopy(char* dest, size_t capacity, const char* source)
{
    if (!dest || capacity == 0 || capacity > kMaxCapacity) return VL_E_INVALIDARG;
    if (!source) source = "";
    size_t i = 0;
    while (i + 1 < capacity && source[i] != '\0') {
        dest[i] = source[i];
        ++i;
    }
    dest[i] = '\0';
    return source[i] == '\0' ? 0 : VL_E_CUT;
}

int32_t StrCopySigned(char* dest, int capacity, const char* source)
{
    if (capacity <= 0) return VL_E_INVALIDARG;
    return StrCopy(dest, static_cast<size_t>(capacity), source);
}

int32_t StrLength(const char* text, size_t capacity, size_t* length)
{
    if (length) *length = 0;
    if (!text || capacity == 0 || capacity > kMaxCapacity) return VL_E_INVALIDARG;
    const void* zero = memchr(text, '\0', capacity);
    if (!zero) return VL_E_INVALIDARG;
    if (length) *length = static_cast<size_t>(static_cast<const char*>(zero) - text);
    return 0;
}

int32_t StrAppend(char* dest, size_t capacity, const char* source)
{
    size_t used = 0;
    int32_t rc = StrLength(dest, capacity, &used);
    if (rc != 0) return rc;
    return StrCopy(dest + used, capacity - used, source);
}

int32_t StrFormatV(char* dest, int capacity, const char* format, va_list args)
{
    if (!dest || capacity <= 0) return VL_E_INVALIDARG;
    if (!format) {
        dest[0] = '\0';
        return VL_E_INVALIDARG;
    }
    int n = vsnprintf(dest, static_cast<size_t>(capacity), format, args);
    if (n < 0) {
        // An encoding error leaves no text worth keeping.
        dest[0] = '\0';
        return VL_E_INVALIDARG;
    }
    dest[capacity - 1] = '\0';
    return n >= capacity ? VL_E_CUT : 0;
}

int32_t StrFormat(char* dest, int capacity, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int32_t rc = StrFormatV(dest, capacity, format, args);
    va_end(args);
    return rc;
}
