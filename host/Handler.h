#pragma once

namespace host {

// A handler: an operation plus its target object, possibly empty. Calling an empty handler does
// nothing. The handler never owns its target. Bind a member function with
//   ParameterChanged = host::Handler<VstInt32>::Of<&TPlugin::OnParameterChanged>(this);
template <typename... Args> class Handler {
public:
    Handler() noexcept = default;

    template <auto Method, typename Target> static Handler Of(Target* target) noexcept {
        Handler handler;
        handler.target_ = target;
        handler.call_ = [](void* t, Args... args) { (static_cast<Target*>(t)->*Method)(args...); };
        return handler;
    }

    explicit operator bool() const noexcept { return call_ != nullptr; }
    void operator()(Args... args) const {
        if (call_ != nullptr)
            call_(target_, args...);
    }

private:
    void* target_ = nullptr;
    void (*call_)(void*, Args...) = nullptr;
};

} // namespace host
