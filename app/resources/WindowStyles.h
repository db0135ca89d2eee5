// Window, dialog and control style bits, with the values a resource script
// uses for them.
#pragma once

#include <cstdint>

namespace marrowix::res {

// Windows.
constexpr std::uint32_t WS_POPUP = 0x80000000u;
constexpr std::uint32_t WS_CHILD = 0x40000000u;
constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
constexpr std::uint32_t WS_DISABLED = 0x08000000u;
constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
constexpr std::uint32_t WS_BORDER = 0x00800000u;
constexpr std::uint32_t WS_HSCROLL = 0x00100000u;
constexpr std::uint32_t WS_SYSMENU = 0x00080000u;
constexpr std::uint32_t WS_THICKFRAME = 0x00040000u;
constexpr std::uint32_t WS_GROUP = 0x00020000u;
constexpr std::uint32_t WS_TABSTOP = 0x00010000u;
constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000u;  // on a top-level window

// Dialogs.
constexpr std::uint32_t DS_SETFONT = 0x40u;
constexpr std::uint32_t DS_FIXEDSYS = 0x08u;
constexpr std::uint32_t DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;

// Buttons.
constexpr std::uint32_t BS_PUSHBUTTON = 0x0u;
constexpr std::uint32_t BS_GROUPBOX = 0x7u;
constexpr std::uint32_t BS_TYPEMASK = 0xFu;

// Edit controls.
constexpr std::uint32_t ES_LEFT = 0x0u;
constexpr std::uint32_t ES_AUTOHSCROLL = 0x80u;

// Static controls.
constexpr std::uint32_t SS_LEFT = 0x0u;
constexpr std::uint32_t SS_BITMAP = 0xEu;
constexpr std::uint32_t SS_TYPEMASK = 0x1Fu;
constexpr std::uint32_t SS_REALSIZEIMAGE = 0x800u;

// Tree views.
constexpr std::uint32_t TVS_HASBUTTONS = 0x1u;
constexpr std::uint32_t TVS_HASLINES = 0x2u;
constexpr std::uint32_t TVS_LINESATROOT = 0x4u;
constexpr std::uint32_t TVS_SHOWSELALWAYS = 0x20u;

}  // namespace marrowix::res
