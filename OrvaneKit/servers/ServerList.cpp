#include "ServerList.h"

#include "Transports.h"

#include <QString>
#include <QStringList>

namespace orvane {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

// Lines at line feeds, empty ones kept: a text ending in a line feed has an empty last line.
std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (;;) {
        const auto lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
}

// The lines of a text being edited: without the empty line after a final line feed.
std::vector<std::string> editableLines(std::string_view text)
{
    const auto views = splitLines(text);
    std::vector<std::string> lines(views.begin(), views.end());
    if (lines.back().empty())
        lines.pop_back();
    return lines;
}

// Lines joined by line feeds, with one final line feed (also when there is no line).
std::string joinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += lines[i];
    }
    return text + '\n';
}

// A carriage return before the line feed belongs to the line end (files written on Windows).
std::string_view withoutCR(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::optional<Server> readLine(std::string_view raw, int index)
{
    std::string_view s = trimmed(withoutCR(raw));
    if (s.empty() || s.front() == '#')
        return std::nullopt;
    bool tmux = true;
    if (const auto bar = s.rfind('|');
        bar != std::string_view::npos && trimmed(s.substr(bar + 1)) == "plain") {
        tmux = false;
        s = trimmed(s.substr(0, bar));
    }
    std::string_view name = s;
    std::string_view target = s;
    if (const auto eq = s.find('='); eq != std::string_view::npos) {
        name = trimmed(s.substr(0, eq));
        target = trimmed(s.substr(eq + 1));
    }
    if (!validTarget(target))
        return std::nullopt;
    return Server{std::string(name), std::string(target), true, index, tmux};
}

// Every line-break character (LF, VT, FF, CR, NEL, LS, PS) and the extra bytes in `also`
// replaced by a space.
std::string withoutLineBreaks(std::string_view s, std::string_view also = {})
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\n' || c == '\v' || c == '\f' || c == '\r' || also.find(c) != std::string_view::npos) {
            out += ' ';
        } else if (s.substr(i, 2) == "\xc2\x85") {
            out += ' ';
            i += 1;
        } else if (s.substr(i, 3) == "\xe2\x80\xa8" || s.substr(i, 3) == "\xe2\x80\xa9") {
            out += ' ';
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::string Server::id() const
{
    return own ? "own:" + std::to_string(line) : "ssh:" + name;
}

std::vector<Server> parseOwnServers(std::string_view text)
{
    std::vector<Server> servers;
    const auto lines = splitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto server = readLine(lines[i], int(i)))
            servers.push_back(std::move(*server));
    }
    return servers;
}

std::string serverLine(std::string_view name, std::string_view target, bool tmux)
{
    const std::string cleanedName = withoutLineBreaks(name, "=");
    std::string_view n = trimmed(cleanedName);
    // "#" first would turn the line into a comment and the server would vanish.
    while (!n.empty() && n.front() == '#')
        n = trimmed(n.substr(1));
    const std::string t = withoutLineBreaks(target);
    std::string line = !n.empty() && n != t ? std::string(n) + " = " + t : t;
    if (!tmux)
        line += " | plain";
    return line;
}

std::string editServerLines(std::string_view text, std::optional<int> line,
                            const std::optional<std::pair<std::string, std::string>>& entry, bool tmux)
{
    auto lines = editableLines(text);
    const bool inside = line && *line >= 0 && size_t(*line) < lines.size();
    if (entry) {
        std::string newLine = serverLine(entry->first, entry->second, tmux);
        if (!line)
            lines.push_back(std::move(newLine));
        else if (inside)
            lines[size_t(*line)] = std::move(newLine);
    } else if (inside) {
        lines.erase(lines.begin() + *line);
    }
    return joinLines(lines);
}

std::string reorderedServerLines(std::string_view text, const std::vector<Server>& newOrder)
{
    const auto current = parseOwnServers(text);
    if (current.size() != newOrder.size() || current.size() < 2)
        return std::string(text);
    auto lines = editableLines(text);
    for (size_t i = 0; i < current.size(); ++i) {
        const size_t slot = size_t(current[i].line);
        if (slot < lines.size())
            lines[slot] = serverLine(newOrder[i].name, newOrder[i].target, newOrder[i].tmux);
    }
    return joinLines(lines);
}

std::vector<Server> filterServers(const std::vector<Server>& servers, std::string_view query)
{
    const QStringList words =
        QString::fromUtf8(query.data(), qsizetype(query.size())).toLower().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return servers;
    std::vector<Server> matches;
    for (const auto& server : servers) {
        const QString text = QString::fromStdString(server.name + " " + server.target).toLower();
        bool all = true;
        for (const auto& word : words)
            all = all && text.contains(word);
        if (all)
            matches.push_back(server);
    }
    return matches;
}

} // namespace orvane
