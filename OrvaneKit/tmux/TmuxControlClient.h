// The tmux control-mode protocol over a byte stream: login text until the start marker,
// then lines of reply blocks and notifications, turned into events; commands go out
// through `send`, each matched with the meaning of its reply.
#pragma once

#include "TmuxModel.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvane {

using Bytes = std::vector<uint8_t>;

namespace tmuxevent {

struct LoginOutput {
    Bytes bytes;
    friend bool operator==(const LoginOutput&, const LoginOutput&) = default;
};
struct PaneOutput {
    uint32_t pane = 0;
    Bytes bytes;
    friend bool operator==(const PaneOutput&, const PaneOutput&) = default;
};
struct Layout {
    std::vector<WinView> windows;
    std::vector<PaneSize> sizes;
    std::vector<uint32_t> fresh;
    friend bool operator==(const Layout&, const Layout&) = default;
};
struct Capture {
    uint32_t pane = 0;
    std::vector<Bytes> lines;
    int cursorX = 0;
    int cursorY = 0;
    friend bool operator==(const Capture&, const Capture&) = default;
};
struct Sessions {
    std::vector<SessionInfo> sessions;
    friend bool operator==(const Sessions&, const Sessions&) = default;
};
struct SessionChanged {
    std::string name;
    friend bool operator==(const SessionChanged&, const SessionChanged&) = default;
};
struct ControlStarted {
    friend bool operator==(const ControlStarted&, const ControlStarted&) = default;
};
struct Exited {
    friend bool operator==(const Exited&, const Exited&) = default;
};

}  // namespace tmuxevent

using TmuxEvent = std::variant<tmuxevent::LoginOutput, tmuxevent::PaneOutput, tmuxevent::Layout,
                               tmuxevent::Capture, tmuxevent::Sessions, tmuxevent::SessionChanged,
                               tmuxevent::ControlStarted, tmuxevent::Exited>;

// Unescapes %output data: a backslash and three octal digits become one byte.
Bytes octalDecode(std::span<const uint8_t> data);

class TmuxControlClient {
public:
    // A control-mode line longer than this keeps its first bytes; the rest is dropped.
    static constexpr size_t kMaxLine = 16 * 1024 * 1024;
    static constexpr size_t kKeysPerCommand = 200;

    TmuxControlClient(std::string session, std::function<void(std::span<const uint8_t>)> send);

    std::function<void(const TmuxEvent&)> onEvent;
    std::string sessionName;
    bool inControl() const { return inControl_; }

    void feed(std::span<const uint8_t> bytes);
    void feed(std::string_view bytes)
    {
        feed(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    }
    // The stream has ended.
    void finish();
    // Sends a tmux command in control mode. Refuses (returns false) text with a line break,
    // which would smuggle a second command into the protocol.
    bool run(std::string_view command);
    void sendKeys(uint32_t pane, std::span<const uint8_t> bytes);
    void setClientSize(int cols, int rows);
    void requestSessions(bool keepFresh);

private:
    struct Pending {
        enum class Kind : uint8_t { Capture, Ready, Ignore, Windows, Panes, Sessions };
        Kind kind = Kind::Ignore;
        uint32_t pane = 0;
        int cx = 0;
        int cy = 0;
    };
    struct Block {
        std::string number;
        std::vector<Bytes> lines;
    };

    void deliver(TmuxEvent event);
    void command(Pending pending, std::string_view text);
    void startControl();
    void controlData(std::span<const uint8_t> bytes);
    void handleLine(std::span<const uint8_t> line);
    void finishBlock(std::vector<Bytes> lines, bool error);
    void notification(std::span<const uint8_t> line);
    void paneOutput(std::span<const uint8_t> line);
    void refresh();
    void applyPanes(const std::vector<PaneInfo>& rows);

    std::function<void(std::span<const uint8_t>)> send_;
    bool inControl_ = false;
    Bytes loginBuffer_;
    Bytes line_;
    std::optional<Block> block_;
    bool ready_ = false;
    std::deque<Pending> pending_;
    int cols_ = 80;
    int rows_ = 24;
    std::set<uint32_t> known_;
    bool inflight_ = false;
    bool dirty_ = false;
    std::vector<WinInfo> windows_;
    bool wantSessions_ = false;
};

}  // namespace orvane
