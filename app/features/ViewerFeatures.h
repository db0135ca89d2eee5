// The features installed into the viewer's window, each with its state and
// its commands.
#pragma once

namespace marrowix {

class Comparison;
class Finding;
class Loading;
class Reloading;
class Replacing;
class SaveAndCopy;
class Selecting;
class Session;
class Statistics;
class Survey;
class Viewing;

struct ViewerFeatures {
    Comparison* comparison = nullptr;  // the other encoding or version: E, S, 7, D, T
    Viewing* viewing = nullptr;        // view modes, zoom, precision and their keys
    Survey* survey = nullptr;          // the thumbnail grid
    Finding* finding = nullptr;        // the find field over the tree
    Selecting* selecting = nullptr;    // the tree's selection and the preview's queue
    Loading* loading = nullptr;        // a set opened and swapped in
    SaveAndCopy* saveAndCopy = nullptr;
    Replacing* replacing = nullptr;    // Replace texture...
    Reloading* reloading = nullptr;    // F5, and reload on change
    Statistics* statistics = nullptr;  // the statistics panel and the levels
    Session* session = nullptr;        // settings and recent sets
};

}  // namespace marrowix
