#include "skin/TMemoryDIB.h"

#include <cmath>
#include <cstring>

namespace skin {

// Stored layout, all integers little-endian:
//   "VDIB", u32 version 1, i32 width, i32 height, u8 masked, u8 transparent, u8 opacity,
//   u8 transparent mode, u32 transparent colour, f64 angle, f64 scale x, f64 scale y,
//   then width * height pixels, bottom row first, 4 bytes each (blue, green, red, alpha).
namespace {

constexpr std::uint8_t kTag[4] = {'V', 'D', 'I', 'B'};
constexpr std::size_t kHeaderSize = 4 + 4 + 4 + 4 + 4 + 4 + 8 * 3;
constexpr std::int64_t kMaxPixels = 64 * 1024 * 1024;

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutF64(std::vector<std::uint8_t>& out, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutU32(out, static_cast<std::uint32_t>(bits));
    PutU32(out, static_cast<std::uint32_t>(bits >> 32));
}

std::uint32_t GetU32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

double GetF64(const std::uint8_t* p) {
    const std::uint64_t bits = GetU32(p) | (static_cast<std::uint64_t>(GetU32(p + 4)) << 32);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

} // namespace

TPixel32* TCustomMemoryDIB::AllocatePixels(int width, int height) {
    memory_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    return memory_.data();
}

void TCustomMemoryDIB::ReleasePixels() {
    std::vector<TPixel32>().swap(memory_);
}

std::vector<std::uint8_t> TCustomMemoryDIB::SaveData() const {
    std::vector<std::uint8_t> out(kTag, kTag + 4);
    PutU32(out, 1);
    PutU32(out, static_cast<std::uint32_t>(Width()));
    PutU32(out, static_cast<std::uint32_t>(Height()));
    out.push_back(Masked());
    out.push_back(Transparent());
    out.push_back(Opacity());
    out.push_back(TransparentMode() == TTransparentMode::tmFixed);
    PutU32(out, FixedTransparentColor());
    PutF64(out, Angle());
    PutF64(out, ScaleX());
    PutF64(out, ScaleY());
    const std::size_t count = static_cast<std::size_t>(Width()) * Height();
    for (std::size_t i = 0; i < count; ++i)
        PutU32(out, Bits()[i]);
    return out;
}

bool TCustomMemoryDIB::LoadData(std::span<const std::uint8_t> data) {
    if (data.size() < kHeaderSize || std::memcmp(data.data(), kTag, 4) != 0 || GetU32(&data[4]) != 1)
        return false;
    const auto width = static_cast<std::int32_t>(GetU32(&data[8]));
    const auto height = static_cast<std::int32_t>(GetU32(&data[12]));
    if (width < 0 || height < 0 || static_cast<std::int64_t>(width) * height > kMaxPixels)
        return false;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (data.size() != kHeaderSize + 4 * count)
        return false;
    const std::uint8_t* p = &data[16];
    const bool masked = p[0] != 0, transparent = p[1] != 0;
    const std::uint8_t opacity = p[2];
    const bool fixed = p[3] != 0;
    const TColor color = GetU32(p + 4);
    const double angle = GetF64(p + 8), scaleX = GetF64(p + 16), scaleY = GetF64(p + 24);

    SetSize(width, height);
    BeginUpdate();
    const std::uint8_t* px = data.data() + kHeaderSize;
    for (std::size_t i = 0; i < count; ++i)
        Bits()[i] = GetU32(px + 4 * i);
    SetMasked(masked);
    SetTransparent(transparent && !masked);
    SetOpacity(opacity);
    SetTransparentMode(fixed ? TTransparentMode::tmFixed : TTransparentMode::tmAuto);
    SetTransparentColor(color);
    SetAngle(angle);
    SetScaleX(std::isfinite(scaleX) ? scaleX : 100);
    SetScaleY(std::isfinite(scaleY) ? scaleY : 100);
    EndUpdate();
    return true;
}

} // namespace skin
