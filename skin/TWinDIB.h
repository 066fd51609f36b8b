#pragma once

#include "skin/TAbstractSuperDIB.h"

#include <vector>

namespace skin {

// A bitmap the windowing system can show directly: on Windows a 32-bit bottom-up DIB section, on
// other systems plain memory with the same layout (the platform layer presents it). Used for the
// controls' work pictures and the containers' off-screen pictures.
class TCustomWinDIB : public TAbstractSuperDIB {
public:
    TCustomWinDIB() = default;
    TCustomWinDIB(int width, int height) { SetSize(width, height); }
    ~TCustomWinDIB() override;

#ifdef _WIN32
    // The DIB section (an HBITMAP), or null for an empty bitmap.
    void* Handle() const {
        return section_;
    }
#endif

protected:
    TPixel32* AllocatePixels(int width, int height) override;
    void ReleasePixels() override;

private:
#ifdef _WIN32
    void* section_ = nullptr;
#else
    std::vector<TPixel32> memory_;
#endif
};

class TWinDIB : public TCustomWinDIB {
public:
    using TCustomWinDIB::TCustomWinDIB;
};

} // namespace skin
