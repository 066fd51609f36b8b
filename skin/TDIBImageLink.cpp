#include "skin/TDIBImageLink.h"

#include "skin/TDIBImageList.h"

namespace skin {

TDIBImageLink::~TDIBImageLink() {
    if (list_)
        list_->RemoveLink(this);
}

void TDIBImageLink::Attach(TDIBImageList* list) {
    if (list == list_)
        return;
    if (list_)
        list_->RemoveLink(this);
    list_ = list;
    if (list_)
        list_->AddLink(this);
}

void TDIBImageLink::SetDIBImageList(TDIBImageList* list) {
    if (list == list_)
        return;
    Attach(list);
    Changed();
}

void TDIBImageLink::SetDIBIndex(int index) {
    if (index < -1)
        index = -1;
    if (index == index_)
        return;
    index_ = index;
    Changed();
}

void TDIBImageLink::Assign(TDIBImageList* list, int index) {
    if (index < -1)
        index = -1;
    if (list == list_ && index == index_)
        return;
    Attach(list);
    index_ = index;
    Changed();
}

TMemoryDIB* TDIBImageLink::GetImage() const {
    if (!list_ || index_ < 0)
        return nullptr;
    TDIBImagesItem* item = list_->Item(index_);
    return item ? &item->DIB : nullptr;
}

} // namespace skin
