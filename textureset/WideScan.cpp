#include "textureset/WideScan.h"

namespace marrowix {

bool IsScanSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

namespace {

const char16_t* SkipSpace(const char16_t* s) {
    while (*s != 0 && IsScanSpace(*s)) {
        ++s;
    }
    return s;
}

// %d: returns the position after the number, or null when none is there.
const char16_t* ScanNumber(const char16_t* s, std::int32_t* out) {
    s = SkipSpace(s);
    bool negative = false;
    if (*s == u'+' || *s == u'-') {
        negative = *s == u'-';
        ++s;
    }
    if (*s < u'0' || *s > u'9') {
        return nullptr;
    }
    std::uint32_t value = 0;
    while (*s >= u'0' && *s <= u'9') {
        value = value * 10u + static_cast<std::uint32_t>(*s - u'0');
        ++s;
    }
    if (negative) {
        value = 0u - value;
    }
    *out = static_cast<std::int32_t>(value);
    return s;
}

}  // namespace

bool ScanKeyNumber(const char16_t* text, std::u16string_view key, std::int32_t* number) {
    for (char16_t k : key) {
        if (*text != k) {
            return false;
        }
        ++text;
    }
    return ScanNumber(text, number) != nullptr;
}

int WideScan(const char16_t* text, std::u16string_view pattern, const ScanTarget& target) {
    const char16_t* s = text;
    int stored = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char16_t p = pattern[i];
        if (IsScanSpace(p)) {
            s = SkipSpace(s);
        } else if (p == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u'd') {
            ++i;
            std::int32_t value = 0;
            const char16_t* next = ScanNumber(s, &value);
            if (next == nullptr) {
                return stored;
            }
            if (target.number != nullptr) {
                *target.number = value;
            }
            s = next;
            ++stored;
        } else if (p == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u's') {
            ++i;
            s = SkipSpace(s);
            if (*s == 0) {
                return stored;
            }
            const char16_t* start = s;
            std::size_t n = 0;
            while (*s != 0 && !IsScanSpace(*s)) {
                if (target.text != nullptr && n + 1 < target.capacity) {
                    target.text[n++] = *s;
                }
                ++s;
            }
            if (target.text != nullptr && target.capacity > 0) {
                target.text[n] = 0;
            }
            if (target.textLength != nullptr) {
                *target.textLength = static_cast<std::size_t>(s - start);
            }
            ++stored;
        } else {
            if (*s != p) {
                return stored;
            }
            ++s;
        }
    }
    return stored;
}

}  // namespace marrowix
