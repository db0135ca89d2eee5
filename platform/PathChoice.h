// Choosing among the ways of doing one job that the processor has (the
// scalar reference and vector paths): the one an environment variable
// names, or else the fastest on a short trial of each, once a process. The
// widest path is not always the fastest: on some processors AVX2 runs these
// loops faster than AVX-512.
#pragma once

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace marrowix {

template <class Path>
struct PathChoice {
    Path path{};
    // How it was chosen, for --version --verbose: "named by VARIABLE" or
    // "fastest on a trial of a, b, c".
    std::string how;
    // Not empty when the variable named no path this processor has: what it
    // named and what it could have named.
    std::string complaint;
};

namespace pathchoice {

template <class Path, class Name>
std::string Names(const std::vector<Path>& paths, Name name) {
    std::string names;
    for (const Path p : paths) {
        names += (names.empty() ? "" : ", ") + std::string(name(p));
    }
    return names;
}

}  // namespace pathchoice

// `all` is every path there is, the scalar one first; `available` those this
// processor runs; `wanted` the variable's value (or null). `trial(path)`
// does a few tens of microseconds of typical work on that path; each path is
// tried once to warm it, then timed seven times over, taking its best time.
// The scalar path is tried only where it is the only one: it is the
// reference, never the fast one.
template <class Path, class Name, class Trial>
PathChoice<Path> ChoosePath(std::string_view variable, const char* wanted,
                            const std::vector<Path>& all, const std::vector<Path>& available,
                            Name name, Trial trial) {
    PathChoice<Path> choice;
    if (wanted != nullptr && *wanted != '\0') {
        for (const Path p : available) {
            if (std::string_view(wanted) == name(p)) {
                choice.path = p;
                choice.how = "named by " + std::string(variable);
                return choice;
            }
        }
        const bool known = std::any_of(all.begin(), all.end(),
                                       [&](Path p) { return std::string_view(wanted) == name(p); });
        choice.complaint =
            std::string(variable) + "=" + wanted +
            (known ? " is a path this processor cannot run"
                   : " is not a path (the paths are " + pathchoice::Names(all, name) + ")") +
            "; this processor runs " + pathchoice::Names(available, name) +
            ", and the fastest of them is taken";
    }
    std::vector<Path> tried(available.begin() + (available.size() > 1 ? 1 : 0), available.end());
    if (tried.size() == 1) {
        choice.path = tried.front();
        choice.how = "the only path here";
        return choice;
    }
    std::vector<std::chrono::steady_clock::duration> best(
        tried.size(), std::chrono::steady_clock::duration::max());
    for (const Path p : tried) {
        trial(p);
    }
    // Rounds over every path in turn, so that a moment of other work on the
    // machine falls on one round rather than one path.
    for (int round = 0; round < 7; ++round) {
        for (std::size_t i = 0; i < tried.size(); ++i) {
            const auto start = std::chrono::steady_clock::now();
            trial(tried[i]);
            best[i] = std::min(best[i], std::chrono::steady_clock::now() - start);
        }
    }
    choice.path =
        tried[static_cast<std::size_t>(std::min_element(best.begin(), best.end()) - best.begin())];
    choice.how = "fastest on a trial of " + pathchoice::Names(tried, name);
    return choice;
}

}  // namespace marrowix
