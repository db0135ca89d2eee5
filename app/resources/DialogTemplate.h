// Dialog templates as a resource script holds them: positions and sizes in
// dialog units, controls in tab and creation order.
#pragma once

#include <cstdint>
#include <span>

namespace marrowix::res {

struct ControlTemplate {
    int id;
    const char* windowClass;  // "button", "edit", "static", "SysTreeView32"
    const char16_t* text;
    int x;
    int y;
    int cx;
    int cy;
    std::uint32_t style;
};

struct DialogTemplate {
    int id;
    int cx;
    int cy;
    std::uint32_t style;
    const char16_t* caption;
    const char16_t* fontFace;
    int fontPointSize;
    int fontWeight;
    std::span<const ControlTemplate> controls;
};

// IDD_MAIN, the main dialog.
const DialogTemplate& MainDialogTemplate();

}  // namespace marrowix::res
