# The Linux editor window in plain Xlib: libX11, and libXfixes to hide the pointer during knob drags.
# Its modal panels draw with the editor's font from the text renderer.
find_package(X11 REQUIRED)
if(NOT X11_Xfixes_FOUND)
    message(FATAL_ERROR "libXfixes (Debian libxfixes-dev) is needed for the Linux editor")
endif()
target_link_libraries(vorelan_platform PUBLIC X11::X11 X11::Xfixes vorelan_skin_text)
