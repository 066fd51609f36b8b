// skingen: draws the editor's skin pictures as PNG files.
//   skingen OUT_DIR [--mockup FILE.png] [--fonts DIR]
// The pictures follow the editor's control map: the background's sections and labels sit under the
// controls' positions, and every strip has exactly the size and frame count of the image list.
#include "skin/images/SkinImages.h"
#include "skin/text/DefaultFont.h"
#include "tools/skingen/Canvas.h"
#include "tools/skingen/Pictures.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace skingen;

namespace {

std::optional<fontatlas::BuiltFont> Load(const std::string& path, int px, float gamma) {
    std::string error;
    auto font = fontatlas::BuildFont(fontatlas::ReadFileBytes(path), px, gamma, error);
    if (!font)
        std::fprintf(stderr, "skingen: %s: %s\n", path.c_str(), error.c_str());
    return font;
}

// ---------------------------------------------------------------------------------------------------
// Mock-up of the whole editor for checking the alignment.

void DrawMockup(const std::string& path, const std::function<const Canvas&(const char*)>& img) {
    Canvas m(780, 303);
    m.Draw(img("Background"), 0, 0);
    auto frame = [&](const char* name, int index, int fw, int x, int y) {
        const Canvas& s = img(name);
        Canvas one(fw, s.Height());
        one.CopyFrom(s, index * fw, 0, fw, s.Height(), 0, 0);
        m.Draw(one, x, y);
    };
    const int big[4][2] = {{10, 56}, {10, 128}, {718, 56}, {718, 128}};
    const int bigPos[4] = {50, 80, 64, 35};
    for (int i = 0; i < 4; ++i)
        frame("Knob65", bigPos[i] * 65 / 101, 48, big[i][0], big[i][1]);
    const int small[18][2] = {{105, 61}, {105, 132}, {171, 61},  {247, 61},  {248, 132}, {304, 61},
                              {388, 61}, {388, 131}, {446, 61},  {446, 131}, {528, 61},  {527, 132},
                              {592, 61}, {592, 132}, {227, 230}, {106, 230}, {548, 230}, {293, 230}};
    for (int i = 0; i < 18; ++i)
        frame("Knob64", (i * 37 % 101) * 64 / 101, 65, small[i][0], small[i][1]);
    const char* digits[8] = {"Digit1", "Digit2", "Digit3", "Digit4", "Digit5", "Digit6", "Digit7", "Digit8"};
    for (int t = 0; t < 8; ++t) {
        frame(digits[t], t == 2, 23, 240 + 20 * t, 4);
        frame(digits[t], t == 0, 23, 240 + 20 * t, 189);
        frame(digits[t], t == 5, 23, 364 + 20 * t, 240);
    }
    frame("Copy", 0, 18, 601, 4);
    frame("Paste", 1, 18, 616, 4);
    frame("Copy", 0, 18, 600, 189);
    frame("Paste", 0, 18, 616, 189);
    frame("OnOff", 1, 27, 663, 62);
    frame("OnOff", 0, 27, 170, 236);
    frame("FilterLP", 0, 27, 343, 124);
    frame("FilterBP", 1, 27, 343, 140);
    frame("FilterHP", 0, 27, 343, 156);
    for (int k = 0; k < 8; ++k) {
        Canvas light(23, 7);
        light.CopyFrom(img("LfoLight"), 0, 0, 23, 7, 0, 0);
        Canvas faded(23, 7);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 23; ++x) {
                Color col = light.Get(x, y);
                col.a *= (k * 37 % 8) / 7.0f;
                faded.Set(x, y, col);
            }
        m.Draw(faded, 364 + 20 * k, 256);
    }
    const auto& font = skin::text::DefaultFont();
    m.Text(font, 130, 285, "Filter cutoff frequency modulation source", Hex(0x80929C), 0);
    m.Text(font, 426, 285, "12.50 ms  0.63 beats", Hex(0x80929C), 0);
    m.SavePng(path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: skingen OUT_DIR [--mockup FILE.png] [--fonts DIR]\n");
        return 2;
    }
    std::string outDir = argv[1];
    std::string mockup;
    std::string fontDir = "/usr/share/fonts/truetype/liberation";
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--mockup")
            mockup = argv[i + 1];
        else if (opt == "--fonts")
            fontDir = argv[i + 1];
    }
    const std::string regular = fontDir + "/LiberationSans-Regular.ttf";
    const std::string bold = fontDir + "/LiberationSans-Bold.ttf";
    auto label = Load(bold, 9, 1.2f), heading = Load(bold, 10, 1.2f), button = Load(bold, 10, 1.2f),
         logo = Load(bold, 17, 1.1f), title = Load(bold, 40, 1.0f), body = Load(regular, 13, 1.3f),
         small = Load(regular, 11, 1.4f);
    if (!label || !heading || !button || !logo || !title || !body || !small)
        return 1;
    const Fonts fonts{*label, *heading, *button, *logo, *title, *body, *small};

    std::vector<std::pair<std::string, Canvas>> images;
    for (const auto& info : skin::images::kImageList)
        images.emplace_back(std::string(info.name), Canvas(info.width, info.height));
    auto canvas = [&](const char* name) -> Canvas& {
        for (auto& [n, c] : images)
            if (n == name)
                return c;
        std::abort();
    };

    DrawBackground(canvas("Background"), fonts);
    DrawKnobStrip(canvas("Knob65"), 65, 48,
                  KnobStyle{kBigC, kBigC, 20.0f, 1.6f, 15.0f, 11.5f, 5.0f, 12.0f, 1.1f});
    DrawKnobStrip(canvas("Knob64"), 64, 65,
                  KnobStyle{kSmallCx, kSmallCy, 16.0f, 1.3f, 11.5f, 8.5f, 3.5f, 9.0f, 0.95f});
    DrawCopyPaste(canvas("Copy"), false);
    DrawCopyPaste(canvas("Paste"), true);
    DrawOnOff(canvas("OnOff"));
    CaptionStrip(canvas("FilterLP"), fonts, 27, 0.5f, 0.5f, 26.5f, 14.5f, "LP");
    CaptionStrip(canvas("FilterBP"), fonts, 27, 0.5f, 0.5f, 26.5f, 14.5f, "BP");
    CaptionStrip(canvas("FilterHP"), fonts, 27, 0.5f, 0.5f, 26.5f, 14.5f, "HP");
    const char* digitNames[8] = {"Digit1", "Digit2", "Digit3", "Digit4",
                                 "Digit5", "Digit6", "Digit7", "Digit8"};
    for (int d = 0; d < 8; ++d)
        DrawDigit(canvas(digitNames[d]), fonts, d + 1);
    DrawLight(canvas("LfoLight"));
    DrawAbout(canvas("About"), fonts);

    for (auto& [name, c] : images) {
        const std::string path = outDir + "/" + name + ".png";
        if (!c.SavePng(path)) {
            std::fprintf(stderr, "skingen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    if (!mockup.empty())
        DrawMockup(mockup, [&](const char* name) -> const Canvas& { return canvas(name); });
    return 0;
}
