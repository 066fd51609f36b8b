#pragma once

#include <cstdint>
#include <string_view>

namespace host {

// What the host is shown about one parameter: its name, unit label and the mapping from the stored
// 0..1 value to the displayed real value, with an optional two-stage display smoother.
class TVstParameterProperty {
public:
    static constexpr int kNameSize = 31; // up to 30 characters and the terminating NUL
    static constexpr int kLabelSize = 9; // up to 8 characters and the terminating NUL

    // Curve kinds. Only the linear kind (0..1 onto Min..Max) is defined; any other kind maps the
    // same way, so a record with an unknown kind still shows a sensible value. The curve factor is
    // kept for the non-linear kinds a later effect may define.
    enum : std::uint8_t { kCurveLinear = 0 };

    // A fresh record: "Parameter <index>", range 0..1, linear, no smoothing, empty label.
    explicit TVstParameterProperty(int index) noexcept;

    // Copy a text into the name or label, cut to the field's capacity.
    void SetName(std::string_view name) noexcept;
    void SetLabel(std::string_view label) noexcept;

    // The real value for a stored 0..1 value, through the curve but without smoothing.
    float RealValue(float value) const noexcept;
    // The inverse of RealValue.
    float NormalizedValue(float realValue) const noexcept;
    // Advances the display smoother one step towards realValue and answers its output.
    float Smooth(float realValue) noexcept;

    float SmoothingState1 = 0.0f;
    float SmoothingState2 = 0.0f;
    float Min = 0.0f;
    float Max = 1.0f;
    std::uint8_t CurveKind = kCurveLinear;
    float CurveFactor = 1.0f;
    char Name[kNameSize] = {};
    char Label[kLabelSize] = {};
    float SmoothingCoefficient = 1.0f;
};

} // namespace host
