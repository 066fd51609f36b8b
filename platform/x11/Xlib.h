#pragma once
// Xlib for the Linux editor. X.h defines a few short macros that collide with names of the platform
// interface (CursorShape); they are removed here, and every file of this folder includes Xlib only
// through this header.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#undef CursorShape
