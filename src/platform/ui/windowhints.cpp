#include "platform/ui/windowhints.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef QUORVEL_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#endif

namespace platform {

#ifdef QUORVEL_HAVE_XCB
namespace {

// The Motif window manager hints, as X11 window managers read them.
struct MotifHints {
    uint32_t flags;
    uint32_t functions;
    uint32_t decorations;
    int32_t inputMode;
    uint32_t status;
};

enum : uint32_t {
    HintsFunctions = 1u << 0,
    HintsDecorations = 1u << 1,
    FuncMove = 1u << 2,
    FuncMinimize = 1u << 3,
    FuncClose = 1u << 5,
    DecorBorder = 1u << 1,
    DecorTitle = 1u << 3,
    DecorMenu = 1u << 4,
    DecorMinimize = 1u << 5,
};

xcb_atom_t motifAtom(xcb_connection_t *c)
{
    static xcb_atom_t atom = XCB_ATOM_NONE;
    if (atom != XCB_ATOM_NONE)
        return atom;
    static const char name[] = "_MOTIF_WM_HINTS";
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name);
    if (xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr)) {
        atom = reply->atom;
        std::free(reply);
    }
    return atom;
}

} // namespace
#endif

void setWindowFrameHints(QWidget *window, bool caption, bool closeBox, bool minimizeBox)
{
#ifdef QUORVEL_HAVE_XCB
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    const xcb_atom_t atom = motifAtom(c);
    if (atom == XCB_ATOM_NONE)
        return;
    MotifHints hints{};
    hints.flags = HintsFunctions | HintsDecorations;
    hints.functions = FuncMove | (closeBox ? FuncClose : 0u) | (minimizeBox ? FuncMinimize : 0u);
    hints.decorations = DecorBorder | (caption ? DecorTitle : 0u) | (closeBox ? DecorMenu : 0u) |
                        (minimizeBox ? DecorMinimize : 0u);
    const auto id = static_cast<xcb_window_t>(window->winId());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom, atom, 32, 5, &hints);
    xcb_flush(c);
#else
    (void)window;
    (void)caption;
    (void)closeBox;
    (void)minimizeBox;
#endif
}

} // namespace platform
