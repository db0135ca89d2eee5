// The command-line tool's JSON: compact, keys in the order they are written,
// commas placed by the writer, strings escaped as DisplayText escapes them.
// It appends to a line of a LineWriter (or any string), so a long array can
// be flushed element by element while the writer keeps its place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "inspect/output/LineWriter.h"
#include "textureset/DisplayText.h"
#include "textureset/TextureSet.h"

namespace marrowix::inspect {

class JsonWriter {
public:
    explicit JsonWriter(std::string& text) : m_text(text) {}

    JsonWriter& Object() { return Open('{', '}'); }
    JsonWriter& Array() { return Open('[', ']'); }
    // Closes the innermost object or array.
    JsonWriter& End() {
        m_text += m_closers.back();
        m_closers.pop_back();
        m_empty.pop_back();
        return *this;
    }
    JsonWriter& Key(std::string_view key) {
        Separate();
        m_text += '"';
        m_text += key;
        m_text += "\":";
        m_afterKey = true;
        return *this;
    }

    JsonWriter& Number(std::uint64_t value) {
        Separate();
        AppendNumber(m_text, value);
        return *this;
    }
    JsonWriter& Signed(std::int32_t value) {
        Separate();
        AppendSigned(m_text, value);
        return *this;
    }
    // A number already formatted ("31.25"), or null.
    JsonWriter& Formatted(std::string_view number) {
        Separate();
        m_text += number;
        return *this;
    }
    JsonWriter& Bool(bool value) { return Formatted(value ? "true" : "false"); }
    JsonWriter& String(std::u16string_view text) {
        Separate();
        AppendJsonString(m_text, text);
        return *this;
    }
    // A message or path, UTF-8.
    JsonWriter& Utf8(std::string_view text) { return String(FromUtf8(std::string(text))); }
    // A stored name, each byte one unit.
    JsonWriter& NameBytes(std::string_view bytes) {
        Separate();
        m_text += '"';
        AppendEscapedBytes(m_text, bytes, true);
        m_text += '"';
        return *this;
    }
    // A word written as it stands ("dxt", "pixels-differ").
    JsonWriter& Word(std::string_view word) {
        Separate();
        m_text += '"';
        m_text += word;
        m_text += '"';
        return *this;
    }

private:
    JsonWriter& Open(char opener, char closer) {
        Separate();
        m_text += opener;
        m_closers += closer;
        m_empty += '1';
        return *this;
    }
    // The comma before a value, unless it is the first of its object or
    // array or follows its key.
    void Separate() {
        if (m_afterKey) {
            m_afterKey = false;
            return;
        }
        if (!m_empty.empty()) {
            if (m_empty.back() == '0') {
                m_text += ',';
            }
            m_empty.back() = '0';
        }
    }

    std::string& m_text;
    std::string m_closers;  // of the open objects and arrays, innermost last
    std::string m_empty;    // '1' for each of them that has no member yet
    bool m_afterKey = false;
};

}  // namespace marrowix::inspect
