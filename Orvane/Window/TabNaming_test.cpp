// Command names from a process table: a fixture folder shaped like /proc, and the real one.
#include "TabNaming.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace orvane;

namespace {

// Writes one process into a /proc-like folder.
void addProcess(const QString& root, int pid, int ppid, const std::string& comm, const std::vector<std::string>& argv)
{
    const QString dir = root + "/" + QString::number(pid);
    QDir().mkpath(dir);
    orvane::testing::writeFile((dir + "/stat").toStdString(),
                               std::to_string(pid) + " (" + comm + ") S " + std::to_string(ppid) + " 1 1 0\n");
    std::string cmdline;
    for (const auto& a : argv)
        cmdline += a + '\0';
    orvane::testing::writeFile((dir + "/cmdline").toStdString(), cmdline);
}

}  // namespace

TEST(TabNaming, CommandsUnderEachShell)
{
    QTemporaryDir proc;
    const QString root = proc.path();
    addProcess(root, 100, 1, "bash", {"-bash"});
    addProcess(root, 101, 100, "python3", {"/usr/bin/python3", "-u", "./server.py", "--port", "8000"});
    addProcess(root, 200, 1, "zsh", {"zsh"});
    addProcess(root, 201, 200, "node", {"node"});
    addProcess(root, 300, 1, "bash", {"bash"});
    addProcess(root, 301, 300, "vim", {"/usr/bin/vim", "notes.txt"});
    addProcess(root, 302, 300, "less", {"less"});  // a later child is not looked at
    addProcess(root, 400, 1, "sh", {"sh"});
    addProcess(root, 401, 400, "kworker", {});  // no command line: skipped
    addProcess(root, 402, 400, "my prog) x", {"/opt/my tools/run", "a"});
    addProcess(root, 500, 1, "sh", {"sh"});
    addProcess(root, 501, 500, "x", {"///"});
    addProcess(root, 600, 1, "sh", {"sh"});
    addProcess(root, 601, 600, "bash", {"bash", "-c"});
    QDir().mkpath(root + "/self");  // not a process
    QDir().mkpath(root + "/700");   // unreadable entries are skipped

    const auto table = readProcessTable(root.toStdString());
    ASSERT_EQ(table.size(), 14u);
    EXPECT_EQ(table[5].ppid, 300);
    EXPECT_EQ(foregroundCommands({100, 200, 300, 400, 500, 600, 0, -1, 999}, table),
              (std::map<int, std::string>{{100, "server.py"},
                                          {200, "node"},
                                          {300, "vim"},
                                          {400, "my"},  // split at spaces, as a process listing shows it
                                          {500, "///"},
                                          {600, "bash"}}));
}

TEST(TabNaming, RealProcessTable)
{
    const auto table = readProcessTable();
    const auto self = std::find_if(table.begin(), table.end(), [](const ProcessEntry& e) { return e.pid == getpid(); });
    ASSERT_NE(self, table.end());
    EXPECT_EQ(self->ppid, getppid());
    EXPECT_EQ(foregroundCommands({getppid()}, table).count(getppid()), 1u);
}
