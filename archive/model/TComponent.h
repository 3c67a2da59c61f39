// The root of the engine's component classes: a name, an owner, and the loading state that the
// property setters consult ("while the component is being loaded from a form").
#pragma once

#include <string>

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr) : owner_(owner) {}
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    virtual ~TComponent() = default;

    std::string Name;

    TComponent* Owner() const { return owner_; }

    // A component is loading between BeginLoading and EndLoading; setters that must not act on
    // stored form values test IsLoading.
    bool IsLoading() const { return loading_; }
    void BeginLoading() { loading_ = true; }
    void EndLoading() {
        loading_ = false;
        Loaded();
    }

protected:
    // Called once loading has ended, for components that settle their state then.
    virtual void Loaded() {}

private:
    TComponent* owner_;
    bool loading_ = false;
};
