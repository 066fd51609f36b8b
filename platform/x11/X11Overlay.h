#pragma once

#include "platform/Geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform::x11 {

// A modal panel drawn inside the editor over its picture: a message with an OK button, a question
// with Yes and No, or a file-name entry with Save and Cancel (the save dialog when no dialog program
// is installed). While one is shown it takes every mouse press and key of the editor; the controls
// beneath get nothing. It draws with the editor's own font, so it looks the same on every system; its
// texts, the typed name included, are UTF-8.
class X11Overlay {
public:
    enum class Kind { Message, Question, FileName };
    enum class Action { Ignored, Redraw, Accept, Cancel };

    static X11Overlay Message(std::string caption, std::string text);
    static X11Overlay Question(std::string caption, std::string text);
    static X11Overlay FileName(std::string caption, std::string name);

    Kind GetKind() const { return kind_; }
    const std::string& Caption() const { return caption_; }
    const std::string& Text() const { return text_; }
    // The name typed so far (file-name entry).
    const std::string& Entry() const { return entry_; }

    // Lays the panel out for an editor of the given size; call before drawing or hit testing.
    void Layout(int width, int height);
    Rect Bounds() const { return panel_; }
    // The OK, Yes or Save button, and the No or Cancel button (empty for a message).
    Rect AcceptButton() const { return accept_; }
    Rect CancelButton() const { return cancel_; }
    // Draws the dimmed editor and the panel into a top-down picture of the editor's size (the kit's
    // BGRA words).
    void Draw(std::uint32_t* pixels, int width, int height) const;

    // Input, in client coordinates. Accept is OK, Yes or Save; Cancel is No, Cancel or Escape.
    Action MouseDown(Point client);
    // A key: keysym and the text it types (Latin-1 bytes, may be empty; the entry keeps them as UTF-8).
    Action Key(unsigned long keysym, const std::string& typed);
    // Whether a press at client lands in the entry field (the window then takes the keyboard focus).
    bool InEntryField(Point client) const { return kind_ == Kind::FileName && field_.Contains(client); }

private:
    X11Overlay(Kind kind, std::string caption, std::string text);

    Kind kind_;
    std::string caption_;
    std::string text_;
    std::string entry_;
    std::vector<std::string> lines_;
    Rect panel_;
    Rect field_;
    Rect accept_;
    Rect cancel_;
    std::string acceptLabel_;
    std::string cancelLabel_;
};

// Breaks text (Windows-1252, the font's code page) into lines no wider than maxWidth pixels in the
// editor's font, at spaces where it can and inside a word only when the word alone is too wide; line
// breaks in the text are kept.
std::vector<std::string> WrapText(const std::string& text, int maxWidth);

} // namespace platform::x11
