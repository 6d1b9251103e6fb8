#include "TmuxControlClient.h"

#include "Utf8.h"

#include <algorithm>
#include <cstring>

namespace orvane {

namespace {

constexpr std::string_view kMarker = "\x1bP1000p";

constexpr std::string_view kWindowFormat =
    "W|#{window_id}|#{window_index}|#{window_active}|#{window_layout}|#{window_name}";
constexpr std::string_view kPaneFormat = "P|#{window_id}|#{pane_id}|#{pane_active}|#{cursor_x}|#{cursor_y}";
constexpr std::string_view kSessionFormat =
    "S|#{session_windows}|#{session_attached}|#{session_activity}|#{session_id}|#{session_name}";

std::string_view view(std::span<const uint8_t> b)
{
    return {reinterpret_cast<const char*>(b.data()), b.size()};
}

bool startsWith(std::span<const uint8_t> b, std::string_view prefix)
{
    return view(b).starts_with(prefix);
}

// The field at `index` of a text split at single blanks (repeated blanks give empty fields).
std::string blankField(std::string_view text, size_t index)
{
    for (size_t i = 0; i < index; ++i) {
        const auto blank = text.find(' ');
        if (blank == std::string_view::npos)
            return {};
        text.remove_prefix(blank + 1);
    }
    return std::string(text.substr(0, text.find(' ')));
}

std::vector<std::string> decodeLines(const std::vector<Bytes>& lines)
{
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const Bytes& l : lines)
        out.push_back(sanitizeUtf8(view(l)));
    return out;
}

bool isOctal(uint8_t c)
{
    return c >= '0' && c <= '7';
}

}  // namespace

Bytes octalDecode(std::span<const uint8_t> data)
{
    // The result is never longer than the input: write into it directly, then trim.
    Bytes out(data.size());
    uint8_t* o = out.data();
    const uint8_t* p = data.data();
    const uint8_t* const end = p + data.size();
    while (p < end) {
        const auto* slash = static_cast<const uint8_t*>(std::memchr(p, '\\', size_t(end - p)));
        const uint8_t* stop = slash ? slash : end;
        std::memcpy(o, p, size_t(stop - p));
        o += stop - p;
        p = stop;
        if (p == end)
            break;
        if (end - p > 3 && isOctal(p[1]) && isOctal(p[2]) && isOctal(p[3])) {
            *o++ = uint8_t((p[1] - '0') * 64 + (p[2] - '0') * 8 + (p[3] - '0'));
            p += 4;
        } else {
            *o++ = '\\';
            ++p;
        }
    }
    out.resize(size_t(o - out.data()));
    return out;
}

TmuxControlClient::TmuxControlClient(std::string session, std::function<void(std::span<const uint8_t>)> send)
    : sessionName(std::move(session)), send_(std::move(send))
{
}

void TmuxControlClient::deliver(TmuxEvent event)
{
    if (onEvent)
        onEvent(event);
}

void TmuxControlClient::command(Pending pending, std::string_view text)
{
    pending_.push_back(pending);
    std::string line;
    line.reserve(text.size() + 1);
    line.append(text);
    line += '\n';
    if (send_)
        send_(std::span(reinterpret_cast<const uint8_t*>(line.data()), line.size()));
}

void TmuxControlClient::feed(std::span<const uint8_t> bytes)
{
    if (inControl_) {
        controlData(bytes);
        return;
    }
    loginBuffer_.insert(loginBuffer_.end(), bytes.begin(), bytes.end());
    const std::string_view buffer = view(loginBuffer_);
    const auto at = buffer.find(kMarker);
    if (at != std::string_view::npos) {
        Bytes login(loginBuffer_.begin(), loginBuffer_.begin() + std::ptrdiff_t(at));
        Bytes rest(loginBuffer_.begin() + std::ptrdiff_t(at + kMarker.size()), loginBuffer_.end());
        loginBuffer_.clear();
        if (!login.empty())
            deliver(tmuxevent::LoginOutput{std::move(login)});
        startControl();
        controlData(rest);
        return;
    }
    // Hold back a possible beginning of the marker, so a marker split across reads is
    // still recognised and never shown.
    size_t keep = 0;
    for (size_t k = std::min(kMarker.size() - 1, buffer.size()); k > 0; --k) {
        if (buffer.substr(buffer.size() - k) == kMarker.substr(0, k)) {
            keep = k;
            break;
        }
    }
    if (loginBuffer_.size() > keep) {
        Bytes login(loginBuffer_.begin(), loginBuffer_.end() - std::ptrdiff_t(keep));
        loginBuffer_.erase(loginBuffer_.begin(), loginBuffer_.end() - std::ptrdiff_t(keep));
        deliver(tmuxevent::LoginOutput{std::move(login)});
    }
}

void TmuxControlClient::controlData(std::span<const uint8_t> bytes)
{
    while (!bytes.empty()) {
        const auto* nl = static_cast<const uint8_t*>(std::memchr(bytes.data(), '\n', bytes.size()));
        const size_t len = nl ? size_t(nl - bytes.data()) : bytes.size();
        if (nl && line_.empty() && len <= kMaxLine) {
            // A whole line in the input: handled where it lies, without copying.
            std::span<const uint8_t> line = bytes.first(len);
            if (!line.empty() && line.back() == '\r')
                line = line.first(line.size() - 1);
            bytes = bytes.subspan(len + 1);
            handleLine(line);
            continue;
        }
        const size_t room = kMaxLine - std::min(kMaxLine, line_.size());
        const size_t take = std::min(len, room);
        line_.insert(line_.end(), bytes.begin(), bytes.begin() + std::ptrdiff_t(take));
        if (!nl)
            return;
        bytes = bytes.subspan(len + 1);
        if (!line_.empty() && line_.back() == '\r')
            line_.pop_back();
        handleLine(line_);
        line_.clear();  // keeps its capacity for the next line
    }
}

void TmuxControlClient::startControl()
{
    inControl_ = true;
    command({Pending::Kind::Ready}, "display-message -p READY");
    command({Pending::Kind::Ignore}, "refresh-client -C " + std::to_string(cols_) + "," + std::to_string(rows_));
    refresh();
    deliver(tmuxevent::ControlStarted{});
}

void TmuxControlClient::handleLine(std::span<const uint8_t> line)
{
    if (block_) {
        const bool end = startsWith(line, "%end ");
        const bool error = startsWith(line, "%error ");
        if ((end || error) && blankField(sanitizeUtf8(view(line)), 2) == block_->number) {
            std::vector<Bytes> lines = std::move(block_->lines);
            block_.reset();
            finishBlock(std::move(lines), error);
            return;
        }
        block_->lines.emplace_back(line.begin(), line.end());
        return;
    }
    if (startsWith(line, "%begin ")) {
        block_ = Block{blankField(sanitizeUtf8(view(line)), 2), {}};
        return;
    }
    if (!line.empty() && line[0] == '%')
        notification(line);
}

void TmuxControlClient::finishBlock(std::vector<Bytes> lines, bool error)
{
    if (!ready_) {
        if (lines.size() == 1 && view(lines[0]) == "READY") {
            if (!pending_.empty())
                pending_.pop_front();
            ready_ = true;
        }
        return;
    }
    if (pending_.empty())
        return;
    const Pending p = pending_.front();
    pending_.pop_front();
    switch (p.kind) {
    case Pending::Kind::Capture:
        if (!error)
            deliver(tmuxevent::Capture{p.pane, std::move(lines), p.cx, p.cy});
        break;
    case Pending::Kind::Ready:
    case Pending::Kind::Ignore:
        break;
    case Pending::Kind::Windows:
        if (!error) {
            windows_ = parseWindows(decodeLines(lines));
        } else {
            inflight_ = false;
            if (dirty_)
                refresh();
        }
        break;
    case Pending::Kind::Panes:
        if (!error)
            applyPanes(parsePanes(decodeLines(lines)));
        inflight_ = false;
        if (dirty_)
            refresh();
        break;
    case Pending::Kind::Sessions:
        if (!error)
            deliver(tmuxevent::Sessions{parseSessions(decodeLines(lines))});
        break;
    }
}

void TmuxControlClient::applyPanes(const std::vector<PaneInfo>& rows)
{
    std::vector<PaneSize> sizes = paneSizes(windows_);
    std::vector<uint32_t> fresh;
    std::set<uint32_t> now;
    for (const PaneSize& s : sizes) {
        if (!known_.contains(s.id))
            fresh.push_back(s.id);
        now.insert(s.id);
    }
    known_ = std::move(now);
    for (const PaneInfo& row : rows) {
        if (std::find(fresh.begin(), fresh.end(), row.id) != fresh.end())
            command({Pending::Kind::Capture, row.id, row.cursorX, row.cursorY},
                    "capture-pane -p -e -J -t %" + std::to_string(row.id));
    }
    deliver(tmuxevent::Layout{windowViews(windows_, rows), std::move(sizes), std::move(fresh)});
}

void TmuxControlClient::notification(std::span<const uint8_t> line)
{
    const std::string_view text = view(line);
    const std::string_view keyword = text.substr(0, text.find(' '));
    if (keyword == "%output") {
        paneOutput(line);
    } else if (keyword == "%layout-change" || keyword == "%window-add" || keyword == "%window-close" ||
               keyword == "%window-renamed" || keyword == "%unlinked-window-add" ||
               keyword == "%unlinked-window-close" || keyword == "%linked-window-add" ||
               keyword == "%linked-window-close" || keyword == "%session-window-changed" ||
               keyword == "%window-pane-changed") {
        refresh();
    } else if (keyword == "%session-changed") {
        const std::string decoded = sanitizeUtf8(text);
        const auto first = decoded.find(' ');
        const auto second = first == std::string::npos ? first : decoded.find(' ', first + 1);
        if (second != std::string::npos) {
            sessionName = decoded.substr(second + 1);
            deliver(tmuxevent::SessionChanged{sessionName});
        }
        refresh();
    } else if (keyword == "%sessions-changed") {
        if (wantSessions_)
            requestSessions(true);
        refresh();
    } else if (keyword == "%exit") {
        deliver(tmuxevent::Exited{});
    }
}

void TmuxControlClient::paneOutput(std::span<const uint8_t> line)
{
    if (line.size() < 8)
        return;
    const std::span<const uint8_t> rest = line.subspan(8);
    const auto* blank = static_cast<const uint8_t*>(std::memchr(rest.data(), ' ', rest.size()));
    if (!blank)
        return;
    const size_t tokenLength = size_t(blank - rest.data());
    if (tokenLength < 2)
        return;
    uint64_t id = 0;
    for (size_t i = 1; i < tokenLength; ++i) {
        const uint8_t c = rest[i];
        if (c < '0' || c > '9')
            return;
        id = id * 10 + uint64_t(c - '0');
        if (id > UINT32_MAX)
            return;
    }
    deliver(tmuxevent::PaneOutput{uint32_t(id), octalDecode(rest.subspan(tokenLength + 1))});
}

void TmuxControlClient::refresh()
{
    if (inflight_) {
        dirty_ = true;
        return;
    }
    inflight_ = true;
    dirty_ = false;
    command({Pending::Kind::Windows}, "list-windows -F \"" + std::string(kWindowFormat) + "\"");
    command({Pending::Kind::Panes}, "list-panes -s -F \"" + std::string(kPaneFormat) + "\"");
}

void TmuxControlClient::finish()
{
    if (inControl_) {
        deliver(tmuxevent::Exited{});
    } else if (!loginBuffer_.empty()) {
        Bytes login = std::move(loginBuffer_);
        loginBuffer_.clear();
        deliver(tmuxevent::LoginOutput{std::move(login)});
    }
}

bool TmuxControlClient::run(std::string_view text)
{
    if (!inControl_ || text.find_first_of("\r\n") != std::string_view::npos)
        return false;
    command({Pending::Kind::Ignore}, text);
    return true;
}

void TmuxControlClient::sendKeys(uint32_t pane, std::span<const uint8_t> bytes)
{
    if (!inControl_ || bytes.empty())
        return;
    static constexpr char hex[] = "0123456789abcdef";
    const std::string prefix = "send-keys -t %" + std::to_string(pane) + " -H";
    for (size_t at = 0; at < bytes.size(); at += kKeysPerCommand) {
        const size_t n = std::min(kKeysPerCommand, bytes.size() - at);
        std::string text = prefix;
        text.reserve(prefix.size() + n * 3);
        for (size_t i = 0; i < n; ++i) {
            const uint8_t b = bytes[at + i];
            text += ' ';
            text += hex[b >> 4];
            text += hex[b & 0xF];
        }
        command({Pending::Kind::Ignore}, text);
    }
}

void TmuxControlClient::setClientSize(int cols, int rows)
{
    if (cols == cols_ && rows == rows_)
        return;
    cols_ = cols;
    rows_ = rows;
    if (inControl_)
        command({Pending::Kind::Ignore}, "refresh-client -C " + std::to_string(cols) + "," + std::to_string(rows));
}

void TmuxControlClient::requestSessions(bool keepFresh)
{
    wantSessions_ = keepFresh;
    if (inControl_)
        command({Pending::Kind::Sessions}, "list-sessions -F \"" + std::string(kSessionFormat) + "\"");
}

}  // namespace orvane
