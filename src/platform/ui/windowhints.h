#pragma once
// What the window manager is told about a dialog's frame. Qt's flags cannot say "a title
// bar, a close box and nothing else" to every X11 window manager: without a close, minimise
// or maximise flag it sends no list of allowed functions, and the manager then offers them
// all. This sets the frame's decorations and functions itself, on X11 only; elsewhere the
// window flags are enough and this does nothing.
class QWidget;

namespace platform {

// Call while the window exists and is not yet mapped (in its show event). `caption`: a
// title bar; `closeBox`: a close box (the system menu); `minimizeBox`: a minimise box. The
// window can be moved; it is never resized or maximised by the manager.
void setWindowFrameHints(QWidget *window, bool caption, bool closeBox, bool minimizeBox);

} // namespace platform
