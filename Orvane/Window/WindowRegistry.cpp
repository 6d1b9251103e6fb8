#include "WindowRegistry.h"

#include <Glow.h>

#include <algorithm>

namespace orvane {

WindowRegistry& WindowRegistry::shared()
{
    static WindowRegistry registry;
    return registry;
}

int WindowRegistry::nextNumber() const
{
    for (int n = 1;; ++n)
        if (std::none_of(numbers_.begin(), numbers_.end(), [n](const auto& e) { return e.second.number == n; }))
            return n;
}

WindowRegistry::Entry WindowRegistry::registerView(const void* view)
{
    if (const auto known = entry(view))
        return *known;
    const int themes = int(Glow::all().size());
    // With more windows than themes (the application opens at most six) the glows repeat.
    int glow = (nextNumber() - 1) % themes;
    for (int g = 0; g < themes; ++g) {
        if (std::none_of(numbers_.begin(), numbers_.end(), [g](const auto& e) { return e.second.glow == g; })) {
            glow = g;
            break;
        }
    }
    const Entry made{nextNumber(), glow};
    numbers_[view] = made;
    return made;
}

void WindowRegistry::setGlow(int glow, const void* view)
{
    if (const auto it = numbers_.find(view); it != numbers_.end())
        it->second.glow = glow;
}

void WindowRegistry::unregister(const void* view)
{
    numbers_.erase(view);
}

std::optional<WindowRegistry::Entry> WindowRegistry::entry(const void* view) const
{
    const auto it = numbers_.find(view);
    if (it == numbers_.end())
        return std::nullopt;
    return it->second;
}

}  // namespace orvane
