#include "inspect/commands/Repack.h"

#include <chrono>
#include <cstdio>
#include <memory>

#include "compare/Compare.h"
#include "inspect/commands/CommandSupport.h"
#include "inspect/output/JsonWriter.h"

namespace marrowix::inspect {
namespace {

std::string WrittenLine(const std::string& what, const WrittenTexture& w) {
    return what + " (" + ModeWord(w.mode) +
           (w.blocksTaken ? ", its DXT5 blocks taken as they are" : "") +
           (w.note.empty() ? "" : "; " + w.note) + "): " + DescribeMeasures(w.measures);
}

std::string ReportJson(const RepackResult& result, const std::vector<NotWritten>& notWritten) {
    std::string text;
    JsonWriter json(text);
    json.Object().Key("written").Array();
    for (const WrittenTexture& w : result.written) {
        json.Object().Key("index").Number(w.index).Key("mode").Word(ModeWord(w.mode));
        json.Key("source").String(FromNativePath(w.source)).Key("blocksTaken").Bool(w.blocksTaken);
        if (!w.note.empty()) {
            json.Key("note").Utf8(w.note);
        }
        WriteMeasures(json, w.measures);
        json.End();
    }
    json.End();
    // The entries not written, unchanged, refused or not read, each in
    // listing order.
    for (const char* list : {"unchanged", "refused", "notRead"}) {
        json.Key(list).Array();
        for (const NotWritten& n : notWritten) {
            const char* kind = !n.missing.empty()  ? "notRead"
                               : n.refused.empty() ? "unchanged"
                                                   : "refused";
            if (std::string_view(kind) != list) {
                continue;
            }
            json.Object().Key("index").Number(n.index);
            const std::string& why = n.missing.empty() ? n.refused : n.missing;
            if (!why.empty()) {
                json.Key("reason").Utf8(why);
            }
            json.End();
        }
        json.End();
    }
    json.End();
    return text + '\n';
}

}  // namespace

RepackOptions OptionsFor(const RepackArguments& arguments, std::optional<TextureMode> mode,
                         const Io& io) {
    RepackOptions options;
    options.quality = arguments.quality;
    options.dither = arguments.dither;
    options.failBelow = arguments.failBelow;
    options.mode = mode;
    options.overwrite = arguments.overwrite;
    if (io.errIsTerminal) {
        struct Progress {
            std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
            std::uint64_t texels = 0;
        };
        auto progress = std::make_shared<Progress>();
        std::ostream& err = io.err;
        options.progress = [progress, &err](std::size_t done, std::size_t total, std::uint64_t n) {
            progress->texels += n;
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - progress->started)
                    .count();
            char line[96];
            std::snprintf(line, sizeof line, "\r%zu of %zu textures, %.1f megapixels a second",
                          done, total,
                          seconds > 0 ? double(progress->texels) / 1e6 / seconds : 0.0);
            err << line << (done == total ? "\n" : "") << std::flush;
        };
    }
    return options;
}

bool OpenSource(const SetArgument& set, SourceSet* source, Io& io) {
    if (std::string error = OpenSourceSet(set.listing, source); !error.empty()) {
        io.err << kProgram << ": the new set was not written: " << error << '\n';
        return false;
    }
    return true;
}

int Report(const RepackResult& result, const std::vector<NotWritten>& notWritten, const char* verb,
           const std::function<std::string(std::size_t)>& title, bool json, Io& io) {
    if (!result.error.empty()) {
        io.err << kProgram << ": the new set was not written: " << result.error << '\n';
        return 1;
    }
    std::size_t refused = 0;
    for (const NotWritten& n : notWritten) {
        refused += n.refused.empty() ? 0 : 1;
    }
    if (json) {
        io.out << ReportJson(result, notWritten);
    } else {
        std::string text;
        for (const WrittenTexture& w : result.written) {
            text += WrittenLine(verb + title(w.index), w) + "\n";
        }
        for (const NotWritten& n : notWritten) {
            text += (!n.missing.empty()  ? "not read " + title(n.index) + ": " + n.missing
                     : n.refused.empty() ? "unchanged " + title(n.index)
                                         : "refused " + title(n.index) + ": " + n.refused) +
                    "\n";
        }
        io.out << text;
    }
    if (refused > 0) {
        io.err << kProgram << ": " << refused << (refused == 1 ? " image was" : " images were")
               << " refused; the set was written without them\n";
        return 1;
    }
    return 0;
}

}  // namespace marrowix::inspect
