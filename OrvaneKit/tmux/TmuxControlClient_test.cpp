// The control-mode client fed by hand: login phase, reply matching, refresh coalescing,
// notifications and the commands it sends.
#include "TmuxControlClient.h"

#include <gtest/gtest.h>

using namespace orvane;
namespace ev = orvane::tmuxevent;

namespace {

const std::string kWindows =
    "list-windows -F \"W|#{window_id}|#{window_index}|#{window_active}|#{window_layout}|#{window_name}\"";
const std::string kPanes = "list-panes -s -F \"P|#{window_id}|#{pane_id}|#{pane_active}|#{cursor_x}|#{cursor_y}\"";
const std::string kSessions =
    "list-sessions -F \"S|#{session_windows}|#{session_attached}|#{session_activity}|#{session_id}|#{session_name}\"";

Bytes bytes(std::string_view s)
{
    return Bytes(s.begin(), s.end());
}

// A client with everything it sends and emits recorded.
struct Harness {
    std::vector<std::string> sent;
    std::vector<TmuxEvent> events;
    TmuxControlClient client{"orvane", [this](std::span<const uint8_t> b) {
                                 std::string s(b.begin(), b.end());
                                 EXPECT_EQ(s.back(), '\n');
                                 s.pop_back();
                                 EXPECT_EQ(s.find('\n'), std::string::npos);
                                 sent.push_back(s);
                             }};
    Harness()
    {
        client.onEvent = [this](const TmuxEvent& e) { events.push_back(e); };
    }
    void feed(std::string_view s) { client.feed(s); }
    // Sends and events since the last call.
    std::vector<std::string> takeSent() { return std::exchange(sent, {}); }
    std::vector<TmuxEvent> takeEvents() { return std::exchange(events, {}); }
    void start()
    {
        feed("\x1bP1000p");
        takeSent();
        takeEvents();
    }
    void block(int number, std::vector<std::string> lines, bool error = false)
    {
        std::string text = "%begin 1700000000 " + std::to_string(number) + " 1\n";
        for (const auto& l : lines)
            text += l + "\n";
        text += (error ? "%error 1700000000 " : "%end 1700000000 ") + std::to_string(number) + " 1\n";
        feed(text);
    }
};

}  // namespace

// The exchange after the start marker, step by step: what is fed, what goes out, what is told.
TEST(TmuxControlClient, WorkedExchange)
{
    Harness h;
    h.client.setClientSize(120, 40);
    EXPECT_TRUE(h.takeSent().empty());

    struct Step {
        std::string fed;
        std::vector<std::string> sent;
        std::vector<TmuxEvent> events;
    };
    const WinView view{1, "zsh", true, {0}, {40}, 0};
    const std::vector<Step> steps = {
        {"\x1bP1000p",
         {"display-message -p READY", "refresh-client -C 120,40", kWindows, kPanes},
         {ev::ControlStarted{}}},
        {"%begin 1 1 0\n%end 1 1 0\n", {}, {}},
        {"%session-changed $0 main\n", {}, {ev::SessionChanged{"main"}}},
        {"%begin 1 2 1\nREADY\n%end 1 2 1\n", {}, {}},
        {"%begin 1 3 1\n%end 1 3 1\n", {}, {}},
        {"%begin 1 4 1\nW|@1|0|1|b25f,120x40,0,0,0|zsh\n%end 1 4 1\n", {}, {}},
        {"%begin 1 5 1\nP|@1|%0|1|2|5\n%end 1 5 1\n",
         {"capture-pane -p -e -J -t %0", kWindows, kPanes},
         {ev::Layout{{view}, {{0, 120, 40}}, {0}}}},
        {"%begin 1 6 1\n\x1b[1mbold\x1b[0m $ \nsecond line\n%end 1 6 1\n",
         {},
         {ev::Capture{0, {bytes("\x1b[1mbold\x1b[0m $ "), bytes("second line")}, 2, 5}}},
        {"%output %0 ls\\015\\012\n", {}, {ev::PaneOutput{0, bytes("ls\r\n")}}},
        // The second listing: same panes, nothing fresh, nothing captured.
        {"%begin 1 7 1\nW|@1|0|1|b25f,120x40,0,0,0|zsh\n%end 1 7 1\n%begin 1 8 1\nP|@1|%0|1|2|5\n%end 1 8 1\n",
         {},
         {ev::Layout{{view}, {{0, 120, 40}}, {}}}},
        {"%exit\n", {}, {ev::Exited{}}},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        h.feed(steps[i].fed);
        EXPECT_EQ(h.takeSent(), steps[i].sent) << "step " << i;
        EXPECT_EQ(h.takeEvents(), steps[i].events) << "step " << i;
    }
    EXPECT_EQ(h.client.sessionName, "main");
    EXPECT_TRUE(h.client.inControl());
}

TEST(TmuxControlClient, MarkerSplitAcrossReads)
{
    Harness h;
    h.feed("password ok\r\n$ \x1bP1");
    EXPECT_EQ(h.takeEvents(), (std::vector<TmuxEvent>{ev::LoginOutput{bytes("password ok\r\n$ ")}}));
    h.feed("000p%begin 1 1 0\n");
    EXPECT_EQ(h.takeEvents(), (std::vector<TmuxEvent>{ev::ControlStarted{}}));
    EXPECT_TRUE(h.client.inControl());

    // A held-back start that turns out not to be the marker is shown with the next text.
    Harness g;
    g.feed("abc\x1bP1");
    g.takeEvents();
    g.feed("23 more");
    EXPECT_EQ(g.takeEvents(), (std::vector<TmuxEvent>{ev::LoginOutput{bytes("\x1bP123 more")}}));
    g.feed("\x1b");
    EXPECT_TRUE(g.takeEvents().empty());
    g.client.finish();
    EXPECT_EQ(g.takeEvents(), (std::vector<TmuxEvent>{ev::LoginOutput{bytes("\x1b")}}));
    EXPECT_TRUE(g.takeSent().empty());
}

TEST(TmuxControlClient, LoginTextMarkerAndLinesInOneChunk)
{
    Harness h;
    h.feed("Welcome\r\n\x1bP1000p%begin 1 1 0\n%end 1 1 0\n%output %3 hi\n");
    EXPECT_EQ(h.takeEvents(), (std::vector<TmuxEvent>{ev::LoginOutput{bytes("Welcome\r\n")}, ev::ControlStarted{},
                                                     ev::PaneOutput{3, bytes("hi")}}));
    EXPECT_EQ(h.takeSent().size(), 4u);
}

TEST(TmuxControlClient, BlocksBeforeReadyAreDroppedAndNumbersMustMatch)
{
    Harness h;
    h.start();
    h.block(1, {"W|@1|0|1|b25f,80x24,0,0,0|early"});  // not ready: dropped, pending untouched
    h.block(2, {"READY"}, true);                      // the probe, even as an error
    h.block(3, {});                                   // size
    // A block whose end carries another number stays open; "%begin" inside is content.
    h.feed("%begin 1 4 1\nW|@1|0|1|b25f,80x24,0,0,0|first\n%end 1 9 1\n%begin 1 5 1\n%end 1 4 1\n");
    h.block(5, {"P|@1|%0|1|0|0"});
    const auto events = h.takeEvents();
    ASSERT_EQ(events.size(), 1u);
    const auto& layout = std::get<ev::Layout>(events[0]);
    EXPECT_EQ(layout.windows.size(), 1u);  // the rows "%end 1 9 1" and "%begin ..." did not parse
    EXPECT_EQ(layout.windows[0].name, "first");
    EXPECT_EQ(h.takeSent(), (std::vector<std::string>{"capture-pane -p -e -J -t %0"}));

    h.block(6, {"line"}, true);  // a failed capture is dropped
    h.block(7, {"stray"});       // nothing pending: dropped
    EXPECT_TRUE(h.takeEvents().empty());
}

TEST(TmuxControlClient, RefreshesAreCoalesced)
{
    Harness h;
    h.start();  // one listing outstanding
    h.feed("%window-add @2\n%window-add @3\n%window-add @4\n%layout-change @1 x\n%unknown-thing\n");
    EXPECT_TRUE(h.takeSent().empty());
    h.block(1, {"READY"});
    h.block(2, {});
    h.block(3, {});
    h.block(4, {});
    EXPECT_EQ(h.takeSent(), (std::vector<std::string>{kWindows, kPanes}));  // exactly one more
    h.block(5, {}, true);  // a failed window listing ends the outstanding listing
    EXPECT_TRUE(h.takeSent().empty());
    h.feed("%window-close @2\n");  // so a later change lists again at once
    EXPECT_EQ(h.takeSent(), (std::vector<std::string>{kWindows, kPanes}));
    h.block(6, {}, true);
    EXPECT_TRUE(h.takeSent().empty());
}

TEST(TmuxControlClient, FreshPanesAreCapturedOnce)
{
    Harness h;
    h.start();
    h.block(1, {"READY"});
    h.block(2, {});
    h.block(3, {"W|@1|0|1|abcd,80x24,0,0[80x12,0,0,1,80x11,0,13,2]|w"});
    h.block(4, {"P|@1|%2|1|3|4", "P|@1|%1|0|0|0"});
    EXPECT_EQ(h.takeSent(),
              (std::vector<std::string>{"capture-pane -p -e -J -t %2", "capture-pane -p -e -J -t %1"}));
    const auto events = h.takeEvents();
    EXPECT_EQ(std::get<ev::Layout>(events.at(0)).fresh, (std::vector<uint32_t>{1, 2}));
    h.block(5, {"pane two"});
    h.block(6, {"pane one"});
    EXPECT_EQ(h.takeEvents(), (std::vector<TmuxEvent>{ev::Capture{2, {bytes("pane two")}, 3, 4},
                                                     ev::Capture{1, {bytes("pane one")}, 0, 0}}));
    // Pane 2 goes away and comes back: fresh again.
    h.feed("%layout-change @1\n");
    h.block(7, {"W|@1|0|1|b25f,80x24,0,0,1|w"});
    h.block(8, {"P|@1|%1|1|0|0"});
    h.feed("%layout-change @1\n");
    h.block(9, {"W|@1|0|1|abcd,80x24,0,0[80x12,0,0,1,80x11,0,13,2]|w"});
    h.block(10, {"P|@1|%1|0|0|0", "P|@1|%2|1|0|0"});
    EXPECT_EQ(h.takeSent(), (std::vector<std::string>{kWindows, kPanes, kWindows, kPanes,
                                                     "capture-pane -p -e -J -t %2"}));
}

TEST(TmuxControlClient, OutputLines)
{
    struct Case {
        std::string line;
        std::optional<ev::PaneOutput> output;
    } cases[] = {
        {"%output %12 a\\134b", ev::PaneOutput{12, bytes("a\\b")}},
        {"%output %12 x\\01", ev::PaneOutput{12, bytes("x\\01")}},
        {"%output %1 \\033[1m\\377\\400", ev::PaneOutput{1, bytes(std::string_view("\x1b[1m\xff\x00", 6))}},
        {"%output %1 ", ev::PaneOutput{1, {}}},
        {"%output %1 two  blanks\\", ev::PaneOutput{1, bytes("two  blanks\\")}},
        {"%output 12 x", ev::PaneOutput{2, bytes("x")}},
        {"%output %4294967295 x", ev::PaneOutput{4294967295u, bytes("x")}},
        {"%output %4294967296 x", std::nullopt},
        {"%output %1", std::nullopt},
        {"%output % x", std::nullopt},
        {"%output %1a x", std::nullopt},
        {"%output", std::nullopt},
        {"%outputs %1 x", std::nullopt},
    };
    for (const auto& c : cases) {
        Harness h;
        h.start();
        h.feed(c.line + "\r\n");
        const auto events = h.takeEvents();
        if (c.output)
            EXPECT_EQ(events, (std::vector<TmuxEvent>{*c.output})) << c.line;
        else
            EXPECT_TRUE(events.empty()) << c.line;
    }
}

TEST(TmuxControlClient, SessionsAndSessionChanges)
{
    Harness h;
    h.client.requestSessions(true);
    EXPECT_TRUE(h.takeSent().empty());  // not in control mode yet
    h.start();
    h.block(1, {"READY"});
    h.block(2, {});
    h.block(3, {});
    h.block(4, {});
    h.takeSent();
    h.takeEvents();
    h.client.requestSessions(true);
    EXPECT_EQ(h.takeSent(), (std::vector<std::string>{kSessions}));
    h.block(5, {"S|1|1|100|$0|old", "S|2|0|200|$1|new"});
    EXPECT_EQ(h.takeEvents(), (std::vector<TmuxEvent>{ev::Sessions{
                                  {{"$1", "new", 2, 0, 200}, {"$0", "old", 1, 1, 100}}}}));
    h.feed("%sessions-changed\n");
    EXPECT_EQ(h.takeSent(), (std::vector<std::string>{kSessions, kWindows, kPanes}));
    h.block(6, {"S|1|1|100|$0|old"}, true);  // failed: no list
    EXPECT_TRUE(h.takeEvents().empty());

    h.feed("%session-changed $3\n");  // no name: refresh only
    EXPECT_TRUE(h.takeEvents().empty());
    h.feed("%session-changed $3 name with blanks\n");
    EXPECT_EQ(h.takeEvents(), (std::vector<TmuxEvent>{ev::SessionChanged{"name with blanks"}}));
    EXPECT_EQ(h.client.sessionName, "name with blanks");
}

TEST(TmuxControlClient, CommandsAndKeys)
{
    Harness h;
    EXPECT_FALSE(h.client.run("kill-server"));
    h.client.sendKeys(1, bytes("x"));
    h.client.setClientSize(80, 24);  // the current size: nothing
    h.client.setClientSize(100, 30);
    EXPECT_TRUE(h.takeSent().empty());
    h.feed("\x1bP1000p");
    EXPECT_EQ(h.takeSent().at(1), "refresh-client -C 100,30");

    h.client.setClientSize(100, 30);
    EXPECT_TRUE(h.takeSent().empty());
    h.client.setClientSize(90, 30);
    EXPECT_EQ(h.takeSent(), (std::vector<std::string>{"refresh-client -C 90,30"}));

    EXPECT_TRUE(h.client.run("select-window -t @3"));
    EXPECT_FALSE(h.client.run("rename-window x\nkill-server"));
    EXPECT_FALSE(h.client.run("rename-window x\rkill-server"));
    EXPECT_EQ(h.takeSent(), (std::vector<std::string>{"select-window -t @3"}));

    h.client.sendKeys(3, bytes("ls\r"));
    EXPECT_EQ(h.takeSent(), (std::vector<std::string>{"send-keys -t %3 -H 6c 73 0d"}));
    h.client.sendKeys(3, {});
    EXPECT_TRUE(h.takeSent().empty());

    Bytes many(450);
    for (size_t i = 0; i < many.size(); ++i)
        many[i] = uint8_t(i);
    h.client.sendKeys(7, many);
    const auto sent = h.takeSent();
    ASSERT_EQ(sent.size(), 3u);
    const std::string prefix = "send-keys -t %7 -H";
    EXPECT_EQ(sent[0].size(), prefix.size() + 200 * 3);
    EXPECT_EQ(sent[1].size(), prefix.size() + 200 * 3);
    EXPECT_EQ(sent[2].size(), prefix.size() + 50 * 3);
    EXPECT_EQ(sent[0].substr(0, prefix.size() + 12), prefix + " 00 01 02 03");
    EXPECT_TRUE(sent[2].ends_with(" c0 c1"));
    EXPECT_EQ(sent[2].substr(prefix.size(), 3), " 90");  // byte 400
}

TEST(TmuxControlClient, LongLinesAreCapped)
{
    Harness h;
    h.start();
    h.block(1, {"READY"});
    std::string huge = "%output %1 ";
    huge += std::string(TmuxControlClient::kMaxLine + 1000, 'x');
    for (size_t at = 0; at < huge.size(); at += 1 << 20)
        h.feed(std::string_view(huge).substr(at, 1 << 20));
    h.feed("\n%output %1 next\n");
    const auto events = h.takeEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(std::get<ev::PaneOutput>(events[0]).bytes.size(), TmuxControlClient::kMaxLine - 11);
    EXPECT_EQ(std::get<ev::PaneOutput>(events[1]).bytes, bytes("next"));
}

TEST(TmuxControlClient, FinishAfterControlModeReportsTheEnd)
{
    Harness h;
    h.start();
    h.feed("%output %1 partial line without end");
    h.client.finish();
    EXPECT_EQ(h.takeEvents(), (std::vector<TmuxEvent>{ev::Exited{}}));
}
