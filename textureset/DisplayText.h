// Names and paths of a set on one line of a terminal or in JSON: control
// characters never reach the output raw.
#pragma once

#include <string>
#include <string_view>

namespace marrowix {

// Appends `text` (UTF-16) as UTF-8 on one line: line ends and tabs as \n,
// \r, \t, other control characters (C0, DEL and C1) as \xNN, or for JSON as
// \uNNNN with quotes, backslashes and unpaired surrogates escaped too. Adds
// at most 6 bytes per unit, so a buffer reserved for that never grows.
void AppendEscaped(std::string& out, std::u16string_view text, bool json);
// The same for a text whose every byte is one unit (a stored name): runs of
// printable ASCII are copied as they stand.
void AppendEscapedBytes(std::string& out, std::string_view bytes, bool json);

// A name on one line of a terminal.
std::string DisplayName(std::u16string_view name);
// A JSON string literal of a UTF-16 text, each unit written as the character
// of that value.
std::string JsonString(std::u16string_view text);
// A native path's bytes on one line of a terminal: valid UTF-8 as it is,
// control characters escaped as in names, and bytes that are not UTF-8 as
// \xNN.
std::string DisplayPath(std::string_view bytes);

// Whether `text` ends in `suffix` (lower case), ASCII letters in either case.
bool EndsWithNoCase(std::string_view text, std::string_view suffix);

}  // namespace marrowix
