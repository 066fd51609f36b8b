#pragma once

#include "tools/validate/Session.h"

#include <memory>

namespace validate {

class Lv2Binary;

// The LV2 processor under test, driven as an LV2 host drives it (Linux only): instances made with and
// without features and block-length options, ports connected, in place and crossed, atom ports left
// unconnected, control ports written with any value, runs of any length up to the announced maximum with
// time positions and the interface's messages at frames inside them, activations, states saved and
// restored. After every call the checks of a VST 2 session where they apply (guards and every frame
// written, inputs unchanged, output finite and bounded, no allocation in connect_port or run, the
// floating-point state given back), and what LV2 adds: the control ports and the control sequence
// unchanged by run, the notify sequence well formed and within its buffer, the saved state usable.
// Sound steps run long-lived instances in random blocks against whole blocks, bit for bit, and where a
// VST 2 binary of the same effect is given, against it too.
class Lv2Session final : public HostSession {
public:
    // vst2: the VST 2 binary's entry point, or null for no comparison.
    Lv2Session(const Lv2Binary& binary, const SessionOptions& options, testhost::EntryPoint vst2);
    ~Lv2Session() override;
    Lv2Session(const Lv2Session&) = delete;
    Lv2Session& operator=(const Lv2Session&) = delete;

    std::optional<Finding> Start() override;
    std::optional<Finding> Execute(const Step& step, Role role = Role::Main) override;
    void SetParent(Role, EditorParent*) override {} // the interface is another binary, not driven here

    PluginShape Shape() const override;
    const SessionCounts& Counts(Role role = Role::Main) const override;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace validate
