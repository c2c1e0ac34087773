// The portable INI reader and writer on the host: a write replaces the file atomically and leaves
// the old one whole when it fails; hostile input (binary garbage, an empty or a 1 MB file, huge
// lines) is read without a crash; concurrent writers lose nothing; and the answers that the
// differential test establishes under Wine hold here too.

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "platform/IniFile.h"

namespace {

std::vector<std::string> DirectoryEntries(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* d = opendir(directory.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(d);
    }
    return names;
}

std::string Read(const std::string& path, const char* section, const char* key, const char* defaultValue = "",
                 uint32_t size = 260) {
    std::vector<char> buffer(size + 1, '\x7F');
    uint32_t count = IniReadString(section, key, defaultValue, buffer.data(), size, path.c_str());
    return std::string(buffer.data(), count);
}

// Runs body in a child process (so that privileges and limits can be changed there) and returns
// its exit status, or -1 when it did not exit normally.
template <typename Body>
int InChild(Body body) {
    pid_t child = fork();
    if (child == 0) {
        _exit(body());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// Gives up root in the calling (child) process, so that file permissions apply to it.
bool DropPrivileges() {
    if (geteuid() != 0) {
        return true;
    }
    return setgid(65534) == 0 && setuid(65534) == 0;
}

const char kOldFile[] = "; hand-written\n[CONFIG]\nTRIGGER=1\n\n[ITEMS]\nNUM=0\n";

// A fresh folder per test, with the settings file's path in it.
class IniFileFolder : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.File("setting.ini");
};
class IniFileAtomicWrite : public IniFileFolder {};
class IniFileHostileInput : public IniFileFolder {};
class IniFileAnswers : public IniFileFolder {};

TEST_F(IniFileAtomicWrite, ReadOnlyDirectoryKeepsTheOldFile) {
    WriteFileBytes(path, kOldFile);
    chmod(path.c_str(), 0666);  // the file itself may be written; only a new file beside it may not
    chmod(dir.path.c_str(), 0555);
    int status = InChild([&] {
        if (!DropPrivileges() || Read(path, "CONFIG", "TRIGGER") != "1") {
            return 2;  // the child must be able to read the file, or the test proves nothing
        }
        return IniWriteString("CONFIG", "TRIGGER", "2", path.c_str()) == 0 ? 0 : 1;
    });
    chmod(dir.path.c_str(), 0755);
    EXPECT_EQ(status, 0) << "the write must fail";
    EXPECT_EQ(ReadFileBytes(path), kOldFile);
    EXPECT_EQ(DirectoryEntries(dir.path), std::vector<std::string>{"setting.ini"});
}

TEST_F(IniFileAtomicWrite, FailureWhileWritingKeepsTheOldFile) {
    std::string old = kOldFile;
    for (int n = 0; n < 400; ++n) {
        old += "ITEM" + std::to_string(n) + "=" + std::to_string(n) + "\n";
    }
    WriteFileBytes(path, old);
    int status = InChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};  // no file may grow beyond 4 KB: the new content cannot be written
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 2;
        }
        return IniWriteString("CONFIG", "TRIGGER", "2", path.c_str()) == 0 ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << "the write must fail";
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(DirectoryEntries(dir.path), std::vector<std::string>{"setting.ini"});
}

TEST_F(IniFileAtomicWrite, PathThatIsADirectoryIsNeitherReadNorReplaced) {
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    // The default comes back as given, quotes and all, as when the file cannot be opened.
    EXPECT_EQ(Read(path, "CONFIG", "TRIGGER", "\"x\""), "\"x\"");
    EXPECT_EQ(IniWriteString("CONFIG", "TRIGGER", "2", path.c_str()), 0);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(DirectoryEntries(dir.path), std::vector<std::string>{"setting.ini"});
}

TEST_F(IniFileAtomicWrite, ReadOnlyFileAndMissingDirectoryAreRefused) {
    WriteFileBytes(path, kOldFile);
    chmod(path.c_str(), 0444);  // refused even for root, as the system refuses a read-only file
    EXPECT_EQ(IniWriteString("CONFIG", "TRIGGER", "2", path.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(path), kOldFile);
    std::string nowhere = dir.File("missing/setting.ini");
    EXPECT_EQ(IniWriteString("CONFIG", "TRIGGER", "2", nowhere.c_str()), 0);
    EXPECT_EQ(Read(nowhere, "CONFIG", "TRIGGER", "D"), "D");
    EXPECT_EQ(DirectoryEntries(dir.path), std::vector<std::string>{"setting.ini"});
}

TEST_F(IniFileAtomicWrite, KeepsPermissionsAndWritesThroughALink) {
    std::string real = dir.File("real.ini");
    std::string link = dir.File("setting.ini");
    WriteFileBytes(real, kOldFile);
    chmod(real.c_str(), 0640);
    ASSERT_EQ(symlink("real.ini", link.c_str()), 0);
    ASSERT_NE(IniWriteString("CONFIG", "TRIGGER", "2", link.c_str()), 0);
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link must stay a link";
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFileBytes(real), "; hand-written\r\n[CONFIG]\r\nTRIGGER=2\r\n[ITEMS]\r\nNUM=0\r\n");
    EXPECT_EQ(DirectoryEntries(dir.path).size(), 2u);
}

TEST_F(IniFileAtomicWrite, ConcurrentWritersLoseNothing) {
    const int perThread = 150;
    auto writer = [&](const char* section) {
        for (int n = 0; n < perThread; ++n) {
            IniWriteString(section, ("ITEM" + std::to_string(n)).c_str(), std::to_string(n).c_str(),
                           path.c_str());
        }
    };
    std::thread a(writer, "PALETTE");
    std::thread b(writer, "CONFIG");
    a.join();
    b.join();
    for (int n = 0; n < perThread; ++n) {
        std::string key = "ITEM" + std::to_string(n);
        EXPECT_EQ(Read(path, "PALETTE", key.c_str()), std::to_string(n));
        EXPECT_EQ(Read(path, "CONFIG", key.c_str()), std::to_string(n));
    }
}

// Every answer stays inside the buffer, is terminated where the count says, and touches nothing
// beyond size bytes.
void ExpectBoundedReads(const std::string& path, const std::vector<std::string>& names) {
    for (const std::string& section : names) {
        for (const std::string& key : names) {
            for (uint32_t size : {1u, 2u, 3u, 16u, 128u, 260u}) {
                std::vector<char> buffer(size + 16, '\x7F');
                uint32_t count =
                    IniReadString(section.c_str(), key.c_str(), "D", buffer.data(), size, path.c_str());
                ASSERT_LT(count, size) << section << "/" << key;
                EXPECT_EQ(buffer[count], '\0');
                for (size_t i = size; i < buffer.size(); ++i) {
                    ASSERT_EQ(buffer[i], '\x7F') << "written past the buffer";
                }
            }
        }
    }
}

TEST_F(IniFileHostileInput, BinaryGarbageIsReadAndWrittenSafely) {
    std::mt19937 random(7);
    std::string garbage;
    for (int n = 0; n < 65536; ++n) {
        garbage += static_cast<char>(random() & 0xFF);
    }
    // Known lines in the middle: an ASCII byte before them ends whatever character came before.
    garbage[0] = 'x';  // not a UTF-16 mark
    garbage.insert(30000, "x\r\n[REAL]\r\nKEY=42\r\n");
    WriteFileBytes(path, garbage);
    ExpectBoundedReads(path, {"REAL", "KEY", "", " ", "\x95\x5C", std::string(300, 'A')});
    EXPECT_EQ(Read(path, "REAL", "KEY"), "42");
    ASSERT_NE(IniWriteString("REAL", "NEW", "1", path.c_str()), 0);
    EXPECT_EQ(Read(path, "REAL", "KEY"), "42");
    EXPECT_EQ(Read(path, "REAL", "NEW"), "1");
    // Nothing but the bytes of every possible pair: no lines at all, lead bytes everywhere.
    std::string pairs;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            pairs += static_cast<char>(a);
            pairs += static_cast<char>(b);
        }
    }
    WriteFileBytes(path, pairs);
    ExpectBoundedReads(path, {"", "\x81", "a", "[", "="});
    EXPECT_NE(IniWriteString("s", "k", "v", path.c_str()), 0);
    EXPECT_EQ(Read(path, "s", "k"), "v");
}

TEST_F(IniFileHostileInput, EmptyFileAndFileWithOnlyAMark) {
    WriteFileBytes(path, "");
    EXPECT_EQ(Read(path, "CONFIG", "TRIGGER", "D"), "D");
    ASSERT_NE(IniWriteString("CONFIG", "TRIGGER", "0", path.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(path), "[CONFIG]\r\nTRIGGER=0\r\n");
    WriteFileBytes(path, "\xEF\xBB\xBF");
    ASSERT_NE(IniWriteString("CONFIG", "TRIGGER", "0", path.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(path), "\xEF\xBB\xBF[CONFIG]\r\nTRIGGER=0\r\n");
    // A UTF-16 file is not understood, so it is neither read nor overwritten with 8-bit text.
    const std::string utf16("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0001\0", 18);
    WriteFileBytes(path, utf16);
    EXPECT_EQ(Read(path, "s", "k", "D"), "D");
    EXPECT_EQ(IniWriteString("s", "k", "2", path.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(path), utf16);
}

TEST_F(IniFileHostileInput, MegabyteFilesAndHugeLines) {
    std::string big;
    for (int n = 0; big.size() < (1u << 20); ++n) {
        big += "[ITEM" + std::to_string(n) + "]\r\nID=" + std::to_string(n) + "\r\nTEXT=\x83\x81\x83\x82\r\n";
    }
    big += "[CONFIG]\r\nALPHA=191";
    WriteFileBytes(path, big);
    EXPECT_EQ(Read(path, "ITEM0", "ID"), "0");
    EXPECT_EQ(Read(path, "CONFIG", "ALPHA"), "191");
    ASSERT_NE(IniWriteString("CONFIG", "ALPHA", "200", path.c_str()), 0);
    EXPECT_EQ(Read(path, "CONFIG", "ALPHA"), "200");
    EXPECT_EQ(Read(path, "ITEM20000", "TEXT"), "\x83\x81\x83\x82");
    // One line of a megabyte: an unclosed header, then one long value.
    WriteFileBytes(path, "[" + std::string(1u << 20, '[') + "\r\nk=" + std::string(1u << 20, 'v'));
    EXPECT_EQ(Read(path, "", "k", "", 5), "vvvv");
    ExpectBoundedReads(path, {"", "k"});
    WriteFileBytes(path, std::string(1u << 20, '\x81'));
    ExpectBoundedReads(path, {"", "\x81\x81"});
}

// Answers established against the system's profile functions by the differential test.
TEST_F(IniFileAnswers, ReadsLikeTheProfileFunctions) {
    WriteFileBytes(
        path,
        "top=1\n[Sec]\r\n  Key  =  Value  \r\nnoeq\r\n;c=2\r\nq=\"quoted\"\r\n[s\x81\x5D\r\nx=3\r\n"
        "[sec]\r\nother=1\r\n[\x81\x5B]\r\n\x95\x5C=\x83\x5C\x81\x40\r\nv=abc\x81\nw=1\r\n"
        "[\x82\x60]\r\nz=4");
    EXPECT_EQ(Read(path, "", "top"), "1");
    EXPECT_EQ(Read(path, " SEC ", "key"), "Value");
    EXPECT_EQ(Read(path, "Sec", "noeq", "D"), "D");   // no '=': read as missing
    EXPECT_EQ(Read(path, "Sec", ";c"), "2");          // comments are keys
    EXPECT_EQ(Read(path, "Sec", "other", "D"), "D");  // only the first [sec] counts
    EXPECT_EQ(Read(path, "Sec", "x"), "3");           // "[s" + 0x815D has no closing bracket
    EXPECT_EQ(Read(path, "\x81\x5B", "\x95\x5C"), "\x83\x5C\x81\x40");
    EXPECT_EQ(Read(path, "\x81\x5B", "v"), "abc\x81\nw=1");  // the lead byte swallows the line end
    EXPECT_EQ(Read(path, "\x81\x5B", "w", "D"), "D");
    EXPECT_EQ(Read(path, "\x82\x81", "z", "D"), "D");  // only ASCII letters ignore case
    EXPECT_EQ(Read(path, "Sec", "q"), "quoted");
    EXPECT_EQ(Read(path, "Sec", "q", "", 7), "quote");  // the system loses one character here
    EXPECT_EQ(Read(path, "Sec", "q", "", 8), "quoted");
    EXPECT_EQ(Read(path, "Sec", "none", "  d  "), "  d");
    EXPECT_EQ(Read(path, "Sec", "none", "'d'"), "d");
    EXPECT_EQ(Read(path, "Sec", "key", "", 3), "Va");
    EXPECT_EQ(Read(path, "Sec", "key", "", 0), "");
    // A cut inside a two-byte character ends before it.
    EXPECT_EQ(Read(path, "\x81\x5B", "\x95\x5C", "", 4), "\x83\x5C");
    EXPECT_EQ(Read(dir.File("missing.ini"), "s", "k", "\"d\""), "d");
}

TEST_F(IniFileAnswers, WritesLikeTheProfileFunctions) {
    const std::string original =
        "top=1\n\n[s]\na = 1 \n\n; c\n[t]\r\n=e1\r\n=e2\r\n[]\r\ne=3\r\n[ u ] junk\r\nk=v";
    WriteFileBytes(path, original);
    ASSERT_NE(IniWriteString("S", "A", " \t1", path.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(path), original) << "the same value leaves the file alone";
    ASSERT_NE(IniWriteString("S", "A", "2", path.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(path), "top=1\r\n[s]\r\na=2\r\n; c\r\n[t]\r\n=e1\r\ne=3\r\n[u]\r\nk=v\r\n");
    // New names and values keep their trailing blanks until the next rewrite trims them.
    ASSERT_NE(IniWriteString("s", " new ", "  x ", path.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(path),
              "top=1\r\n[s]\r\na=2\r\n; c\r\nnew =x \r\n[t]\r\n=e1\r\ne=3\r\n[u]\r\nk=v\r\n");
    ASSERT_NE(IniWriteString(" New Sec ", "k", "v", path.c_str()), 0);
    EXPECT_EQ(
        ReadFileBytes(path),
        "top=1\r\n[s]\r\na=2\r\n; c\r\nnew=x\r\n[t]\r\n=e1\r\ne=3\r\n[u]\r\nk=v\r\n[New Sec ]\r\nk=v\r\n");
    EXPECT_EQ(Read(path, "new sec", "K"), "v");
    EXPECT_EQ(IniWriteString(nullptr, "k", "v", path.c_str()), 0);
    EXPECT_EQ(IniWriteString("s", "k", nullptr, path.c_str()), 0);
}

}  // namespace
