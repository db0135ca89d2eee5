#include <QApplication>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/MarrowixApp.h"
#include "platform/Console.h"
#include "platform/FileSizeLimit.h"
#include "platform/ProcessMemory.h"
#include "platform/SignalCleanup.h"

namespace {

// The last line of defence: an allocation that fails in an event handler
// drops that event, and the viewer goes on with what it has.
class ViewerApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::bad_alloc&) {
            std::fputs("marrowix: not enough memory to handle an event; going on\n", stderr);
            return false;
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    // The command line is read before any window can open.
    const marrowix::ViewerArguments arguments =
        marrowix::ParseViewerArguments(marrowix::platform::Arguments(argc, argv));
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
    marrowix::LetWritesPastTheFileSizeLimitFail();
    marrowix::RemoveTemporariesOnSignals();
    ViewerApplication application(argc, argv);
    if (arguments.listing) {
        marrowix::theApp.m_startListing = marrowix::StartListingPath(*arguments.listing);
        marrowix::theApp.m_startMode = arguments.mode;
        if (arguments.other) {
            marrowix::theApp.m_compareWith = marrowix::StartListingPath(*arguments.other);
        }
    }
    return marrowix::theApp.InitInstance() ? 0 : 1;
}
