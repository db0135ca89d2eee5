// The command line to a typed command: each option read by its row of the
// option table, then the combination checked, rule by rule in a fixed
// order, so that the first thing wrong is the one reported.
#include <algorithm>
#include <initializer_list>

#include "inspect/cli/Collected.h"
#include "inspect/cli/OptionTable.h"

namespace marrowix::inspect {
namespace {

std::size_t RowOf(std::string_view name) {
    const auto options = OptionTable();
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (options[i].name == name) {
            return i;
        }
    }
    return options.size();
}

bool Seen(const Collected& c, std::string_view name) {
    return (c.seen >> RowOf(name)) & 1;
}

// The options of the actions in `actions`, in the table's order.
std::vector<std::string_view> OptionsOf(Actions actions) {
    std::vector<std::string_view> names;
    for (const ActionSpec& a : ActionTable()) {
        if ((actions & Of(a.action)) != 0 && !a.option.empty()) {
            names.push_back(a.option);
        }
    }
    return names;
}

// "--all goes only with --compare-with" when an option of `group` (which
// share the actions they go with) was given for an action they do not.
std::string GoesOnlyWith(const Collected& c, Action action,
                         std::initializer_list<std::string_view> group) {
    const OptionSpec& first = OptionTable()[RowOf(*group.begin())];
    const bool given =
        std::any_of(group.begin(), group.end(), [&](std::string_view n) { return Seen(c, n); });
    if (!given || (first.goesWith & Of(action)) != 0) {
        return {};
    }
    const std::string with = first.goesWithText.empty() ? JoinWords(OptionsOf(first.goesWith))
                                                        : std::string(first.goesWithText);
    return JoinWords({group.begin(), group.size()}) + (group.size() == 1 ? " goes" : " go") +
           " only with " + with;
}

// The combination's first fault, or "".
std::string CheckCombination(const Collected& collected) {
    const Action action = collected.action.value_or(Action::kList);
    const bool isRepack = (Of(action) & kRepackActions) != 0;
    const bool isBmp = EndsWithNoCase(collected.output, ".bmp");
    using Rule = std::string (*)(const Collected&, Action, bool repack, bool bmp);
    static constexpr Rule kRules[] = {
        [](const Collected& c, Action a, bool, bool) -> std::string {
            if (a == Action::kPack && c.haveListing) {
                return "--pack makes a set: it takes no listing";
            }
            return !c.haveListing && a != Action::kPack ? "no listing given" : "";
        },
        [](const Collected& c, Action, bool, bool) -> std::string {
            return c.actions > 1 ? JoinWords(OptionsOf(~Actions{0})) + " cannot be combined" : "";
        },
        [](const Collected& c, Action, bool repack, bool) -> std::string {
            return repack != !c.outputSet.empty()
                       ? JoinWords(OptionsOf(kRepackActions)) + " go with --output-set"
                       : "";
        },
        [](const Collected& c, Action a, bool, bool) {
            return GoesOnlyWith(c, a, {"--quality", "--dither", "--overwrite"});
        },
        [](const Collected& c, Action a, bool, bool) { return GoesOnlyWith(c, a, {"--all"}); },
        [](const Collected& c, Action a, bool, bool) {
            return GoesOnlyWith(c, a, {"--fail-below"});
        },
        [](const Collected& c, Action a, bool, bool) {
            return GoesOnlyWith(c, a,
                                {"--category", "--size", "--columns", "--background", "--labels"});
        },
        [](const Collected& c, Action a, bool, bool) -> std::string {
            return a == Action::kContactSheet && !EndsWithNoCase(c.output, ".png")
                       ? "--contact-sheet writes a PNG file: its name must end in .png"
                       : "";
        },
        [](const Collected& c, Action a, bool, bool) -> std::string {
            return (a == Action::kExport) != Seen(c, "--output")
                       ? "--export and --output go together"
                       : "";
        },
        [](const Collected& c, Action a, bool, bool) { return GoesOnlyWith(c, a, {"--json"}); },
        [](const Collected& c, Action a, bool, bool) { return GoesOnlyWith(c, a, {"--format"}); },
        [](const Collected& c, Action a, bool, bool) -> std::string {
            return a == Action::kExportAll && c.directory.empty() ? "--export-all needs a folder"
                                                                  : "";
        },
        [](const Collected& c, Action, bool, bool bmp) -> std::string {
            return Seen(c, "--output") && !bmp && !EndsWithNoCase(c.output, ".png") &&
                           !EndsWithNoCase(c.output, ".dds")
                       ? "--output must name a .bmp, .png or .dds file"
                       : "";
        },
        [](const Collected& c, Action a, bool, bool) { return GoesOnlyWith(c, a, {"--depth"}); },
        [](const Collected& c, Action a, bool, bool bmp) -> std::string {
            return c.precision == Precision::kFull &&
                           (bmp || (a == Action::kExportAll && c.format == ImageFormat::kBmp))
                       ? "--depth 8 needs PNG images: a BMP file holds the preview block, 4 "
                         "bits a channel"
                       : "";
        },
        [](const Collected& c, Action a, bool, bool) -> std::string {
            return c.precision == Precision::kFull &&
                           ((a == Action::kExport && EndsWithNoCase(c.output, ".dds")) ||
                            (a == Action::kExportAll && c.format == ImageFormat::kDds))
                       ? "--depth 8 needs PNG images: a DDS file holds the texture's own blocks "
                         "or texels"
                       : "";
        },
    };
    for (Rule rule : kRules) {
        if (std::string error = rule(collected, action, isRepack, isBmp); !error.empty()) {
            return error;
        }
    }
    return {};
}

Command MakeCommand(Collected& c) {
    const SetArgument set{c.listing, c.mode, c.modeGiven};
    const RepackArguments repack{c.outputSet, c.quality,   c.dither,
                                 c.failBelow, c.overwrite, c.json};
    switch (c.action.value_or(Action::kList)) {
        case Action::kList:
            return ListCommand{set, c.json};
        case Action::kExport:
            return ExportCommand{set, c.index, c.output,
                                 EndsWithNoCase(c.output, ".png")   ? ImageFormat::kPng
                                 : EndsWithNoCase(c.output, ".dds") ? ImageFormat::kDds
                                                                    : ImageFormat::kBmp,
                                 c.precision};
        case Action::kTexel:
            return TexelCommand{set, c.index, c.x, c.y};
        case Action::kCheck:
            return CheckCommand{set, c.json};
        case Action::kStats:
            return StatsCommand{set, c.indexGiven ? std::optional(c.index) : std::nullopt,
                                c.precision, c.json};
        case Action::kExportAll:
            return ExportAllCommand{set, c.directory, c.format, c.precision};
        case Action::kContactSheet:
            return ContactSheetCommand{set, c.output, c.category, c.size, c.columns, c.style};
        case Action::kCompare:
            return CompareCommand{c.listing, c.failBelow, c.json};
        case Action::kCompareWith:
            return CompareWithCommand{set, c.other, c.all, c.json};
        case Action::kReplace:
            return ReplaceCommand{set, std::move(c.replacements), repack};
        case Action::kReplaceFrom:
            return ReplaceFromCommand{set, c.source, repack};
        case Action::kPack:
            return PackCommand{c.source, c.modeGiven ? std::optional(c.mode) : std::nullopt,
                               repack};
    }
    return ListCommand{set, c.json};
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
    ParsedArguments parsed;
    Collected c;
    const auto options = OptionTable();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const std::size_t row = RowOf(a == "-h" ? "--help" : a);
        if (row < options.size()) {
            Cursor cursor{args, i, a};
            parsed.error = options[row].parse(cursor, c);
            if (!parsed.error.empty()) {
                return parsed;
            }
            i = cursor.i;
            c.seen |= std::uint64_t{1} << row;
            if (c.help || c.version) {
                parsed.help = c.help;
                parsed.version = c.version;
                parsed.verbose =
                    c.version && std::find(args.begin(), args.end(), "--verbose") != args.end();
                return parsed;
            }
            continue;
        }
        if (a.size() > 1 && a[0] == '-' && a != "--") {
            parsed.error = "unknown option '" + a + "'";
            return parsed;
        }
        if (a == "--") {
            if (i + 1 >= args.size()) {
                break;
            }
            ++i;
        }
        if (c.haveListing) {
            parsed.error = "more than one listing given";
            return parsed;
        }
        c.listing = args[i];
        c.haveListing = true;
    }
    parsed.error = CheckCombination(c);
    if (parsed.error.empty()) {
        parsed.command = MakeCommand(c);
    }
    return parsed;
}

}  // namespace marrowix::inspect
