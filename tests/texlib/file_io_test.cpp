// Writing targets safely and opening inputs: FIFOs and
// devices written straight into, links followed, permission bits kept, unpredictable exclusive
// temporary files removed on SIGINT/SIGTERM; inputs opened without blocking and mapped, so that a
// probe costs a header's worth of memory.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "test_util.h"
#include "texlib/read.h"
#include "texlib/stream.h"

namespace fs = std::filesystem;

namespace {

std::string freshDir(const std::string& name) {
    const std::string dir = std::string(::testing::TempDir()) + "tarquil_fileio_" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void spit(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool writeText(const std::string& path, const std::string& text, std::string* error = nullptr) {
    TxFileWriter w;
    const bool ok = w.open(path) && w.write(text.data(), text.size()) && w.commit();
    if (error) *error = w.error();
    return ok;
}

std::vector<std::string> names(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

mode_t modeOf(const std::string& path) {
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode;
}

}  // namespace

TEST(FileWriter, FifoIsWrittenStraightInto) {
    const std::string dir = freshDir("fifo");
    const std::string fifo = dir + "/out.tga";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reader = std::async(std::launch::async, [&] { return slurp(fifo); });
    std::string err;
    EXPECT_TRUE(writeText(fifo, "through the pipe", &err)) << err;
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(reader.get(), "through the pipe");
    EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));
    EXPECT_EQ(names(dir), std::vector<std::string>{"out.tga"});  // no temporary file was made
}

// Devices are reached through links of the test's own and /dev/fd names only, never /dev/null or
// /dev/stdout by name: were the writer ever broken again, it would replace the link, not the
// machine's device.
TEST(FileWriter, DeviceNodesStayDevices) {
    std::string err;
    const std::string dir = freshDir("dev");
    const std::string link = dir + "/null.png";
    fs::create_symlink("/dev/null", link);
    EXPECT_TRUE(writeText(link, "nothing", &err)) << err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(S_ISCHR(modeOf("/dev/null")));
    EXPECT_EQ(names(dir), std::vector<std::string>{"null.png"});
}

TEST(FileWriter, DescriptorNamesAreWrittenStraightInto) {
    // Standard output (/dev/fd/1, as /dev/stdout) of a process whose standard output is a file:
    // appended to, never replaced.
    const std::string dir = freshDir("stdout");
    const std::string file = dir + "/log.txt";
    spit(file, "before\n");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND);
        if (fd < 0 || ::dup2(fd, 1) < 0) ::_exit(3);
        TxFileWriter w;
        const bool ok = w.open("/dev/fd/1") && w.write("after\n", 6) && w.commit();
        ::_exit(ok ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(slurp(file), "before\nafter\n");
    EXPECT_EQ(names(dir), std::vector<std::string>{"log.txt"});
}

TEST(FileWriter, SymlinkTargetIsWrittenAndTheLinkStays) {
    const std::string dir = freshDir("link");
    fs::create_directories(dir + "/real");
    spit(dir + "/real/target.png", "old");
    fs::create_symlink("real/target.png", dir + "/link.png");
    std::string err;
    ASSERT_TRUE(writeText(dir + "/link.png", "new", &err)) << err;
    EXPECT_TRUE(fs::is_symlink(dir + "/link.png"));
    EXPECT_EQ(slurp(dir + "/real/target.png"), "new");
    EXPECT_EQ(names(dir + "/real"), std::vector<std::string>{"target.png"});
    // A dangling link: the name it points at is created.
    fs::create_symlink("real/later.png", dir + "/dangling.png");
    ASSERT_TRUE(writeText(dir + "/dangling.png", "made", &err)) << err;
    EXPECT_TRUE(fs::is_symlink(dir + "/dangling.png"));
    EXPECT_EQ(slurp(dir + "/real/later.png"), "made");
}

TEST(FileWriter, ExistingFileKeepsItsPermissionBits) {
    const std::string dir = freshDir("mode");
    const std::string file = dir + "/keep.tga";
    spit(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(writeText(file, "new"));
    EXPECT_EQ(modeOf(file) & 07777, 0640u);
    ASSERT_EQ(::chmod(file.c_str(), 0755), 0);
    ASSERT_TRUE(writeText(file, "newer"));
    EXPECT_EQ(modeOf(file) & 07777, 0755u);
    EXPECT_EQ(slurp(file), "newer");
    // A new file gets what the umask leaves of 0666, as fopen would give it.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    ASSERT_TRUE(writeText(dir + "/fresh.tga", "x"));
    EXPECT_EQ(modeOf(dir + "/fresh.tga") & 07777, 0666u & ~mask);
}

TEST(FileWriter, TemporaryNameIsUnpredictableAndExclusive) {
    const std::string dir = freshDir("temp");
    const std::string out = dir + "/out.png";
    // A link planted at the old predictable name must not redirect the write.
    const std::string victim = dir + "/victim.txt";
    spit(victim, "precious");
    fs::create_symlink(victim, out + ".tmp-" + std::to_string(::getpid()));

    TxFileWriter a, b;
    ASSERT_TRUE(a.open(out));
    ASSERT_TRUE(b.open(out));
    EXPECT_NE(a.tempPath(), b.tempPath());
    for (const auto* w : {&a, &b}) {
        EXPECT_EQ(fs::path(w->tempPath()).parent_path(), fs::path(dir));
        EXPECT_FALSE(fs::is_symlink(w->tempPath()));
        EXPECT_EQ(modeOf(w->tempPath()) & 077, 0u) << "open to others while written";
    }
    ASSERT_TRUE(a.write("aaa", 3));
    ASSERT_TRUE(a.commit());
    b.abort();
    EXPECT_EQ(slurp(out), "aaa");
    EXPECT_EQ(slurp(victim), "precious");
    EXPECT_EQ(names(dir).size(), 3u);  // out.png, victim.txt and the planted link
}

TEST(FileWriter, DirectoryTargetIsRefusedAndUntouched) {
    const std::string dir = freshDir("dir");
    fs::create_directories(dir + "/out.png");
    spit(dir + "/out.png/inside", "x");
    std::string err;
    EXPECT_FALSE(writeText(dir + "/out.png", "data", &err));
    EXPECT_EQ(err, "is a directory");
    EXPECT_EQ(slurp(dir + "/out.png/inside"), "x");
    EXPECT_EQ(names(dir), std::vector<std::string>{"out.png"});
}

TEST(FileWriter, FailedWriteLeavesTheTargetAndNoTemporaryFile) {
    const std::string dir = freshDir("fail");
    const std::string file = dir + "/out.tga";
    spit(file, "old");
    {
        TxFileWriter w;
        ASSERT_TRUE(w.open(file));
        ASSERT_TRUE(w.write("half", 4));
    }  // dropped without commit
    EXPECT_EQ(slurp(file), "old");
    EXPECT_EQ(names(dir), std::vector<std::string>{"out.tga"});
}

TEST(FileWriter, SignalRemovesTheTemporaryFile) {
    for (int sig : {SIGTERM, SIGINT}) {
        const std::string dir = freshDir("signal" + std::to_string(sig));
        const std::string file = dir + "/out.tga";
        spit(file, "old");
        int pipeFd[2];
        ASSERT_EQ(::pipe(pipeFd), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(pipeFd[0]);
            TxFileWriter w;
            if (!w.open(file) || !w.write("partial", 7)) ::_exit(3);
            const char ready = 'r';
            if (::write(pipeFd[1], &ready, 1) != 1) ::_exit(4);
            for (;;) ::pause();
        }
        ::close(pipeFd[1]);
        char c = 0;
        ASSERT_EQ(::read(pipeFd[0], &c, 1), 1);
        ::close(pipeFd[0]);
        EXPECT_EQ(names(dir).size(), 2u);  // the target and the temporary file
        ::kill(pid, sig);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status));
        if (WIFSIGNALED(status)) {
            EXPECT_EQ(WTERMSIG(status), sig);
        }
        EXPECT_EQ(names(dir), std::vector<std::string>{"out.tga"});
        EXPECT_EQ(slurp(file), "old");
    }
}

TEST(InputFiles, FifoIsRefusedWithoutBlocking) {
    const std::string dir = freshDir("fifoin");
    const std::string fifo = dir + "/in.tga";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto read = std::async(std::launch::async, [&] {
        TxMip mip;
        TxReadContext ctx;
        txMipReadFile(mip, fifo, TX_PREFER_OWN, ctx);
        return ctx.lastError;
    });
    ASSERT_EQ(read.wait_for(std::chrono::seconds(20)), std::future_status::ready)
        << "reading a FIFO blocked";
    EXPECT_EQ(read.get(), "is not a regular file");
    std::vector<uint8_t> bytes;
    std::string err;
    EXPECT_FALSE(txLoadFile(fifo, bytes, err));
    EXPECT_EQ(err, "is not a regular file");
    EXPECT_FALSE(txLoadFile("/dev/zero", bytes, err));
    EXPECT_EQ(err, "is not a regular file");
}

TEST(InputFiles, DirectoryIsNamedSo) {
    const std::string dir = freshDir("dirin");
    TxMip mip;
    TxReadContext ctx;
    EXPECT_FALSE(txMipReadFile(mip, dir, TX_PREFER_OWN, ctx));
    EXPECT_EQ(ctx.lastError, "is a directory");
    TxFileData data;
    std::string err;
    EXPECT_FALSE(data.open(dir, err));
    EXPECT_EQ(err, "is a directory");
}

TEST(InputFiles, JunkOfTwoGibibytesIsRefusedWithoutReadingIt) {
    // A sparse file: it takes no disk, but reading it whole would take 2 GiB of memory.
    const std::string dir = freshDir("junk");
    const std::string file = dir + "/junk.bin";
    {
        const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const char head[] = "\x07junk that is no image at all";
        ASSERT_EQ(::write(fd, head, sizeof head), ssize_t(sizeof head));
        ASSERT_EQ(::ftruncate(fd, off_t(1) << 31), 0);
        ::close(fd);
    }
    // Measured in a child, whose peak resident size is its own.
    int pipeFd[2];
    ASSERT_EQ(::pipe(pipeFd), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(pipeFd[0]);
        struct rusage before, after;
        ::getrusage(RUSAGE_SELF, &before);
        TxMip mip;
        TxReadContext ctx;
        const bool ok = txMipReadFile(mip, file, TX_PREFER_OWN, ctx);
        ::getrusage(RUSAGE_SELF, &after);
        char msg[256];
        const int n = std::snprintf(msg, sizeof msg, "%d %ld %s", ok ? 1 : 0,
                                    after.ru_maxrss - before.ru_maxrss, ctx.lastError.c_str());
        if (::write(pipeFd[1], msg, size_t(n)) != n) ::_exit(3);
        ::_exit(0);
    }
    ::close(pipeFd[1]);
    char buf[256] = {};
    size_t got = 0;
    for (ssize_t r; (r = ::read(pipeFd[0], buf + got, sizeof buf - 1 - got)) > 0;) got += size_t(r);
    ::close(pipeFd[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << buf;
    int ok = -1;
    long grewKiB = -1;
    char text[200] = {};
    ASSERT_GE(std::sscanf(buf, "%d %ld %199[^\n]", &ok, &grewKiB, text), 2) << buf;
    EXPECT_EQ(ok, 0);
    EXPECT_STREQ(text, TX_UNRECOGNISED);
    EXPECT_LT(grewKiB, 256L * 1024) << "the probes read " << grewKiB << " KiB of a junk file";
    fs::remove(file);
}

TEST(InputFiles, MappedReadGivesTheSameImageAsMemory) {
    const std::string dir = freshDir("mapped");
    Bytes b;
    // 2x1 uncompressed true-colour TGA.
    b.u8(0).u8(0).u8(2).le16(0).le16(0).u8(0).le16(0).le16(0).le16(2).le16(1).u8(32).u8(0x28);
    b.le32(0xFF112233u).le32(0x80445566u);
    const std::string file = dir + "/two.tga";
    spit(file, std::string(b.v.begin(), b.v.end()));
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(txMipReadFile(mip, file, TX_PREFER_ARGB8888, ctx)) << ctx.lastError;
    const auto* px = reinterpret_cast<const uint32_t*>(mip.data[0]);
    EXPECT_EQ(px[0], 0xFF112233u);
    EXPECT_EQ(px[1], 0x80445566u);
}
