// A real child under a real pseudo-terminal, driven by the Qt event loop.
#include "PTYProcess.h"
#include "TestSupport.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <sys/wait.h>

using namespace orvane;
using orvane::testing::processExists;
using orvane::testing::waitUntil;

namespace {

// A started child that records everything it hears.
struct Child {
    std::shared_ptr<PTYProcess> process;
    std::string output;
    int closes = 0;
    bool outputAfterClose = false;

    Child(std::vector<std::string> args, PTYProcess::Env env = {}, int cols = 80, int rows = 24)
    {
        process = std::make_shared<PTYProcess>(args[0], args, std::move(env), std::nullopt);
        process->onData = [this](std::span<const uint8_t> b) {
            outputAfterClose |= closes > 0;
            output.append(b.begin(), b.end());
        };
        process->onClose = [this] { ++closes; };
        process->start(cols, rows);
    }
    bool waitFor(const std::string& text)
    {
        return waitUntil([&] { return output.find(text) != std::string::npos; });
    }
    bool waitClosed()
    {
        return waitUntil([&] { return closes > 0; });
    }
    // The output with the terminal's CR LF line ends turned into LF.
    std::string lines() const
    {
        std::string s;
        for (char c : output)
            if (c != '\r')
                s += c;
        return s;
    }
};

std::vector<std::string> sh(const std::string& script)
{
    return {"/bin/sh", "-c", script};
}

}  // namespace

TEST(PTYProcess, OutputArrivesBeforeTheCloseNotice)
{
    Child c(sh("echo hello from the child; exit 3"));
    ASSERT_GT(c.process->processID(), 0);
    ASSERT_TRUE(c.waitClosed());
    EXPECT_EQ(c.lines(), "hello from the child\n");
    EXPECT_FALSE(c.outputAfterClose);
    orvane::testing::spin(std::chrono::milliseconds(100));
    EXPECT_EQ(c.closes, 1);
    EXPECT_FALSE(processExists(c.process->processID()));  // reaped
}

TEST(PTYProcess, ChildThatEndsAtOnceAndMissingExecutable)
{
    Child quick({"/bin/true"});
    ASSERT_TRUE(quick.waitClosed());
    EXPECT_EQ(quick.output, "");

    Child missing({"/no/such/program", "x"});
    EXPECT_GT(missing.process->processID(), 0);
    ASSERT_TRUE(missing.waitClosed());
    orvane::testing::spin(std::chrono::milliseconds(100));
    EXPECT_EQ(missing.output, "");
    EXPECT_EQ(missing.closes, 1);

    // Writing and resizing after the end are ignored.
    missing.process->write("ignored\n");
    missing.process->resize(10, 10);
    missing.process->stop();
    EXPECT_EQ(missing.closes, 1);
}

TEST(PTYProcess, StopBeforeStartAndStopSilencesTheChild)
{
    PTYProcess idle("/bin/sh", {"sh"}, {}, std::nullopt);
    idle.stop();
    EXPECT_EQ(idle.processID(), 0);
    idle.write("nothing");

    Child c(sh("echo started; sleep 30"));
    ASSERT_TRUE(c.waitFor("started"));
    const int pid = c.process->processID();
    c.process->stop();
    EXPECT_TRUE(waitUntil([&] { return !processExists(pid); }));
    orvane::testing::spin(std::chrono::milliseconds(100));
    EXPECT_EQ(c.closes, 0);
}

TEST(PTYProcess, ReleaseHangsUpOnTheChild)
{
    int pid = 0;
    {
        Child c(sh("echo up; sleep 30"));
        ASSERT_TRUE(c.waitFor("up"));
        pid = c.process->processID();
    }
    EXPECT_TRUE(waitUntil([&] { return !processExists(pid); }));
}

TEST(PTYProcess, WindowSizeReachesTheChild)
{
    Child c(sh("stty size; read x; stty size; read x; stty size"), {}, 0, 0);
    ASSERT_TRUE(c.waitFor("1 1\r\n"));
    c.process->resize(-5, 40);
    c.process->write("\n");
    ASSERT_TRUE(c.waitFor("40 1\r\n"));
    c.process->resize(132, 50);
    c.process->write("\n");
    ASSERT_TRUE(c.waitFor("50 132\r\n"));
    EXPECT_TRUE(c.waitClosed());
}

TEST(PTYProcess, EnvironmentAndExtraVariables)
{
    Child plain(sh("echo \"$TERM $COLORTERM ${ORVANE_TEST_VAR-unset}\""));
    ASSERT_TRUE(plain.waitClosed());
    EXPECT_EQ(plain.lines(), "xterm-256color truecolor unset\n");

    Child extra(sh("echo \"$TERM $COLORTERM $ORVANE_TEST_VAR\""),
                {{"TERM", "dumb"}, {"ORVANE_TEST_VAR", "a b=c"}});
    ASSERT_TRUE(extra.waitClosed());
    EXPECT_EQ(extra.lines(), "dumb truecolor a b=c\n");
}

TEST(PTYProcess, DirectoryOfTheChild)
{
    auto p = std::make_shared<PTYProcess>("/bin/pwd", std::vector<std::string>{"pwd"}, PTYProcess::Env{},
                                          std::optional<std::string>("/usr/share"));
    std::string out;
    bool closed = false;
    p->onData = [&](std::span<const uint8_t> b) { out.append(b.begin(), b.end()); };
    p->onClose = [&] { closed = true; };
    p->start(80, 24);
    ASSERT_TRUE(waitUntil([&] { return closed; }));
    EXPECT_EQ(out, "/usr/share\r\n");

    // A folder that cannot be entered leaves the child where the parent is.
    auto q = std::make_shared<PTYProcess>("/bin/pwd", std::vector<std::string>{"pwd"}, PTYProcess::Env{},
                                          std::optional<std::string>("/no/such/folder"));
    out.clear();
    closed = false;
    q->onData = p->onData;
    q->onClose = [&] { closed = true; };
    q->start(80, 24);
    ASSERT_TRUE(waitUntil([&] { return closed; }));
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    EXPECT_EQ(out, std::string(cwd) + "\r\n");
}

TEST(PTYProcess, LargeOutputArrivesCompleteAndInOrder)
{
    Child c(sh("seq 1 1500000"));
    ASSERT_TRUE(waitUntil([&] { return c.closes > 0; }, std::chrono::seconds(60)));
    std::string expected;
    ASSERT_EQ(orvane::testing::runCommand("seq 1 1500000", &expected), 0);
    ASSERT_GT(expected.size(), 10u * 1000 * 1000);
    EXPECT_TRUE(c.lines() == expected) << "got " << c.lines().size() << " bytes, expected " << expected.size();
}

TEST(PTYProcess, WritesToASlowReaderAreQueuedInOrder)
{
    // The child takes its input only after a pause: the writes must not wait for it.
    Child c(sh("stty raw -echo; echo ready; sleep 1; head -c 1048576 | md5sum; echo done"));
    ASSERT_TRUE(c.waitFor("ready"));
    std::string data;
    for (int i = 0; data.size() < 1048576; ++i)
        data += "line " + std::to_string(i) + " of the data that the child reads slowly\n";
    data.resize(1048576);
    const std::string first = data.substr(0, 300000), second = data.substr(300000);
    c.process->write(first);
    EXPECT_GT(c.process->queuedBytes(), 0u);  // the call returned with bytes still waiting
    c.process->write(second);
    EXPECT_GE(c.process->queuedBytes(), second.size());
    const QByteArray md5 = QCryptographicHash::hash(QByteArray::fromStdString(data), QCryptographicHash::Md5).toHex();
    ASSERT_TRUE(waitUntil([&] { return c.output.find("done") != std::string::npos; }, std::chrono::seconds(30)));
    EXPECT_NE(c.output.find(md5.toStdString()), std::string::npos) << c.output;
    EXPECT_EQ(c.process->queuedBytes(), 0u);
}

TEST(PTYProcess, DataCallbackCanBeSetLaterOrReleaseTheProcess)
{
    auto p = std::make_shared<PTYProcess>("/bin/sh", sh("echo one; read x; echo two; read x"), PTYProcess::Env{},
                                          std::nullopt);
    p->start(80, 24);
    orvane::testing::spin(std::chrono::milliseconds(300));  // "one" is read and dropped
    std::string out;
    p->onData = [&](std::span<const uint8_t> b) { out.append(b.begin(), b.end()); };
    p->write("\n");
    ASSERT_TRUE(waitUntil([&] { return out.find("two") != std::string::npos; }));
    EXPECT_EQ(out.find("one"), std::string::npos);

    // The owner may drop the process from inside its own callback.
    const int pid = p->processID();
    std::weak_ptr<PTYProcess> weak = p;
    p->onData = [&](std::span<const uint8_t>) { p.reset(); };
    p->write("\n");
    EXPECT_TRUE(waitUntil([&] { return weak.expired(); }));
    EXPECT_TRUE(waitUntil([&] { return !processExists(pid); }));
}
