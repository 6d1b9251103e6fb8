// Gives each open window a small number (shown in its tab strip, keying its saved frame and
// look) and a glow theme. Windows are known by their content view's address.
#pragma once

#include <map>
#include <optional>

namespace orvane {

class WindowRegistry {
public:
    struct Entry {
        int number = 0;
        int glow = 0;

        friend bool operator==(const Entry&, const Entry&) = default;
    };

    // The process-wide registry, made on first use (main thread only).
    static WindowRegistry& shared();

    // Number: the smallest n >= 1 no window uses; glow: the smallest theme index no window
    // uses. A view registered again keeps its entry.
    Entry registerView(const void* view);
    // The smallest number >= 1 that no window uses.
    int nextNumber() const;
    // Replaces the view's glow, keeping its number; nothing for a view that is not registered.
    void setGlow(int glow, const void* view);
    void unregister(const void* view);

    std::optional<Entry> entry(const void* view) const;
    const std::map<const void*, Entry>& numbers() const { return numbers_; }

private:
    std::map<const void*, Entry> numbers_;
};

}  // namespace orvane
