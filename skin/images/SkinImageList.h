#pragma once
// Fills the control kit's image list with the editor's skin, in image-list order, so that a control's
// image index is the index of the picture in kImageList.
#include "skin/TDIBImageList.h"

namespace skin::images {

// Replaces the list's images with the 19 skin pictures, each at 100 % scale and opacity 255, masked
// as the list gives. A picture that cannot be decoded becomes an empty image at its place, so every
// other index stays right and the controls that use it just draw nothing. Returns the number of
// pictures loaded (19 when the skin is complete).
int FillImageList(TDIBImageList& list);

} // namespace skin::images
