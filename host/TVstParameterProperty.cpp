#include "host/TVstParameterProperty.h"

#include "host/Text.h"

#include <cstdio>

namespace host {

TVstParameterProperty::TVstParameterProperty(int index) noexcept {
    char name[kNameSize];
    std::snprintf(name, sizeof name, "Parameter %d", index);
    SetName(name);
}

void TVstParameterProperty::SetName(std::string_view name) noexcept {
    CopyText(Name, name, sizeof Name);
}
void TVstParameterProperty::SetLabel(std::string_view label) noexcept {
    CopyText(Label, label, sizeof Label);
}

float TVstParameterProperty::RealValue(float value) const noexcept {
    return Min + (Max - Min) * value;
}

float TVstParameterProperty::NormalizedValue(float realValue) const noexcept {
    return (realValue - Min) / (Max - Min);
}

float TVstParameterProperty::Smooth(float realValue) noexcept {
    SmoothingState1 = SmoothingState1 + (realValue - SmoothingState1) * SmoothingCoefficient;
    SmoothingState2 = SmoothingState2 + (SmoothingState1 - SmoothingState2) * SmoothingCoefficient;
    return SmoothingState2;
}

} // namespace host
