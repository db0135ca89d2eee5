// IDD_MAIN DIALOGEX 0, 0, 526, 338
// STYLE DS_SHELLFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX
// CAPTION "Marrowix"
// FONT 8, "MS Shell Dlg", 400
#include "app/resources/DialogTemplate.h"
#include "app/resources/Resource.h"
#include "app/resources/WindowStyles.h"

namespace marrowix::res {
namespace {

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;

constexpr ControlTemplate kMainControls[] = {
    {IDC_BROWSE, "button", u"Browse...", 469, 7, 50, 14, kChild | WS_TABSTOP | BS_PUSHBUTTON},
    {IDC_PATH, "edit", u"", 147, 7, 311, 14,
     kChild | WS_DISABLED | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL},
    {IDC_TREE, "SysTreeView32", u"", 7, 7, 134, 324,
     kChild | WS_BORDER | WS_HSCROLL | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
         TVS_SHOWSELALWAYS},
    {IDC_OFFSET, "static", u"Offset: ---", 156, 34, 96, 8, kChild | SS_LEFT},
    {IDC_DIMENSIONS, "static", u"---", 258, 34, 89, 8, kChild | SS_LEFT},
    {IDC_PREVIEW, "static", u"", 149, 53, 15, 13, kChild | SS_BITMAP | SS_REALSIZEIMAGE},
    {IDC_STATIC, "button", u"Some info", 148, 24, 368, 24, kChild | BS_GROUPBOX},
};

constexpr DialogTemplate kMainDialog = {
    IDD_MAIN,
    526,
    338,
    DS_SHELLFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX,
    u"Marrowix",
    u"MS Shell Dlg",
    8,
    400,
    kMainControls,
};

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    return kMainDialog;
}

}  // namespace marrowix::res
