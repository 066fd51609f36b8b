#pragma once

#include "skin/TComponent.h"
#include "skin/TMemoryDIB.h"

#include <memory>
#include <string>
#include <vector>

namespace skin {

class TDIBImageLink;

// One image of an image list. Its bitmap carries the size, mask flag, opacity, scale, transparency
// settings and pixels.
class TDIBImagesItem {
public:
    TMemoryDIB DIB;
    std::string DisplayName;
};

// The ordered images that skin a form. Controls refer to them by index through image links; every
// link attached to the list hears of changes to its images, and of the list's destruction.
class TDIBImageList : public TComponent {
public:
    explicit TDIBImageList(TComponent* owner = nullptr);
    ~TDIBImageList() override;

    int Count() const { return static_cast<int>(DIBImages.size()); }
    // The item at index, or null outside the list.
    TDIBImagesItem* Item(int index) const;
    // Appends an empty image and answers it.
    TDIBImagesItem& Add();
    // Removes the item at index (nothing outside the list); later items move down one place.
    void Delete(int index);
    void Clear();
    // Tells every linked control that the images changed (after pixels were written directly).
    void Changed();

private:
    friend class TDIBImageLink;
    void AddLink(TDIBImageLink* link) { links_.push_back(link); }
    void RemoveLink(TDIBImageLink* link);

    std::vector<std::unique_ptr<TDIBImagesItem>> DIBImages;
    std::vector<TDIBImageLink*> links_;
};

} // namespace skin
