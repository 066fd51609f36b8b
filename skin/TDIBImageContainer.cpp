#include "skin/TDIBImageContainer.h"

#include "skin/TMemoryDIB.h"

namespace skin {

TDIBImageContainer::TDIBImageContainer(TComponent* owner) : TCustomDIBContainer(owner) {
    IndexImage.OnChange = [this] { Invalidate(); };
}

void TDIBImageContainer::SetTileMethod(TTileMethod method) {
    if (method == tileMethod_)
        return;
    tileMethod_ = method;
    Invalidate();
}

void TDIBImageContainer::PaintBackground(TWinDIB& picture, const platform::Rect& area) {
    TCustomDIBContainer::PaintBackground(picture, area);
    const TMemoryDIB* image = IndexImage.GetImage();
    if (!image || image->Width() == 0 || image->Height() == 0)
        return;
    if (tileMethod_ == TTileMethod::tmCenter) {
        image->Draw(picture, (Width() - image->Width()) / 2, (Height() - image->Height()) / 2);
        return;
    }
    // Tiles that touch the painted area only; the clip rectangle cuts the rest.
    const int w = image->Width(), h = image->Height();
    for (int y = area.top / h * h; y < area.bottom; y += h)
        for (int x = area.left / w * w; x < area.right; x += w)
            image->Draw(picture, x, y);
}

} // namespace skin
