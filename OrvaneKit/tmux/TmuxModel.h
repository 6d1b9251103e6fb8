// The model of a tmux session as the user interface shows it, and the parsers of tmux's
// layout strings and window, pane and session listings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct PaneSize {
    uint32_t id = 0;
    int cols = 0;
    int rows = 0;
    friend bool operator==(const PaneSize&, const PaneSize&) = default;
};

// A parsed layout: a pane, or a split whose children stand side by side or stacked.
struct LayoutNode {
    enum class Kind : uint8_t { Leaf, Split };
    Kind kind = Kind::Leaf;
    PaneSize pane;              // Leaf
    bool vertical = false;      // Split: children top to bottom
    int cols = 0;               // Split
    int rows = 0;               // Split
    std::vector<LayoutNode> kids;

    static LayoutNode leaf(PaneSize p) { return {Kind::Leaf, p, false, 0, 0, {}}; }
    static LayoutNode split(bool vertical, int cols, int rows, std::vector<LayoutNode> kids)
    {
        return {Kind::Split, {}, vertical, cols, rows, std::move(kids)};
    }
    friend bool operator==(const LayoutNode&, const LayoutNode&) = default;
};

// How a window is shown: one pane, two panes stacked (top first), or anything else.
struct Shape {
    enum class Kind : uint8_t { Single, Stack, Other };
    Kind kind = Kind::Single;
    std::vector<PaneSize> panes;  // 1 for Single, 2 for Stack, every pane for Other
    friend bool operator==(const Shape&, const Shape&) = default;
};

struct WinInfo {
    uint32_t id = 0;
    int index = 0;
    bool active = false;
    std::string name;
    Shape shape;
    friend bool operator==(const WinInfo&, const WinInfo&) = default;
};

struct PaneInfo {
    uint32_t win = 0;
    uint32_t id = 0;
    bool active = false;
    int cursorX = 0;
    int cursorY = 0;
    friend bool operator==(const PaneInfo&, const PaneInfo&) = default;
};

// One tab: a window with the one or two panes it shows.
struct WinView {
    uint32_t id = 0;
    std::string name;
    bool active = false;
    std::vector<uint32_t> panes;
    std::vector<int> rows;
    int focus = 0;
    friend bool operator==(const WinView&, const WinView&) = default;
};

struct SessionInfo {
    std::string id;  // with its "$"
    std::string name;
    int64_t windows = 0;
    int64_t attached = 0;
    int64_t activity = 0;  // seconds since 1970
    friend bool operator==(const SessionInfo&, const SessionInfo&) = default;
};

std::optional<LayoutNode> parseLayout(std::string_view layout);
Shape shape(const LayoutNode& node);
std::vector<WinInfo> parseWindows(const std::vector<std::string>& rows);
std::vector<PaneInfo> parsePanes(const std::vector<std::string>& rows);
std::vector<SessionInfo> parseSessions(const std::vector<std::string>& rows);
std::vector<PaneSize> paneSizes(const std::vector<WinInfo>& windows);
std::vector<WinView> windowViews(const std::vector<WinInfo>& windows, const std::vector<PaneInfo>& panes);
// The age of a session's last activity: "just now", "5 min. ago", "3 hr. ago", "2 days ago"...
std::string ago(int64_t now, int64_t then);

}  // namespace orvane
