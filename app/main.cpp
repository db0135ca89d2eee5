#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/MarrowixApp.h"
#include "platform/ProcessMemory.h"

int main(int argc, char** argv) {
    // The command line is read before any window can open.
    const marrowix::ViewerArguments arguments =
        marrowix::ParseViewerArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (arguments.help) {
        std::fputs(marrowix::ViewerHelp().c_str(), stdout);
        return 0;
    }
    if (arguments.version) {
        std::printf("marrowix %s\n", MARROWIX_VERSION);
        return 0;
    }
    if (!arguments.error.empty()) {
        std::fprintf(stderr, "marrowix: %s\n%s", arguments.error.c_str(),
                     marrowix::ViewerUsage().c_str());
        return 2;
    }

    marrowix::KeepFreedMemoryForReuse();
    QApplication application(argc, argv);
    if (arguments.listing) {
        marrowix::theApp.m_startListing = marrowix::StartListingPath(*arguments.listing);
        marrowix::theApp.m_startMode = arguments.mode;
    }
    return marrowix::theApp.InitInstance() ? 0 : 1;
}
