#include "app/MarrowixApp.h"

#include <QTimer>
#include <memory>

#include "app/MainDialog.h"

namespace marrowix {

CMarrowixApp theApp;

std::unique_ptr<CMarrowix> CMarrowixApp::CreateMainDialog() {
    return std::make_unique<CMarrowix>();
}

bool CMarrowixApp::InitInstance() {
    std::unique_ptr<CMarrowix> dialog = CreateMainDialog();
    m_pMainWnd = dialog.get();
    if (!m_compareWith.empty()) {
        dialog->SetCompareWith(m_compareWith);
    }
    if (!m_startListing.empty()) {
        CMarrowix* d = dialog.get();
        QTimer::singleShot(0, d, [d, listing = m_startListing, mode = m_startMode] {
            d->OpenListing(listing, mode);
        });
    }
    dialog->exec();
    m_pMainWnd = nullptr;
    return true;
}

}  // namespace marrowix
