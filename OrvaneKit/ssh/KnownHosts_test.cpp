// The client's own known-hosts file and key fingerprints.
#include "KnownHosts.h"
#include "TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

using namespace orvane;
using orvane::testing::readFile;
using orvane::testing::runCommand;
using orvane::testing::writeFile;

namespace {

const std::string kKeyA = "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIBLd0ZjXWfLSWYrmF7EOnRtl5wuCT6OZYkOXyADfDbjg";
const std::string kKeyB = "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIOcd7xq1ibuUU6NK1Sf5Pl1s7VMRbTt5+xN8WiZ/tZ7d";

class KnownHostsFile : public ::testing::Test {
protected:
    std::string path() const { return dir.path().toStdString() + "/Orvane/known_hosts"; }
    QTemporaryDir dir;
};

} // namespace

TEST_F(KnownHostsFile, FirstSaveCreatesTheFolderAndOneLine)
{
    FileKnownHosts known(path());
    EXPECT_FALSE(known.key("host"));
    known.save("host", kKeyA);
    EXPECT_EQ(readFile(path()), "host " + kKeyA + "\n");
    EXPECT_EQ(known.key("host"), kKeyA);
}

TEST_F(KnownHostsFile, EntriesAreOnlyAppendedAndTheFirstWins)
{
    FileKnownHosts known(path());
    known.save("[host]:2222", kKeyB);
    known.save("host", kKeyA);
    known.save("host", kKeyB);
    EXPECT_EQ(readFile(path()), "[host]:2222 " + kKeyB + "\nhost " + kKeyA + "\nhost " + kKeyB + "\n");
    EXPECT_EQ(known.key("host"), kKeyA);
    EXPECT_EQ(known.key("[host]:2222"), kKeyB);
    EXPECT_FALSE(known.key("[host]:22"));
    EXPECT_FALSE(known.key("HOST"));
}

TEST_F(KnownHostsFile, SaveCompletesALastLineWithoutLineFeed)
{
    FileKnownHosts known(path());
    known.save("first", kKeyA);
    writeFile(path(), "first " + kKeyA, 0644);
    known.save("second", kKeyB);
    EXPECT_EQ(readFile(path()), "first " + kKeyA + "\nsecond " + kKeyB + "\n");
}

TEST(KnownHostsText, LinesThatCannotMatchAreSkipped)
{
    const std::string text = "\n"
                             "lonely-word\n"
                             "spacey \n"
                             "   indented " +
                             kKeyA +
                             "\n"
                             "commented " +
                             kKeyA +
                             " root@box\n"
                             "crlf " +
                             kKeyA + "\r\nnext " + kKeyB +
                             "\n"
                             "@cert-authority * " +
                             kKeyA +
                             "\n"
                             "a,b " +
                             kKeyA + "\n";
    struct Case {
        const char* name;
        std::optional<std::string> key;
    };
    const Case cases[] = {
        {"lonely-word", std::nullopt},
        {"spacey", std::nullopt},
        {"indented", kKeyA},
        {"commented", kKeyA + " root@box"}, // never equals a presented key
        {"crlf", kKeyA + "\r\nnext " + kKeyB},
        {"next", std::nullopt}, // inside the CR LF line
        {"*", std::nullopt},
        {"a", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(knownHostsKey(text, c.name), c.key) << c.name;
}

TEST_F(KnownHostsFile, SaveKeepsBytesItCannotDecode)
{
    // A line with invalid UTF-8 must not cost the other entries.
    const std::string old = "caf\xE9 " + kKeyB + "\nhost " + kKeyA + "\n";
    FileKnownHosts known(path());
    known.save("seed", kKeyA);
    writeFile(path(), old, 0600);
    known.save("other", kKeyB);
    EXPECT_EQ(readFile(path()), old + "other " + kKeyB + "\n");
    struct stat st {};
    ASSERT_EQ(stat(path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // the file's mode stays
}

TEST_F(KnownHostsFile, AFileThatCannotBeReadIsNotReplaced)
{
    // A folder in the file's place cannot be read as a file; a save must not clobber it.
    ASSERT_EQ(mkdir((dir.path().toStdString() + "/Orvane").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(path().c_str(), 0700), 0);
    writeFile(path() + "/inside", "keep", 0600);
    FileKnownHosts known(path());
    known.save("host", kKeyA);
    EXPECT_FALSE(known.key("host"));
    EXPECT_EQ(readFile(path() + "/inside"), "keep");
}

TEST_F(KnownHostsFile, ConcurrentSavesLoseNoEntry)
{
    FileKnownHosts known(path());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&known, t] {
            for (int i = 0; i < 25; ++i)
                known.save("h" + std::to_string(t) + "-" + std::to_string(i), kKeyA);
        });
    }
    for (auto& t : threads)
        t.join();
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 25; ++i)
            EXPECT_TRUE(known.key("h" + std::to_string(t) + "-" + std::to_string(i)));
    }
}

TEST(Fingerprint, MatchesSshKeygen)
{
    QTemporaryDir dir;
    for (const char* type : {"ed25519", "rsa", "ecdsa"}) {
        const std::string key = dir.path().toStdString() + "/" + type;
        ASSERT_EQ(runCommand(std::string("ssh-keygen -q -N '' -t ") + type + " -f " + key), 0);
        std::string listed;
        ASSERT_EQ(runCommand("ssh-keygen -lf " + key + ".pub", &listed), 0);
        // "256 SHA256:... comment (ED25519)"
        const auto start = listed.find("SHA256:");
        const std::string expected = listed.substr(start, listed.find(' ', start) - start);
        const std::string printed = fingerprint(readFile(key + ".pub"));
        EXPECT_EQ(printed, expected) << type;
        if (std::string(type) == "ed25519") {
            EXPECT_EQ(printed.size(), 7u + 43u);
        }
    }
}

TEST(Fingerprint, UnreadableKeysGiveAQuestionMark)
{
    EXPECT_EQ(fingerprint(""), "?");
    EXPECT_EQ(fingerprint("ssh-ed25519"), "?");
    EXPECT_EQ(fingerprint("ssh-ed25519 not*base64"), "?");
    EXPECT_EQ(fingerprint("ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIBLd0ZjXWfLSWYrmF7EOnRtl5wuCT6OZYkOXyADfDbj"),
              "?");
    // Words are separated by any number of spaces; a comment does not matter.
    EXPECT_EQ(fingerprint("  " + kKeyA.substr(0, 11) + "   " + kKeyA.substr(12) + " comment"),
              fingerprint(kKeyA));
}
