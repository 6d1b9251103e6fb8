#include "TmuxModel.h"

#include <algorithm>
#include <climits>
#include <limits>

namespace orvane {

namespace {

// A decimal number of one or more digits that fits in T.
template <typename T>
std::optional<T> number(std::string_view s)
{
    if (s.empty())
        return std::nullopt;
    uint64_t v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + uint64_t(c - '0');
        if (v > uint64_t(std::numeric_limits<T>::max()))
            return std::nullopt;
    }
    return T(v);
}

std::optional<uint32_t> taggedId(std::string_view s, char tag)
{
    if (s.empty() || s[0] != tag)
        return std::nullopt;
    return number<uint32_t>(s.substr(1));
}

// Splits at "|" into at most `maxSplits` + 1 fields; the last keeps any further "|".
std::vector<std::string_view> fields(std::string_view s, size_t maxSplits)
{
    std::vector<std::string_view> out;
    while (out.size() < maxSplits) {
        const auto bar = s.find('|');
        if (bar == std::string_view::npos)
            break;
        out.push_back(s.substr(0, bar));
        s.remove_prefix(bar + 1);
    }
    out.push_back(s);
    return out;
}

class LayoutParser {
public:
    explicit LayoutParser(std::string_view s) : s_(s) {}

    std::optional<LayoutNode> parse()
    {
        auto node = parseNode(0);
        if (!node || pos_ != s_.size())
            return std::nullopt;
        return node;
    }

private:
    static constexpr int kMaxDepth = 64;

    bool expect(char c)
    {
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    template <typename T>
    std::optional<T> readNumber()
    {
        const size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9')
            ++pos_;
        return number<T>(s_.substr(start, pos_ - start));
    }
    std::optional<LayoutNode> parseNode(int depth)
    {
        if (depth > kMaxDepth)
            return std::nullopt;
        const auto cols = readNumber<int>();
        if (!cols || !expect('x'))
            return std::nullopt;
        const auto rows = readNumber<int>();
        if (!rows || !expect(',') || !readNumber<int>() || !expect(',') || !readNumber<int>())
            return std::nullopt;
        if (expect(',')) {
            const auto id = readNumber<uint32_t>();
            if (!id)
                return std::nullopt;
            return LayoutNode::leaf({*id, *cols, *rows});
        }
        char close;
        if (expect('{'))
            close = '}';
        else if (expect('['))
            close = ']';
        else
            return std::nullopt;
        std::vector<LayoutNode> kids;
        do {
            auto kid = parseNode(depth + 1);
            if (!kid)
                return std::nullopt;
            kids.push_back(std::move(*kid));
        } while (expect(','));
        if (!expect(close))
            return std::nullopt;
        return LayoutNode::split(close == ']', *cols, *rows, std::move(kids));
    }

    std::string_view s_;
    size_t pos_ = 0;
};

void collectLeaves(const LayoutNode& n, std::vector<PaneSize>& out)
{
    if (n.kind == LayoutNode::Kind::Leaf) {
        out.push_back(n.pane);
        return;
    }
    for (const auto& k : n.kids)
        collectLeaves(k, out);
}

}  // namespace

std::optional<LayoutNode> parseLayout(std::string_view layout)
{
    const auto comma = layout.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    return LayoutParser(layout.substr(comma + 1)).parse();
}

Shape shape(const LayoutNode& node)
{
    if (node.kind == LayoutNode::Kind::Leaf)
        return {Shape::Kind::Single, {node.pane}};
    if (node.vertical && node.kids.size() == 2 && node.kids[0].kind == LayoutNode::Kind::Leaf &&
        node.kids[1].kind == LayoutNode::Kind::Leaf)
        return {Shape::Kind::Stack, {node.kids[0].pane, node.kids[1].pane}};
    Shape s{Shape::Kind::Other, {}};
    collectLeaves(node, s.panes);
    return s;
}

std::vector<WinInfo> parseWindows(const std::vector<std::string>& rows)
{
    std::vector<WinInfo> out;
    for (const std::string& row : rows) {
        if (!std::string_view(row).starts_with("W|"))
            continue;
        const auto f = fields(std::string_view(row).substr(2), 4);
        if (f.size() != 5)
            continue;
        const auto id = taggedId(f[0], '@');
        const auto index = number<int>(f[1]);
        const auto layout = parseLayout(f[3]);
        if (!id || !index || !layout)
            continue;
        out.push_back({*id, *index, f[2] == "1", std::string(f[4]), shape(*layout)});
    }
    std::stable_sort(out.begin(), out.end(), [](const WinInfo& a, const WinInfo& b) { return a.index < b.index; });
    return out;
}

std::vector<PaneInfo> parsePanes(const std::vector<std::string>& rows)
{
    std::vector<PaneInfo> out;
    for (const std::string& row : rows) {
        if (!std::string_view(row).starts_with("P|"))
            continue;
        const auto f = fields(std::string_view(row).substr(2), SIZE_MAX);
        if (f.size() != 5)
            continue;
        const auto win = taggedId(f[0], '@');
        const auto id = taggedId(f[1], '%');
        const auto x = number<int>(f[3]);
        const auto y = number<int>(f[4]);
        if (!win || !id || !x || !y)
            continue;
        out.push_back({*win, *id, f[2] == "1", *x, *y});
    }
    return out;
}

std::vector<SessionInfo> parseSessions(const std::vector<std::string>& rows)
{
    std::vector<SessionInfo> out;
    for (const std::string& row : rows) {
        if (!std::string_view(row).starts_with("S|"))
            continue;
        const auto f = fields(std::string_view(row).substr(2), 4);
        if (f.size() != 5)
            continue;
        const auto windows = number<int64_t>(f[0]);
        const auto attached = number<int64_t>(f[1]);
        const auto activity = number<int64_t>(f[2]);
        if (!windows || !attached || !activity)
            continue;
        out.push_back({std::string(f[3]), std::string(f[4]), *windows, *attached, *activity});
    }
    std::stable_sort(out.begin(), out.end(), [](const SessionInfo& a, const SessionInfo& b) {
        if (a.activity != b.activity)
            return a.activity > b.activity;
        return a.name < b.name;
    });
    return out;
}

std::vector<PaneSize> paneSizes(const std::vector<WinInfo>& windows)
{
    std::vector<PaneSize> out;
    for (const auto& w : windows)
        out.insert(out.end(), w.shape.panes.begin(), w.shape.panes.end());
    return out;
}

std::vector<WinView> windowViews(const std::vector<WinInfo>& windows, const std::vector<PaneInfo>& panes)
{
    std::vector<WinView> out;
    for (const auto& w : windows) {
        std::optional<uint32_t> active;
        for (const auto& p : panes) {
            if (p.win == w.id && p.active) {
                active = p.id;
                break;
            }
        }
        WinView v{w.id, w.name, w.active, {}, {}, 0};
        if (w.shape.kind == Shape::Kind::Other) {
            if (w.shape.panes.empty())
                continue;
            auto shown = std::find_if(w.shape.panes.begin(), w.shape.panes.end(),
                                      [&](const PaneSize& p) { return active && p.id == *active; });
            if (shown == w.shape.panes.end())
                shown = w.shape.panes.begin();
            v.panes = {shown->id};
            v.rows = {shown->rows};
        } else {
            for (const auto& p : w.shape.panes) {
                v.panes.push_back(p.id);
                v.rows.push_back(p.rows);
            }
        }
        if (active) {
            const auto at = std::find(v.panes.begin(), v.panes.end(), *active);
            if (at != v.panes.end())
                v.focus = int(at - v.panes.begin());
        }
        out.push_back(std::move(v));
    }
    return out;
}

std::string ago(int64_t now, int64_t then)
{
    const int64_t seconds = now - then;
    if (seconds < 60)
        return "just now";
    const int64_t minutes = seconds / 60, hours = seconds / 3600, days = seconds / 86400;
    auto phrase = [](int64_t n, const char* unit) { return std::to_string(n) + " " + unit + " ago"; };
    if (days >= 365)
        return phrase(days / 365, "yr.");
    if (days * 12 / 365 >= 1)
        return phrase(days * 12 / 365, "mo.");
    if (days >= 7)
        return phrase(days / 7, "wk.");
    if (days >= 1)
        return phrase(days, days == 1 ? "day" : "days");
    if (hours >= 1)
        return phrase(hours, "hr.");
    return phrase(minutes, "min.");
}

}  // namespace orvane
