// The readers of the option table's rows: each takes its option's
// arguments from the cursor into what the parser collects, and returns the
// usage error, or "".
#pragma once

#include <string>

#include "inspect/cli/Collected.h"

namespace marrowix::inspect {

// Chooses `action` (a repeated --replace counts once).
std::string Choose(Collected& c, Action action);

// An option that only chooses its action.
template <Action kAction>
std::string ChooseAction(Cursor&, Collected& c) {
    return Choose(c, kAction);
}

// An option that chooses its action and takes one argument.
template <Action kAction, std::string Collected::*kField>
std::string ChooseWithArgument(Cursor& k, Collected& c) {
    std::string error;
    return k.Next(&(c.*kField), &error) ? Choose(c, kAction) : error;
}

// An option of one argument, taken as it stands.
template <std::string Collected::*kField>
std::string TakeArgument(Cursor& k, Collected& c) {
    std::string error;
    return k.Next(&(c.*kField), &error) ? std::string() : error;
}

// An option without arguments.
template <bool Collected::*kFlag>
std::string SetFlag(Cursor&, Collected& c) {
    c.*kFlag = true;
    return {};
}

std::string ReadMode(Cursor& k, Collected& c);
std::string ReadEntry(Cursor& k, Collected& c);  // --export INDEX, --texel INDEX X Y
std::string ReadStats(Cursor& k, Collected& c);
std::string ReadReplace(Cursor& k, Collected& c);
std::string ReadQuality(Cursor& k, Collected& c);
std::string ReadFailBelow(Cursor& k, Collected& c);
std::string ReadSheetNumber(Cursor& k, Collected& c);  // --category, --size, --columns
std::string ReadBackground(Cursor& k, Collected& c);
std::string ReadLabels(Cursor& k, Collected& c);
std::string ReadFormat(Cursor& k, Collected& c);
std::string ReadDepth(Cursor& k, Collected& c);

}  // namespace marrowix::inspect
