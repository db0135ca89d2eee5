#include "app/MarrowixApp.h"

#include <memory>

#include "app/MainDialog.h"

namespace marrowix {

CMarrowixApp theApp;

bool CMarrowixApp::InitInstance() {
    auto dialog = std::make_unique<CMarrowix>();
    m_pMainWnd = dialog.get();
    dialog->exec();
    m_pMainWnd = nullptr;
    return true;
}

}  // namespace marrowix
