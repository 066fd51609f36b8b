#pragma once

#include "skin/TCustomDIBContainer.h"
#include "skin/TDIBImageLink.h"

namespace skin {

class TDIBImageList;

enum class TTileMethod { tmCenter, tmTile };

// A container that paints one image of an image list as its background over its colour, centred
// or tiled from the top-left corner.
class TDIBImageContainer : public TCustomDIBContainer {
public:
    explicit TDIBImageContainer(TComponent* owner = nullptr);

    TDIBImageLink IndexImage;
    TTileMethod TileMethod() const { return tileMethod_; }
    void SetTileMethod(TTileMethod method);
    // Sets the image list of IndexImage.
    void SetDIBImageList(TDIBImageList* list) { IndexImage.SetDIBImageList(list); }

protected:
    void PaintBackground(TWinDIB& picture, const platform::Rect& area) override;

private:
    TTileMethod tileMethod_ = TTileMethod::tmCenter;
};

} // namespace skin
