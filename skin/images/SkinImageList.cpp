#include "skin/images/SkinImageList.h"

#include "skin/images/SkinImages.h"

#include <cstring>
#include <string>

namespace skin::images {

int FillImageList(TDIBImageList& list) {
    list.Clear();
    int loaded = 0;
    for (std::size_t i = 0; i < kImageList.size(); ++i) {
        const ImageInfo& info = kImageList[i];
        TDIBImagesItem& item = list.Add();
        item.DisplayName = std::string(info.name);
        item.DIB.ImageFilename = item.DisplayName + ".png";
        const auto image = Load(static_cast<int>(i));
        item.DIB.BeginUpdate();
        if (image) {
            item.DIB.SetSize(image->width, image->height);
            std::memcpy(item.DIB.Bits(), image->pixels.data(), image->pixels.size());
            ++loaded;
        }
        item.DIB.SetMasked(info.masked);
        item.DIB.EndUpdate();
    }
    list.Changed();
    return loaded;
}

} // namespace skin::images
