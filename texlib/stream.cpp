#include "texlib/stream.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "texlib/mip.h"

size_t TxStream::read(void* dst, size_t n) {
    const size_t k = n < remaining() ? n : remaining();
    if (k) std::memcpy(dst, data_ + pos_, k);
    pos_ += k;
    return k;
}

bool TxStream::u8(uint8_t& v) {
    if (pos_ >= size_) return false;
    v = data_[pos_++];
    return true;
}

bool TxStream::le16(uint16_t& v) {
    if (remaining() < 2) return false;
    v = uint16_t(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return true;
}

bool TxStream::le32(uint32_t& v) {
    if (remaining() < 4) return false;
    const uint8_t* p = data_ + pos_;
    v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    pos_ += 4;
    return true;
}

bool TxStream::be16(uint16_t& v) {
    if (remaining() < 2) return false;
    v = uint16_t((data_[pos_] << 8) | data_[pos_ + 1]);
    pos_ += 2;
    return true;
}

bool TxStream::be32(uint32_t& v) {
    if (remaining() < 4) return false;
    const uint8_t* p = data_ + pos_;
    v = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
    pos_ += 4;
    return true;
}

bool TxStream::readLine(char* buf, size_t cap) {
    if (cap == 0) return false;
    if (atEnd()) {
        buf[0] = 0;
        return false;
    }
    size_t k = 0;
    while (k + 1 < cap && pos_ < size_) {
        char c = char(data_[pos_++]);
        buf[k++] = c;
        if (c == '\n') break;
    }
    buf[k] = 0;
    return true;
}

// --- inputs -------------------------------------------------------------------------------------

namespace {

std::string errnoText(int e) {
    const char* t = std::strerror(e);
    return t && *t ? t : "error";
}

// Files beyond what any image may hold are refused before anything is read.
constexpr int64_t kMaxInputBytes = TX_MAX_PIXEL_BYTES * 2;

}  // namespace

namespace {

const char* notRegular(const struct stat& s) {
    if (S_ISDIR(s.st_mode)) return "is a directory";
    if (!S_ISREG(s.st_mode)) return "is not a regular file";
    return nullptr;
}

// Looked at by name before opening, so that no device is opened at all, and again on the open
// descriptor: the name may have changed in between. `st` is what the descriptor holds.
int openRegular(const std::string& path, struct stat& st, std::string& error) {
    if (::stat(path.c_str(), &st) != 0) {
        error = errnoText(errno);
        return -1;
    }
    if (const char* why = notRegular(st)) {
        error = why;
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = errnoText(errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0) {
        error = errnoText(errno);
        ::close(fd);
        return -1;
    }
    if (const char* why = notRegular(st)) {
        error = why;
        ::close(fd);
        return -1;
    }
    // O_NONBLOCK means nothing to a regular file, so it is left on.
    return fd;
}

// Files below this size are read rather than mapped: one read costs less than a mapping, its
// page faults and the unmapping.
constexpr size_t kReadBelow = size_t(256) << 10;

}  // namespace

int txOpenInput(const std::string& path, std::string& error) {
    struct stat st;
    return openRegular(path, st, error);
}

TxFileData::~TxFileData() { close(); }

void TxFileData::close() {
    if (map_)
        ::munmap(map_, size_);
    else
        std::free(const_cast<uint8_t*>(data_));
    map_ = nullptr;
    data_ = nullptr;
    size_ = 0;
}

bool TxFileData::open(const std::string& path, std::string& error) {
    close();
    struct stat st;
    const int fd = openRegular(path, st, error);
    if (fd < 0) return false;
    if (st.st_size < 0 || st.st_size > kMaxInputBytes) {
        error = st.st_size < 0 ? "cannot determine the file size" : "file is too large";
        ::close(fd);
        return false;
    }
    const size_t n = size_t(st.st_size);
    if (n >= kReadBelow) {
        void* m = ::mmap(nullptr, n, PROT_READ, MAP_PRIVATE, fd, 0);
        if (m != MAP_FAILED) {
            map_ = m;
            data_ = static_cast<const uint8_t*>(m);
            size_ = n;
            ::close(fd);
            return true;
        }
        // A file system that cannot map: read it in instead.
    }
    if (n > 0) {
        auto* buf = static_cast<uint8_t*>(std::malloc(n));
        if (!buf) {
            error = "Out of memory";
            ::close(fd);
            return false;
        }
        size_t got = 0;
        while (got < n) {
            const ssize_t r = ::read(fd, buf + got, n - got);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            got += size_t(r);
        }
        if (got != n) {
            error = "read error";
            std::free(buf);
            ::close(fd);
            return false;
        }
        data_ = buf;
        size_ = n;
    }
    ::close(fd);
    return true;
}

bool txLoadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    TxFileData file;
    if (!file.open(path, error)) return false;
    try {
        bytes.assign(file.data(), file.data() + file.size());
    } catch (const std::bad_alloc&) {
        error = "Out of memory";
        return false;
    }
    return true;
}

// --- writing ------------------------------------------------------------------------------------

namespace {

// Temporary files being written, removed by the SIGINT/SIGTERM handler. A slot is claimed (1),
// filled, then published (2); the handler only reads published slots, and only calls unlink.
struct TempSlot {
    std::atomic<int> state{0};
    char path[4096];
};
constexpr int kTempSlots = 256;
TempSlot gTempSlots[kTempSlots];

extern "C" void txRemoveTempsAndDie(int sig) {
    for (auto& slot : gTempSlots)
        if (slot.state.load() == 2) ::unlink(slot.path);
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    ::sigaction(sig, &dfl, nullptr);
    ::raise(sig);  // delivered with the default action once the handler returns
}

void installSignalCleanup() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int sig : {SIGINT, SIGTERM}) {
            struct sigaction old;
            if (::sigaction(sig, nullptr, &old) != 0) continue;
            // A program that handles or ignores the signal itself keeps its own way.
            if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
            struct sigaction act;
            std::memset(&act, 0, sizeof act);
            act.sa_handler = txRemoveTempsAndDie;
            sigemptyset(&act.sa_mask);
            sigaddset(&act.sa_mask, SIGINT);
            sigaddset(&act.sa_mask, SIGTERM);
            ::sigaction(sig, &act, nullptr);
        }
    });
}

int claimTempSlot(const std::string& path) {
    if (path.size() >= sizeof gTempSlots[0].path) return -1;
    for (int k = 0; k < kTempSlots; ++k) {
        int expected = 0;
        if (!gTempSlots[k].state.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(gTempSlots[k].path, path.c_str(), path.size() + 1);
        gTempSlots[k].state.store(2);
        return k;
    }
    return -1;  // more writes at once than slots: this one is not cleaned up on a signal
}

void releaseTempSlot(int& slot) {
    if (slot < 0) return;
    gTempSlots[slot].state.store(0);
    slot = -1;
}

// The process's umask, read without changing it where the system tells it.
mode_t readUmask() {
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned v = 0;
            if (std::sscanf(line, "Umask: %o", &v) == 1) {
                std::fclose(f);
                return mode_t(v);
            }
        }
        std::fclose(f);
    }
    const mode_t u = ::umask(022);
    ::umask(u);
    return u;
}

// Read once: programs set their umask before they write, and a batch writes many files.
mode_t currentUmask() {
    static const mode_t mask = readUmask();
    return mask;
}

std::string dirOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Follows symbolic links named by `path` (the last component only, link after link) to the name
// that is really written; a dangling link gives the name it points at.
std::string followLinks(const std::string& path) {
    std::string cur = path;
    for (int k = 0; k < 40; ++k) {
        struct stat st;
        if (::lstat(cur.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        char buf[4096];
        const ssize_t n = ::readlink(cur.c_str(), buf, sizeof buf - 1);
        if (n <= 0) break;
        const std::string link(buf, size_t(n));
        cur = link[0] == '/' ? link : dirOf(cur) + "/" + link;
    }
    return cur;
}

// Names that stand for a descriptor of this process: written straight into, appended to when
// they are a file (as the shell opened them), never replaced.
bool isDescriptorName(const std::string& path) {
    return path == "/dev/stdout" || path == "/dev/stderr" || path.rfind("/dev/fd/", 0) == 0 ||
           path.rfind("/proc/self/fd/", 0) == 0;
}

}  // namespace

TxFileWriter::~TxFileWriter() { abort(); }

namespace {

// Unpredictable names for temporary files without a system call each: a generator per thread,
// seeded once from the kernel. O_EXCL keeps a name that exists from ever being opened.
std::string randomSuffix() {
    thread_local uint64_t state = [] {
        uint64_t seed = 0;
        if (::getrandom(&seed, sizeof seed, GRND_NONBLOCK) != ssize_t(sizeof seed))
            seed = uint64_t(::getpid()) * 0x9E3779B97F4A7C15ull ^ uint64_t(uintptr_t(&seed));
        return seed | 1;
    }();
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string out(6, 'x');
    for (char& c : out) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        c = kChars[(state >> 32) % 62];
    }
    return out;
}

uid_t effectiveUid() {
    static const uid_t uid = ::geteuid();
    return uid;
}

gid_t effectiveGid() {
    static const gid_t gid = ::getegid();
    return gid;
}

}  // namespace

bool TxFileWriter::open(const std::string& path) {
    abort();
    path_ = path;
    temp_.clear();
    failed_ = false;
    error_.clear();
    buffer_.clear();
    auto failWith = [&](const std::string& why) {
        error_ = why;
        failed_ = true;
        return false;
    };
    if (path.empty()) return failWith(errnoText(ENOENT));

    // One lstat tells a plain target (or none); only a symbolic link needs a second look.
    struct stat st;
    bool exists = false;
    bool link = false;
    int r = ::lstat(path.c_str(), &st);
    if (r == 0 && S_ISLNK(st.st_mode)) {
        link = true;
        r = ::stat(path.c_str(), &st);
    }
    if (r == 0) {
        if (S_ISDIR(st.st_mode)) return failWith("is a directory");
        exists = true;
        if (!S_ISREG(st.st_mode) || isDescriptorName(path)) {
            // A FIFO, a device or one of our own descriptors: written straight into.
            const int flags =
                O_WRONLY | O_CLOEXEC | O_NOCTTY | (S_ISREG(st.st_mode) ? O_APPEND : 0);
            int fd;
            do {
                fd = ::open(path.c_str(), flags);
            } while (fd < 0 && errno == EINTR);
            if (fd < 0) return failWith(errnoText(errno));
            fd_ = fd;
            return true;
        }
    } else if (errno != ENOENT) {
        return failWith(errnoText(errno));
    }

    // The file itself is replaced, never a link to it; the temporary file lies in the same folder
    // so that the rename stays on one file system.
    if (link) path_ = followLinks(path);
    const size_t slash = path_.find_last_of('/');
    std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    if (base.size() > 200) base.resize(200);
    const std::string stem =
        (slash == std::string::npos ? std::string() : path_.substr(0, slash + 1)) + base + ".tmp-";
    installSignalCleanup();
    // The file stays private (0600) while it is written; it gets its final bits at commit.
    const mode_t createMode = 0600;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp_ = stem + randomSuffix();
        fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, createMode);
        if (fd < 0 && errno != EEXIST && errno != EINTR) break;
    }
    if (fd < 0) {
        const int e = errno;
        temp_.clear();
        return failWith(errnoText(e));
    }
    fd_ = fd;
    slot_ = claimTempSlot(temp_);
    mode_ = exists ? st.st_mode & 07777 : 0666 & ~currentUmask();
    keepOwner_ = exists && (st.st_uid != effectiveUid() || st.st_gid != effectiveGid());
    uid_ = exists ? st.st_uid : 0;
    gid_ = exists ? st.st_gid : 0;
    return true;
}

namespace {

// Pieces gathered before a write; a larger piece goes out with what is gathered in one writev.
constexpr size_t kGather = size_t(1) << 20;

}  // namespace

bool TxFileWriter::flush(const void* more, size_t n) {
    struct iovec iov[2] = {{buffer_.data(), buffer_.size()}, {const_cast<void*>(more), n}};
    int first = buffer_.empty() ? 1 : 0;
    const int count = n ? 2 : 1;
    while (first < count) {
        const ssize_t w = ::writev(fd_, iov + first, count - first);
        if (w < 0) {
            if (errno == EINTR) continue;
            error_ = errnoText(errno);
            failed_ = true;
            return false;
        }
        if (w == 0) {
            error_ = errnoText(EIO);
            failed_ = true;
            return false;
        }
        size_t done = size_t(w);
        while (first < count && done >= iov[first].iov_len) done -= iov[first++].iov_len;
        if (first < count) {
            iov[first].iov_base = static_cast<uint8_t*>(iov[first].iov_base) + done;
            iov[first].iov_len -= done;
        }
    }
    buffer_.clear();
    return true;
}

bool TxFileWriter::write(const void* data, size_t n) {
    if (fd_ < 0 || failed_) return false;
    if (n == 0) return true;
    if (buffer_.size() + n <= kGather) {
        try {
            if (buffer_.capacity() == 0)
                buffer_.reserve(std::min(kGather, std::max<size_t>(n, 64 << 10)));
            buffer_.insert(buffer_.end(), static_cast<const uint8_t*>(data),
                           static_cast<const uint8_t*>(data) + n);
            return true;
        } catch (const std::bad_alloc&) {
            // Written at once below instead.
        }
    }
    return flush(data, n);
}

bool TxFileWriter::putLe16(uint16_t v) {
    uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    return write(b, 2);
}

bool TxFileWriter::putLe32(uint32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return write(b, 4);
}

bool TxFileWriter::putBe16(uint16_t v) {
    uint8_t b[2] = {uint8_t(v >> 8), uint8_t(v)};
    return write(b, 2);
}

bool TxFileWriter::putBe32(uint32_t v) {
    uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    return write(b, 4);
}

bool TxFileWriter::commit() {
    if (fd_ < 0) return false;
    if (!failed_ && !buffer_.empty()) flush(nullptr, 0);
    if (!failed_ && !temp_.empty()) {
        // Ownership first: changing it may clear set-id bits that the mode then restores.
        if (keepOwner_) (void)::fchown(fd_, uid_, gid_);
        if (::fchmod(fd_, mode_) != 0) {
            error_ = errnoText(errno);
            failed_ = true;
        }
    }
    if (::close(fd_) != 0 && !failed_ && errno != EINTR) {
        error_ = errnoText(errno);
        failed_ = true;
    }
    fd_ = -1;
    buffer_.clear();
    if (temp_.empty()) return !failed_;  // written straight into
    if (!failed_ && std::rename(temp_.c_str(), path_.c_str()) != 0) {
        error_ = errnoText(errno);
        failed_ = true;
    }
    if (failed_) {
        ::unlink(temp_.c_str());
        temp_.clear();
        releaseTempSlot(slot_);
        return false;
    }
    temp_.clear();
    releaseTempSlot(slot_);
    return true;
}

void TxFileWriter::abort() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    buffer_.clear();
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    releaseTempSlot(slot_);
}
