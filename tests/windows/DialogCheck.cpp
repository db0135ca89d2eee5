// Windows' own dialog manager against the viewer: makes a dialog from the
// main dialog's template ("MS Shell Dlg", dialog units) with
// CreateDialogIndirect, then finds the viewer's window and requires the same
// client size. With --close it then asks the viewer to close, as the close
// box does, so that it saves its settings.
// Usage: marrowix_dialog_check [--close]
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

#include "app/resources/DialogTemplate.h"

namespace {

constexpr DWORD kVisible = 0x10000000L;  // WS_VISIBLE

void Append(std::vector<WORD>& out, const char16_t* text) {
    for (; *text != u'\0'; ++text) {
        out.push_back(static_cast<WORD>(*text));
    }
    out.push_back(0);
}

void AppendLong(std::vector<WORD>& out, DWORD value) {
    out.push_back(LOWORD(value));
    out.push_back(HIWORD(value));
}

// A DLGTEMPLATEEX of the template's frame and font, without its controls:
// the frame is what both must agree on.
std::vector<WORD> DialogResource(const marrowix::res::DialogTemplate& t) {
    std::vector<WORD> out = {1, 0xFFFF};  // dlgVer, signature
    AppendLong(out, 0);                   // helpID
    AppendLong(out, 0);                   // exStyle
    AppendLong(out, (t.style & ~kVisible) | DS_SETFONT);
    out.push_back(0);  // no controls
    out.push_back(0);
    out.push_back(0);
    out.push_back(static_cast<WORD>(t.cx));
    out.push_back(static_cast<WORD>(t.cy));
    out.push_back(0);  // no menu
    out.push_back(0);  // the dialog class
    Append(out, t.caption);
    out.push_back(static_cast<WORD>(t.fontPointSize));
    out.push_back(static_cast<WORD>(t.fontWeight));
    out.push_back(0);  // not italic, ANSI_CHARSET
    Append(out, t.fontFace);
    return out;
}

INT_PTR CALLBACK Quiet(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

struct Search {
    HWND found = nullptr;
};

BOOL CALLBACK FindViewer(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    if (process != GetCurrentProcessId() && IsWindowVisible(window) &&
        std::wcsstr(title, L"Marrowix") != nullptr) {
        reinterpret_cast<Search*>(param)->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    const bool close = argc > 1 && std::strcmp(argv[1], "--close") == 0;
    const marrowix::res::DialogTemplate& t = marrowix::res::MainDialogTemplate();
    const std::vector<WORD> resource = DialogResource(t);
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()),
                                             nullptr, Quiet, 0);
    if (dialog == nullptr) {
        std::fprintf(stderr, "dialog check: no dialog from the template (error %lu)\n",
                     GetLastError());
        return 1;
    }
    RECT expected = {};
    GetClientRect(dialog, &expected);
    RECT units = {0, 0, 4, 8};
    MapDialogRect(dialog, &units);
    wchar_t face[LF_FACESIZE] = {};
    HDC dc = GetDC(dialog);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
    DestroyWindow(dialog);

    Search search;
    EnumWindows(FindViewer, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) {
        std::fprintf(stderr, "dialog check: the viewer's window is not there\n");
        return 1;
    }
    RECT actual = {};
    GetClientRect(search.found, &actual);
    std::printf(
        "dialog check: Windows makes the template %ld x %ld pixels (base units %ld x %ld, "
        "%ls); the viewer's dialog is %ld x %ld\n",
        expected.right, expected.bottom, units.right, units.bottom, face, actual.right,
        actual.bottom);
    if (close) {
        PostMessageW(search.found, WM_CLOSE, 0, 0);
    }
    return expected.right == actual.right && expected.bottom == actual.bottom ? 0 : 1;
}
