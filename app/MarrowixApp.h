// The application: one global object whose start-up runs the main dialog.
#pragma once

class QWidget;

namespace marrowix {

class CMarrowixApp {
public:
    // Creates the main dialog with no set, makes it the main window, runs it
    // modally and returns true when it has ended.
    virtual bool InitInstance();
    virtual ~CMarrowixApp() = default;

    QWidget* m_pMainWnd = nullptr;
};

extern CMarrowixApp theApp;

}  // namespace marrowix
