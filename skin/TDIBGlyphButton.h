#pragma once

#include "platform/Geometry.h"
#include "skin/TAbstractDIBButton.h"
#include "skin/TDIBImageLink.h"
#include "skin/TextDrawer.h"

#include <string>

namespace skin {

// A button drawn from a strip of NumGlyphs equal frames, one per visual state, with an optional
// caption centred over the frame.
class TCustomDIBGlyphButton : public TAbstractDIBButton {
public:
    explicit TCustomDIBGlyphButton(TComponent* owner);

    TDIBImageLink Glyph;

    int NumGlyphs() const { return numGlyphs_; }
    // 2 to 5 frames; another count raises EDIBGlyphButtonError and changes nothing.
    void SetNumGlyphs(int count);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    const TDIBFont& Font() const { return font_; }
    void SetFont(const TDIBFont& font);
    const TDIBFont& FontDisabled() const { return fontDisabled_; }
    void SetFontDisabled(const TDIBFont& font);

    // Caption shifts per state. The down state is drawn with the mouse-click offset;
    // CaptionOffsetDown is kept for stored forms but not drawn.
    platform::Point CaptionOffsetEnabled() const { return offsetEnabled_; }
    platform::Point CaptionOffsetMouseClick() const { return offsetMouseClick_; }
    platform::Point CaptionOffsetDisabled() const { return offsetDisabled_; }
    platform::Point CaptionOffsetMouseOver() const { return offsetMouseOver_; }
    platform::Point CaptionOffsetDown() const { return offsetDown_; }
    void SetCaptionOffsetEnabled(platform::Point p) { SetOffset(offsetEnabled_, p); }
    void SetCaptionOffsetMouseClick(platform::Point p) { SetOffset(offsetMouseClick_, p); }
    void SetCaptionOffsetDisabled(platform::Point p) { SetOffset(offsetDisabled_, p); }
    void SetCaptionOffsetMouseOver(platform::Point p) { SetOffset(offsetMouseOver_, p); }
    void SetCaptionOffsetDown(platform::Point p) { SetOffset(offsetDown_, p); }

    // The strip frame shown in a visual state with numGlyphs frames.
    static int FrameIndex(int state, int numGlyphs);
    // The caption offset used in a visual state; EDIBGlyphButtonError "Unknown button state" for a
    // state outside 0..4.
    platform::Point CaptionOffset(int state) const;

protected:
    void Paint(TWinDIB& work) override;
    void ImageListChanged() override { AdjustSize(); }

private:
    void AdjustSize();
    void SetOffset(platform::Point& field, platform::Point value);

    int numGlyphs_ = 2;
    bool autoSize_ = true;
    std::string caption_;
    TDIBFont font_;
    TDIBFont fontDisabled_;
    platform::Point offsetEnabled_, offsetMouseClick_, offsetDisabled_, offsetMouseOver_, offsetDown_;
};

class TDIBGlyphButton : public TCustomDIBGlyphButton {
public:
    using TCustomDIBGlyphButton::TCustomDIBGlyphButton;
};

} // namespace skin
