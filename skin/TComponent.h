#pragma once

#include <string>
#include <vector>

namespace skin {

// The kit's component base: a name, a Tag and an owner. The owner link is for lookup only (the
// controls a container holds, the buttons that share a group): it never owns. Whoever creates a
// component keeps it alive, usually as a member of the form; a component leaves its owner's list
// when it is destroyed, and the components of a destroyed owner simply lose their owner.
class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    // The components this one owns, in creation order.
    const std::vector<TComponent*>& Components() const { return components_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }

    std::string Name;
    int Tag = 0;

private:
    TComponent* owner_;
    std::vector<TComponent*> components_;
};

} // namespace skin
