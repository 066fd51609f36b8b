#include "platform/x11/X11Overlay.h"

#include "platform/CodePage.h"
#include "skin/text/DefaultFont.h"
#include "skin/text/TextRenderer.h"

#include <X11/keysym.h>
#include <algorithm>

namespace platform::x11 {

namespace {

using skin::text::Rgb;

// The editor's colours: its grey-blue and the dark grey of its menu.
constexpr Rgb kAccent{128, 146, 156};
constexpr Rgb kPanel{34, 34, 34};
constexpr Rgb kBody{224, 224, 224};
constexpr Rgb kField{250, 250, 250};
constexpr Rgb kFieldText{20, 20, 20};

constexpr int kMargin = 12;
constexpr int kButtonWidth = 72;
constexpr int kButtonHeight = 22;
constexpr int kLineGap = 2;

std::uint32_t Word(Rgb c) {
    return 0xFF000000u | (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

void FillRect(std::uint32_t* pixels, int width, int height, const Rect& r, Rgb colour) {
    const Rect clipped = r.Intersect({0, 0, width, height});
    if (clipped.Empty())
        return;
    for (int y = clipped.top; y < clipped.bottom; ++y)
        std::fill(pixels + y * width + clipped.left, pixels + y * width + clipped.right, Word(colour));
}

void FrameRect(std::uint32_t* pixels, int width, int height, const Rect& r, Rgb colour) {
    FillRect(pixels, width, height, {r.left, r.top, r.right, r.top + 1}, colour);
    FillRect(pixels, width, height, {r.left, r.bottom - 1, r.right, r.bottom}, colour);
    FillRect(pixels, width, height, {r.left, r.top, r.left + 1, r.bottom}, colour);
    FillRect(pixels, width, height, {r.right - 1, r.top, r.right, r.bottom}, colour);
}

// The text in the font's code page (Windows-1252).
void DrawLabel(std::uint32_t* pixels, int width, int height, int x, int y, const std::string& text,
               Rgb colour, const Rect& clip) {
    skin::text::PixelView view{reinterpret_cast<std::uint8_t*>(pixels), width, height, width * 4, false};
    const skin::text::ClipRect c{clip.left, clip.top, clip.right - 1, clip.bottom - 1};
    skin::text::DrawText(view, skin::text::DefaultFont(), x, y, text, colour, 255, &c);
}

int TextWidth(const std::string& text) {
    return skin::text::TextWidth(skin::text::DefaultFont(), text);
}

int LineHeight() {
    return skin::text::TextHeight(skin::text::DefaultFont()) + kLineGap;
}

void Button(std::uint32_t* pixels, int width, int height, const Rect& r, const std::string& label) {
    FillRect(pixels, width, height, r, kAccent);
    const int x = r.left + (r.Width() - TextWidth(label)) / 2;
    const int y = r.top + (r.Height() - skin::text::TextHeight(skin::text::DefaultFont())) / 2;
    DrawLabel(pixels, width, height, x, y, label, kPanel, r);
}

} // namespace

std::vector<std::string> WrapText(const std::string& text, int maxWidth) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string paragraph = text.substr(start, end - start);
        std::string line;
        std::size_t i = 0;
        while (i < paragraph.size()) {
            std::size_t wordEnd = paragraph.find(' ', i);
            if (wordEnd == std::string::npos)
                wordEnd = paragraph.size();
            std::string word = paragraph.substr(i, wordEnd - i);
            std::string candidate = line.empty() ? word : line + " " + word;
            if (TextWidth(candidate) <= maxWidth) {
                line = candidate;
            } else {
                if (!line.empty())
                    lines.push_back(line);
                line.clear();
                // A word wider than the line is broken where it must be.
                while (TextWidth(word) > maxWidth && word.size() > 1) {
                    std::size_t n = word.size() - 1;
                    while (n > 1 && TextWidth(word.substr(0, n)) > maxWidth)
                        --n;
                    lines.push_back(word.substr(0, n));
                    word.erase(0, n);
                }
                line = word;
            }
            i = wordEnd + 1;
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

X11Overlay::X11Overlay(Kind kind, std::string caption, std::string text)
    : kind_(kind), caption_(std::move(caption)), text_(std::move(text)) {
    switch (kind_) {
    case Kind::Message:
        acceptLabel_ = "OK";
        break;
    case Kind::Question:
        acceptLabel_ = "Yes";
        cancelLabel_ = "No";
        break;
    case Kind::FileName:
        acceptLabel_ = "Save";
        cancelLabel_ = "Cancel";
        break;
    }
}

X11Overlay X11Overlay::Message(std::string caption, std::string text) {
    return X11Overlay(Kind::Message, std::move(caption), std::move(text));
}

X11Overlay X11Overlay::Question(std::string caption, std::string text) {
    return X11Overlay(Kind::Question, std::move(caption), std::move(text));
}

X11Overlay X11Overlay::FileName(std::string caption, std::string name) {
    X11Overlay overlay(Kind::FileName, std::move(caption), "File name:");
    overlay.entry_ = std::move(name);
    return overlay;
}

void X11Overlay::Layout(int width, int height) {
    const int panelWidth = std::min(width - 2 * kMargin, 460);
    const int textWidth = panelWidth - 2 * kMargin;
    lines_ = WrapText(Windows1252ForDrawing(text_), textWidth);
    const int maxLines = std::max(1, (height - 6 * kMargin - kButtonHeight) / LineHeight() - 2);
    if (static_cast<int>(lines_.size()) > maxLines)
        lines_.resize(maxLines);
    int contentHeight = LineHeight() + kMargin / 2 + static_cast<int>(lines_.size()) * LineHeight();
    if (kind_ == Kind::FileName)
        contentHeight += kButtonHeight + kMargin / 2;
    const int panelHeight = std::min(height - 2, kMargin + contentHeight + kMargin + kButtonHeight + kMargin);
    panel_ = Rect::FromSize((width - panelWidth) / 2, (height - panelHeight) / 2, panelWidth, panelHeight);
    int y =
        panel_.top + kMargin + LineHeight() + kMargin / 2 + static_cast<int>(lines_.size()) * LineHeight();
    field_ = {};
    if (kind_ == Kind::FileName)
        field_ = Rect::FromSize(panel_.left + kMargin, y, textWidth, kButtonHeight);
    const int buttonTop = panel_.bottom - kMargin - kButtonHeight;
    accept_ = Rect::FromSize(panel_.right - kMargin - kButtonWidth, buttonTop, kButtonWidth, kButtonHeight);
    cancel_ = {};
    if (!cancelLabel_.empty()) {
        cancel_ = accept_;
        accept_ =
            Rect::FromSize(cancel_.left - kMargin / 2 - kButtonWidth, buttonTop, kButtonWidth, kButtonHeight);
    }
}

void X11Overlay::Draw(std::uint32_t* pixels, int width, int height) const {
    // Dim the editor so that it reads as unavailable while the panel is up.
    for (int i = 0; i < width * height; ++i)
        pixels[i] = 0xFF000000u | ((pixels[i] >> 1) & 0x007F7F7Fu);
    FillRect(pixels, width, height, panel_, kPanel);
    FrameRect(pixels, width, height, panel_, kAccent);
    const Rect inner{panel_.left + kMargin, panel_.top, panel_.right - kMargin, panel_.bottom};
    int y = panel_.top + kMargin;
    DrawLabel(pixels, width, height, inner.left, y, Windows1252ForDrawing(caption_), kAccent, inner);
    y += LineHeight() + kMargin / 2;
    for (const std::string& line : lines_) {
        DrawLabel(pixels, width, height, inner.left, y, line, kBody, inner);
        y += LineHeight();
    }
    if (kind_ == Kind::FileName) {
        FillRect(pixels, width, height, field_, kField);
        const Rect textArea{field_.left + 4, field_.top, field_.right - 4, field_.bottom};
        // Long names show their end, where the typing happens.
        int x = textArea.left;
        const std::string shown = Windows1252ForDrawing(entry_);
        const int w = TextWidth(shown) + 2;
        if (w > textArea.Width())
            x -= w - textArea.Width();
        const int ty = field_.top + (field_.Height() - skin::text::TextHeight(skin::text::DefaultFont())) / 2;
        DrawLabel(pixels, width, height, x, ty, shown, kFieldText, textArea);
        FillRect(pixels, width, height, {x + w - 1, field_.top + 4, x + w, field_.bottom - 4}, kFieldText);
    }
    Button(pixels, width, height, accept_, acceptLabel_);
    if (!cancelLabel_.empty())
        Button(pixels, width, height, cancel_, cancelLabel_);
}

X11Overlay::Action X11Overlay::MouseDown(Point client) {
    if (accept_.Contains(client))
        return kind_ == Kind::FileName && entry_.empty() ? Action::Ignored : Action::Accept;
    if (!cancelLabel_.empty() && cancel_.Contains(client))
        return Action::Cancel;
    return Action::Ignored;
}

X11Overlay::Action X11Overlay::Key(unsigned long keysym, const std::string& typed) {
    switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
        return kind_ == Kind::FileName && entry_.empty() ? Action::Ignored : Action::Accept;
    case XK_Escape:
        return kind_ == Kind::Message ? Action::Accept : Action::Cancel;
    case XK_BackSpace:
        if (kind_ == Kind::FileName && !entry_.empty()) {
            // The whole last character: its UTF-8 continuation bytes, then its first byte.
            while (entry_.size() > 1 && (static_cast<unsigned char>(entry_.back()) & 0xC0) == 0x80)
                entry_.pop_back();
            entry_.pop_back();
            return Action::Redraw;
        }
        return Action::Ignored;
    default:
        break;
    }
    if (kind_ == Kind::Message && keysym == XK_space)
        return Action::Accept;
    if (kind_ != Kind::FileName || typed.empty())
        return Action::Ignored;
    bool changed = false;
    for (char c : typed) {
        const auto u = static_cast<unsigned char>(c);
        // Printable characters only; a file name has no '/' of its own. Latin-1 is kept as UTF-8, in
        // which file names are written, within the 255 bytes a name may have.
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || c == '/' ||
            entry_.size() + (u >= 0x80) >= 255)
            continue;
        if (u < 0x80) {
            entry_.push_back(c);
        } else {
            entry_.push_back(static_cast<char>(0xC0 | (u >> 6)));
            entry_.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
        changed = true;
    }
    return changed ? Action::Redraw : Action::Ignored;
}

} // namespace platform::x11
