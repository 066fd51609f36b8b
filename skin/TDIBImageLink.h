#pragma once

#include <functional>

namespace skin {

class TDIBImageList;
class TMemoryDIB;

// A reference to one image of an image list: the list and an index into it (-1 for none). The link
// follows its list: it reports changes of the list's images through OnChange and forgets a list
// that is destroyed.
class TDIBImageLink {
public:
    TDIBImageLink() = default;
    ~TDIBImageLink();
    TDIBImageLink(const TDIBImageLink&) = delete;
    TDIBImageLink& operator=(const TDIBImageLink&) = delete;

    TDIBImageList* DIBImageList() const { return list_; }
    void SetDIBImageList(TDIBImageList* list);
    int DIBIndex() const { return index_; }
    void SetDIBIndex(int index);
    // Sets list and index together (one change report).
    void Assign(TDIBImageList* list, int index);

    // The image named, or null without a list or with an index outside the list.
    TMemoryDIB* GetImage() const;
    bool Valid() const { return GetImage() != nullptr; }

    // Raised when the list, the index or the linked list's images change.
    std::function<void()> OnChange;

private:
    friend class TDIBImageList;
    void Changed() {
        if (OnChange)
            OnChange();
    }
    void Attach(TDIBImageList* list);

    TDIBImageList* list_ = nullptr;
    int index_ = -1;
};

} // namespace skin
