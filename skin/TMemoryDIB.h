#pragma once

#include "skin/TAbstractSuperDIB.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace skin {

// A bitmap in plain memory, the kind the image list keeps its skin pictures in. Besides its pixels
// it remembers the names of the image and mask files it was made from, and it can store itself as a
// block of bytes (the "Data" of a stored form) and be loaded back from one.
class TCustomMemoryDIB : public TAbstractSuperDIB {
public:
    TCustomMemoryDIB() = default;
    TCustomMemoryDIB(int width, int height) { SetSize(width, height); }
    ~TCustomMemoryDIB() override = default;

    std::string ImageFilename;
    std::string MaskFilename;

    // Size, settings and pixels as bytes; see TMemoryDIB.cpp for the layout.
    std::vector<std::uint8_t> SaveData() const;
    // Replaces size, settings and pixels from SaveData's bytes. Returns false and changes nothing
    // when the bytes are not such a block (wrong tag, truncated, absurd size).
    bool LoadData(std::span<const std::uint8_t> data);

protected:
    TPixel32* AllocatePixels(int width, int height) override;
    void ReleasePixels() override;

private:
    std::vector<TPixel32> memory_;
};

class TMemoryDIB : public TCustomMemoryDIB {
public:
    using TCustomMemoryDIB::TCustomMemoryDIB;
};

} // namespace skin
