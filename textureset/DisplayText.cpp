#include "textureset/DisplayText.h"

#include "textureset/TextureSet.h"

namespace marrowix {
namespace {

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void AppendHex(std::string& out, const char* prefix, unsigned value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += prefix;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out += kDigits[(value >> shift) & 15];
    }
}

bool IsHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

void AppendEscaped(std::string& out, std::u16string_view text, bool json) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool paired = IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1]);
        if (json && (c == u'"' || c == u'\\')) {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == u'\n') {
            out += "\\n";
        } else if (c == u'\r') {
            out += "\\r";
        } else if (c == u'\t') {
            out += "\\t";
        } else if (IsControl(c)) {
            AppendHex(out, json ? "\\u" : "\\x", c, json ? 4 : 2);
        } else if (json && (IsHigh(c) || IsLow(c)) && !paired) {
            AppendHex(out, "\\u", c, 4);
        } else {
            // One character (a pair where it is one): short enough that its
            // conversion needs no memory of its own.
            out += ToUtf8(text.substr(i, paired ? 2 : 1));
            i += paired ? 1 : 0;
        }
    }
}

void AppendEscapedBytes(std::string& out, std::string_view bytes, bool json) {
    std::size_t run = 0;  // the start of the bytes that stand as they are
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x20 && b < 0x7F && !(json && (b == '"' || b == '\\'))) {
            continue;
        }
        out.append(bytes.data() + run, i - run);
        run = i + 1;
        if (b >= 0xA0) {
            // U+00A0-U+00FF in UTF-8.
            out += static_cast<char>(0xC0 | b >> 6);
            out += static_cast<char>(0x80 | (b & 63));
        } else {
            const char16_t unit = b;
            AppendEscaped(out, std::u16string_view(&unit, 1), json);
        }
    }
    out.append(bytes.data() + run, bytes.size() - run);
}

std::string DisplayName(std::u16string_view name) {
    std::string out;
    AppendEscaped(out, name, false);
    return out;
}

std::string JsonString(std::u16string_view text) {
    std::string out = "\"";
    AppendEscaped(out, text, true);
    out += '"';
    return out;
}

std::string DisplayPath(std::string_view bytes) {
    const std::u16string path = FromNativePath(bytes);
    std::string out;
    std::size_t start = 0;
    // Bytes that are not UTF-8 came through as U+DC80-U+DCFF, never as the
    // second half of a pair.
    for (std::size_t i = 0; i <= path.size(); ++i) {
        const bool byte = i < path.size() && path[i] >= 0xDC80 && path[i] <= 0xDCFF &&
                          !(i > 0 && IsHigh(path[i - 1]));
        if (i == path.size() || byte) {
            AppendEscaped(out, std::u16string_view(path).substr(start, i - start), false);
            if (i < path.size()) {
                AppendHex(out, "\\x", path[i] - 0xDC00, 2);
            }
            start = i + 1;
        }
    }
    return out;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = text[text.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != suffix[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace marrowix
