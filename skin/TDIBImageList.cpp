#include "skin/TDIBImageList.h"

#include "skin/TDIBImageLink.h"

#include <algorithm>

namespace skin {

TDIBImageList::TDIBImageList(TComponent* owner) : TComponent(owner) {}

TDIBImageList::~TDIBImageList() {
    // Links outlive the list in many forms (destruction order of members); they must not point here.
    const auto links = links_;
    links_.clear();
    for (TDIBImageLink* link : links) {
        link->list_ = nullptr;
        link->Changed();
    }
}

TDIBImagesItem* TDIBImageList::Item(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return DIBImages[static_cast<std::size_t>(index)].get();
}

TDIBImagesItem& TDIBImageList::Add() {
    DIBImages.push_back(std::make_unique<TDIBImagesItem>());
    TDIBImagesItem& item = *DIBImages.back();
    item.DIB.OnChange = [this](TAbstractSuperDIB&) { Changed(); };
    Changed();
    return item;
}

void TDIBImageList::Delete(int index) {
    if (index < 0 || index >= Count())
        return;
    DIBImages.erase(DIBImages.begin() + index);
    Changed();
}

void TDIBImageList::Clear() {
    if (DIBImages.empty())
        return;
    DIBImages.clear();
    Changed();
}

void TDIBImageList::Changed() {
    // A handler may attach or detach links; walk a copy.
    const auto links = links_;
    for (TDIBImageLink* link : links)
        if (std::find(links_.begin(), links_.end(), link) != links_.end())
            link->Changed();
}

void TDIBImageList::RemoveLink(TDIBImageLink* link) {
    std::erase(links_, link);
}

} // namespace skin
