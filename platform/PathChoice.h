// Choosing among the ways of doing one job that the processor has (the
// scalar reference and vector paths): the one an environment variable
// names, or else the fastest on a short trial of each, once a process. The
// widest path is not always the fastest: on some processors AVX2 runs these
// loops faster than AVX-512.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
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

// One job's paths in a process: those the processor runs, the one taken
// (chosen by ChoosePath at first use, from the environment variable and a
// trial, and a complaint about the variable told on stderr), and forcing
// another.
template <class Path>
class PathSetting {
public:
    using Name = const char* (*)(Path);

    PathSetting(const char* variable, std::vector<Path> all, bool (*supported)(Path), Name name,
                void (*trial)(Path))
        : m_variable(variable),
          m_all(std::move(all)),
          m_supported(supported),
          m_name(name),
          m_trial(trial) {}

    // The scalar path first.
    std::vector<Path> Available() const {
        std::vector<Path> paths;
        std::copy_if(m_all.begin(), m_all.end(), std::back_inserter(paths), m_supported);
        return paths;
    }

    Path Active() { return Current().load(std::memory_order_relaxed); }

    // False, and nothing changed, for a path the processor cannot run.
    bool Force(Path path) {
        if (!m_supported(path)) {
            return false;
        }
        Current().store(path, std::memory_order_relaxed);
        return true;
    }

    // "avx2 (fastest on a trial of sse4.1, avx2, avx512)".
    std::string Describe() {
        const Path active = Active();
        return std::string(m_name(active)) + " (" +
               (active == m_choice.path ? m_choice.how : std::string("forced")) + ")";
    }

private:
    std::atomic<Path>& Current() {
        std::call_once(m_chosen, [this] {
            m_choice = ChoosePath<Path>(m_variable, std::getenv(m_variable), m_all, Available(),
                                        m_name, m_trial);
            if (!m_choice.complaint.empty()) {
                std::fprintf(stderr, "%s\n", m_choice.complaint.c_str());
            }
            m_active.store(m_choice.path, std::memory_order_relaxed);
        });
        return m_active;
    }

    const char* m_variable;
    std::vector<Path> m_all;
    bool (*m_supported)(Path);
    Name m_name;
    void (*m_trial)(Path);
    std::once_flag m_chosen;
    PathChoice<Path> m_choice;
    std::atomic<Path> m_active{};
};

}  // namespace marrowix
