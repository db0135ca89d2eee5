#include "app/MarrowixApp.h"

#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/MainDialog.h"
#include "app/features/Loading.h"
#include "app/features/Session.h"
#include "app/session/ViewerSettings.h"

namespace marrowix {

CMarrowixApp theApp;

std::unique_ptr<CMarrowix> CMarrowixApp::CreateMainDialog() {
    return std::make_unique<CMarrowix>();
}

bool CMarrowixApp::InitInstance() {
    std::unique_ptr<CMarrowix> dialog = CreateMainDialog();
    m_pMainWnd = dialog.get();
    dialog->Features().session->Use(std::make_unique<ViewerSettings>());
    if (!m_compareWith.empty()) {
        dialog->SetCompareWith(m_compareWith);
    }
    if (!m_startListing.empty()) {
        CMarrowix* d = dialog.get();
        QTimer::singleShot(0, d, [d, listing = m_startListing, mode = m_startMode] {
            // Said on stderr too: whoever typed the command may be looking there.
            if (const QString refusal = ListingRefusal(listing); !refusal.isEmpty()) {
                std::fprintf(stderr, "marrowix: %s\n", refusal.toLocal8Bit().constData());
            }
            d->OpenListing(listing, mode);
        });
    }
    dialog->exec();
    m_pMainWnd = nullptr;
    return true;
}

}  // namespace marrowix
