#include "platform/x11/X11Overlay.h"
#include "platform/x11/KeyTranslation.h"

#include "skin/text/DefaultFont.h"
#include "skin/text/TextRenderer.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace platform::x11 {
namespace {

TEST(X11OverlayTest, WrappedLinesFitAndKeepEveryWord) {
    const std::string text =
        "The file /home/someone/.local/share/QarnoAudio/VorelanEn2/averyveryveryverylongname"
        "withoutanyspaceatall.fxp could not be written.\nSecond paragraph.";
    const int width = 200;
    const std::vector<std::string> lines = WrapText(text, width);
    ASSERT_GE(lines.size(), 3u);
    std::string joined;
    for (const std::string& line : lines) {
        EXPECT_LE(skin::text::TextWidth(skin::text::DefaultFont(), line), width) << line;
        joined += line;
    }
    for (const char* word : {"could", "written.", "Second", "paragraph."})
        EXPECT_NE(joined.find(word), std::string::npos) << word;
    EXPECT_EQ(lines.back(), "Second paragraph.") << "a line break in the text starts a new line";
}

TEST(X11OverlayTest, PanelsTakeTheirAnswersFromMouseAndKeys) {
    X11Overlay message = X11Overlay::Message("VorelanEn2", "This is not a VorelanEn2 preset!");
    message.Layout(780, 303);
    const Rect panel = message.Bounds();
    EXPECT_FALSE(panel.Empty());
    EXPECT_TRUE((Rect{0, 0, 780, 303}.Intersect(panel) == panel)) << "the panel lies inside the editor";
    EXPECT_EQ(message.MouseDown({panel.left + 2, panel.top + 2}), X11Overlay::Action::Ignored);
    EXPECT_EQ(message.Key(XK_Return, "\r"), X11Overlay::Action::Accept);

    X11Overlay entry = X11Overlay::FileName("Save As", "Pad");
    entry.Layout(780, 303);
    EXPECT_EQ(entry.Key(XK_s, "s"), X11Overlay::Action::Redraw);
    EXPECT_EQ(entry.Key(XK_slash, "/"), X11Overlay::Action::Ignored) << "a name has no folder part";
    EXPECT_EQ(entry.Entry(), "Pads");
    for (int i = 0; i < 4; ++i)
        entry.Key(XK_BackSpace, "\b");
    EXPECT_EQ(entry.Entry(), "");
    EXPECT_EQ(entry.Key(XK_Return, "\r"), X11Overlay::Action::Ignored) << "an empty name cannot be saved";
    EXPECT_EQ(entry.Key(XK_Escape, "\x1b"), X11Overlay::Action::Cancel);
    entry.Key(XK_eacute, "\xE9");
    entry.Key(XK_ssharp, "\xDF");
    EXPECT_EQ(entry.Entry(), "éß") << "typed Latin-1 is kept as UTF-8, as file names are";
    entry.Key(XK_BackSpace, "\b");
    EXPECT_EQ(entry.Entry(), "é") << "a whole character goes";

    // Drawing stays inside the picture and dims what lies outside the panel.
    std::vector<std::uint32_t> pixels(780 * 303, 0xFFFFFFFFu);
    entry.Draw(pixels.data(), 780, 303);
    EXPECT_EQ(pixels[0], 0xFF7F7F7Fu);
}

TEST(X11OverlayTest, KeysReachTheControlsAsWindowsKeyCodes) {
    EXPECT_EQ(VirtualKeyOf(XK_a), 'A');
    EXPECT_EQ(VirtualKeyOf(XK_Z), 'Z');
    EXPECT_EQ(VirtualKeyOf(XK_7), '7');
    EXPECT_EQ(VirtualKeyOf(XK_F1), 0x70);
    EXPECT_EQ(VirtualKeyOf(XK_Up), kKeyUp);
    EXPECT_EQ(VirtualKeyOf(XK_KP_Down), kKeyDown);
    EXPECT_EQ(VirtualKeyOf(XK_Prior), kKeyPageUp);
    EXPECT_EQ(VirtualKeyOf(XK_Return), kKeyReturn);
    EXPECT_EQ(VirtualKeyOf(XK_dead_acute), 0);
}

} // namespace
} // namespace platform::x11
