// The application: one global object whose start-up runs the main dialog.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "textureset/TextureSet.h"

class QWidget;

namespace marrowix {

class CMarrowix;

class CMarrowixApp {
public:
    // Creates the main dialog with no set, makes it the main window, runs it
    // modally and returns true when it has ended. A listing given on the
    // command line is loaded once the dialog runs, as Browse would load it,
    // when it can be a listing (CouldBeListing); otherwise the dialog says so
    // and opens empty.
    virtual bool InitInstance();
    virtual ~CMarrowixApp() = default;
    // The main dialog; replaced in tests.
    virtual std::unique_ptr<CMarrowix> CreateMainDialog();

    QWidget* m_pMainWnd = nullptr;
    // The listing given on the command line, absolute, as the file system's
    // bytes without loss (FromNativePath); empty: none.
    std::u16string m_startListing;
    std::optional<TextureMode> m_startMode;  // unset: ask
    // --compare-with: the other version's listing, in the same form; empty:
    // none (E flips to the other encoding).
    std::u16string m_compareWith;
};

extern CMarrowixApp theApp;

}  // namespace marrowix
