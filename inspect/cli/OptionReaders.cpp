#include "inspect/cli/OptionReaders.h"

#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <string_view>

namespace marrowix::inspect {
namespace {

template <class T>
bool ParseNumber(const std::string& text, T max, T* number) {
    if (text.empty() || text.size() > 18) {
        return false;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > max) {
        return false;
    }
    *number = static_cast<T>(value);
    return true;
}

constexpr std::size_t kMaxIndex = std::numeric_limits<std::size_t>::max();
constexpr std::uint32_t kMaxCoordinate = std::numeric_limits<std::uint32_t>::max();

// The option's argument as one of `words`: its position in them, or the
// usage error ("--mode must be dxt or etc, not 'x'") in `error`.
std::size_t ReadWord(Cursor& k, std::initializer_list<std::string_view> words, std::string* error) {
    std::string v;
    if (!k.Next(&v, error)) {
        return words.size();
    }
    std::size_t i = 0;
    for (std::string_view w : words) {
        if (v == w) {
            return i;
        }
        ++i;
    }
    *error = k.name + " must be " + JoinWords({words.begin(), words.size()}, " or ") + ", not '" +
             v + "'";
    return words.size();
}

}  // namespace

std::string Choose(Collected& c, Action action) {
    c.actions += action == Action::kReplace && c.action == Action::kReplace ? 0 : 1;
    c.action = action;
    return {};
}

std::string ReadMode(Cursor& k, Collected& c) {
    std::string error;
    const std::size_t word = ReadWord(k, {"dxt", "etc"}, &error);
    if (error.empty()) {
        c.mode = word == 1 ? kModeEtc : kModeDxt;
        c.modeGiven = true;
    }
    return error;
}

std::string ReadEntry(Cursor& k, Collected& c) {
    std::string v;
    std::string error;
    if (!k.Next(&v, &error)) {
        return error;
    }
    if (!ParseNumber(v, kMaxIndex, &c.index)) {
        return k.name + " takes an entry index, not '" + v + "'";
    }
    const bool texel = k.name == "--texel";
    Choose(c, texel ? Action::kTexel : Action::kExport);
    if (texel) {
        for (std::uint32_t* coordinate : {&c.x, &c.y}) {
            if (!k.Next(&v, &error)) {
                return error;
            }
            if (!ParseNumber(v, kMaxCoordinate, coordinate)) {
                return "--texel takes INDEX X Y, not '" + v + "'";
            }
        }
    }
    return {};
}

std::string ReadStats(Cursor& k, Collected& c) {
    Choose(c, Action::kStats);
    // An entry index when a number comes next and is not the last argument
    // (the listing).
    if (k.i + 2 < k.args.size() && ParseNumber(k.args[k.i + 1], kMaxIndex, &c.index)) {
        c.indexGiven = true;
        ++k.i;
    }
    return {};
}

std::string ReadReplace(Cursor& k, Collected& c) {
    std::string index;
    std::string image;
    std::string error;
    if (!k.Next(&index, &error) || !k.Next(&image, &error)) {
        return error;
    }
    std::size_t n = 0;
    if (!ParseNumber(index, kMaxIndex, &n)) {
        return "--replace takes INDEX IMAGE, not '" + index + "'";
    }
    Choose(c, Action::kReplace);
    c.replacements.emplace_back(n, image);
    return {};
}

std::string ReadQuality(Cursor& k, Collected& c) {
    std::string error;
    const std::size_t word = ReadWord(k, {"fast", "normal", "best"}, &error);
    if (error.empty()) {
        c.quality = word == 0   ? DxtQuality::kFast
                    : word == 2 ? DxtQuality::kBest
                                : DxtQuality::kNormal;
    }
    return error;
}

std::string ReadFailBelow(Cursor& k, Collected& c) {
    std::string v;
    std::string error;
    if (!k.Next(&v, &error)) {
        return error;
    }
    // A plain decimal number: digits, and a fraction after one point.
    const std::size_t point = v.find('.');
    const bool plain = !v.empty() && v.front() != '.' && v.back() != '.' &&
                       v.find_first_not_of("0123456789.") == std::string::npos &&
                       (point == std::string::npos || v.find('.', point + 1) == std::string::npos);
    const double db = plain ? std::strtod(v.c_str(), nullptr) : -1;
    if (!plain || !(db >= 0 && db <= 1000)) {
        return "--fail-below takes decibels from 0 to 1000, not '" + v + "'";
    }
    c.failBelow = db;
    return {};
}

std::string ReadSheetNumber(Cursor& k, Collected& c) {
    std::string v;
    std::string error;
    if (!k.Next(&v, &error)) {
        return error;
    }
    std::size_t n = 0;
    const bool isCategory = k.name == "--category";
    const std::size_t low = isCategory ? 0 : 1;
    const std::size_t high = isCategory ? 65535 : k.name == "--size" ? 1024 : 10000;
    if (!ParseNumber(v, high, &n) || n < low) {
        return k.name + " takes a number from " + std::to_string(low) + " to " +
               std::to_string(high) + ", not '" + v + "'";
    }
    if (isCategory) {
        c.category = n;
    } else {
        (k.name == "--size" ? c.size : c.columns) = static_cast<std::uint32_t>(n);
    }
    return {};
}

std::string ReadBackground(Cursor& k, Collected& c) {
    std::string v;
    std::string error;
    if (!k.Next(&v, &error)) {
        return error;
    }
    const bool colour = v.size() == 7 && v[0] == '#' &&
                        v.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos;
    if (v != "checker" && v != "white" && v != "black" && !colour) {
        return "--background must be checker, white, black or #RRGGBB, not '" + v + "'";
    }
    c.style.checker = v == "checker";
    c.style.background = v == "black" ? 0x000000
                         : colour
                             ? static_cast<std::uint32_t>(std::strtoul(v.c_str() + 1, nullptr, 16))
                             : 0xFFFFFF;
    return {};
}

std::string ReadLabels(Cursor& k, Collected& c) {
    std::string error;
    const std::size_t word = ReadWord(k, {"name", "name,size", "none"}, &error);
    if (error.empty()) {
        c.style.labels = word == 2   ? SheetStyle::Labels::kNone
                         : word == 1 ? SheetStyle::Labels::kNameAndSize
                                     : SheetStyle::Labels::kName;
    }
    return error;
}

std::string ReadFormat(Cursor& k, Collected& c) {
    std::string error;
    const std::size_t word = ReadWord(k, {"png", "bmp", "dds"}, &error);
    if (error.empty()) {
        c.format = word == 2   ? ImageFormat::kDds
                   : word == 1 ? ImageFormat::kBmp
                               : ImageFormat::kPng;
    }
    return error;
}

std::string ReadDepth(Cursor& k, Collected& c) {
    std::string error;
    const std::size_t word = ReadWord(k, {"4", "8"}, &error);
    if (error.empty()) {
        c.precision = word == 1 ? Precision::kFull : Precision::kNibbles;
    }
    return error;
}

}  // namespace marrowix::inspect
