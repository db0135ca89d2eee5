// The option table against what documents it: the man page's synopsis and
// options, the command-line guide's synopsis, and each action's synopsis
// against the options the parser lets it take.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "inspect/cli/OptionTable.h"
#include "tests/inspect/DocumentedOptions.h"

using namespace marrowix::inspect;

namespace {

// A roff argument list: words, or quoted strings, escapes made plain.
std::vector<std::string> RoffArguments(const std::string& line) {
    std::vector<std::string> args;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            const char e = line[++i];
            if (e == '-') {
                word += '-';
            } else if (e == 'f') {
                ++i;  // a font change
            } else if (e == '(' && line.compare(i + 1, 2, "dq") == 0) {
                word += '"';
                i += 2;
            } else if (e != '&') {
                word += e;
            }
            inWord = true;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord) {
                args.push_back(word);
            }
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        args.push_back(word);
    }
    return args;
}

// A roff line as text: a font macro's arguments joined by spaces, an
// alternating one's run together.
std::string RoffText(const std::string& line) {
    if (line.empty() || line[0] != '.') {
        const std::vector<std::string> words = RoffArguments(line);
        std::string text;
        for (const std::string& w : words) {
            text += (text.empty() ? "" : " ") + w;
        }
        return text;
    }
    const std::string macro = line.substr(1, line.find(' ') - 1);
    const std::vector<std::string> args =
        RoffArguments(line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1));
    std::string text;
    for (const std::string& a : args) {
        text += (macro.size() == 1 && !text.empty() ? " " : "") + a;
    }
    return text;
}

// The lines of section `name`, up to the next one.
std::vector<std::string> Section(const std::string& page, const std::string& name) {
    std::istringstream in(page);
    std::vector<std::string> lines;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(".SH", 0) == 0) {
            inside = line == ".SH " + name;
        } else if (inside) {
            lines.push_back(line);
        }
    }
    return lines;
}

// The usage's lines without "usage: " and the indent.
std::vector<std::string> UsageLines() {
    std::istringstream in(UsageText());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        const std::size_t start = line.rfind("usage: ", 0) == 0 ? 7 : line.find_first_not_of(' ');
        lines.push_back(line.substr(start));
    }
    return lines;
}

// The options a synopsis names ("[--depth" → "--depth").
std::set<std::string> OptionsNamed(const std::string& synopsis) {
    std::set<std::string> names;
    std::istringstream in(synopsis);
    for (std::string word; in >> word;) {
        word.erase(0, word.find_first_not_of('['));
        word.erase(std::min(word.find(']'), word.size()));
        if (word.rfind("--", 0) == 0 && word.size() > 2) {
            names.insert(word);
        }
    }
    return names;
}

TEST(OptionTable, TheDocumentsShowTheTablesSynopsisAndEveryOption) {
    // The man page's synopsis, line by line.
    std::vector<std::string> synopsis(1);
    for (const std::string& line : Section(kInspectManPage, "SYNOPSIS")) {
        if (line == ".br" || line == ".PP") {
            synopsis.emplace_back();
        } else if (const std::string text = RoffText(line); !text.empty()) {
            synopsis.back() += (synopsis.back().empty() ? "" : " ") + text;
        }
    }
    EXPECT_EQ(synopsis, UsageLines());

    // The guide's synopsis: the indented block under its title.
    std::istringstream guide(kCommandLineGuide);
    std::vector<std::string> shown;
    for (std::string line; std::getline(guide, line) && (shown.empty() || !line.empty());) {
        if (line.rfind("    ", 0) == 0) {
            shown.push_back(line.substr(4));
        }
    }
    std::vector<std::string> usage = UsageLines();
    EXPECT_EQ(shown, usage);

    // The man page's options are the table's.
    std::set<std::string> documented;
    const std::vector<std::string> options = Section(kInspectManPage, "OPTIONS");
    for (std::size_t i = 0; i + 1 < options.size(); ++i) {
        if (options[i] == ".TP") {
            const std::string head = RoffText(options[i + 1]);
            const std::string name = head.substr(0, head.find_first_of(" ["));
            if (name.rfind("--", 0) == 0) {
                documented.insert(name);
            }
        }
    }
    std::set<std::string> table;
    for (const OptionSpec& o : OptionTable()) {
        table.insert(std::string(o.name));
    }
    EXPECT_EQ(documented, table);
}

TEST(OptionTable, EachSynopsisNamesTheOptionsItsActionTakes) {
    const std::set<std::string> repack = OptionsNamed(std::string(kRepackSynopsis));
    for (const ActionSpec& a : ActionTable()) {
        std::set<std::string> named = OptionsNamed(std::string(a.synopsis));
        if (a.synopsis.find("[REPACK OPTIONS]") != std::string_view::npos) {
            named.insert(repack.begin(), repack.end());
        }
        for (const OptionSpec& o : OptionTable()) {
            const bool allowed = o.goesWith == kAnyAction || (o.goesWith & Of(a.action)) != 0;
            const bool shown = named.count(std::string(o.name)) != 0;
            EXPECT_TRUE(allowed || !shown) << a.synopsis << " shows " << o.name;
            EXPECT_TRUE(o.goesWith == kAnyAction || !allowed || shown)
                << a.synopsis << " leaves out " << o.name;
        }
    }
}

}  // namespace
