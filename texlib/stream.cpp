#include "texlib/stream.h"

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
#include <sys/stat.h>
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

int txOpenInput(const std::string& path, std::string& error) {
    // Looked at before opening, so that no device is opened at all, and again after: the name may
    // have changed in between.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        error = errnoText(errno);
        return -1;
    }
    auto kind = [&](const struct stat& s) -> const char* {
        if (S_ISDIR(s.st_mode)) return "is a directory";
        if (!S_ISREG(s.st_mode)) return "is not a regular file";
        return nullptr;
    };
    if (const char* why = kind(st)) {
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
    if (const char* why = kind(st)) {
        error = why;
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
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
    const int fd = txOpenInput(path, error);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error = errnoText(errno);
        ::close(fd);
        return false;
    }
    if (st.st_size < 0 || st.st_size > kMaxInputBytes) {
        error = st.st_size < 0 ? "cannot determine the file size" : "file is too large";
        ::close(fd);
        return false;
    }
    const size_t n = size_t(st.st_size);
    if (n > 0) {
        void* m = ::mmap(nullptr, n, PROT_READ, MAP_PRIVATE, fd, 0);
        if (m != MAP_FAILED) {
            map_ = m;
            data_ = static_cast<const uint8_t*>(m);
            size_ = n;
            ::close(fd);
            return true;
        }
        // A file system that cannot map: read it in instead.
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

bool TxFileWriter::open(const std::string& path) {
    abort();
    path_ = path;
    temp_.clear();
    failed_ = false;
    error_.clear();
    auto failWith = [&](const std::string& why) {
        error_ = why;
        failed_ = true;
        return false;
    };
    if (path.empty()) return failWith(errnoText(ENOENT));

    struct stat st;
    bool exists = false;
    if (::stat(path.c_str(), &st) == 0) {
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
            file_ = ::fdopen(fd, "wb");
            if (!file_) {
                ::close(fd);
                return failWith(errnoText(errno));
            }
            return true;
        }
    } else if (errno != ENOENT) {
        return failWith(errnoText(errno));
    }

    // The file itself is replaced, never a link to it; the temporary file lies in the same folder
    // so that the rename stays on one file system.
    path_ = followLinks(path);
    const size_t slash = path_.find_last_of('/');
    std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    if (base.size() > 200) base.resize(200);
    std::string templ = (slash == std::string::npos ? std::string() : path_.substr(0, slash + 1)) +
                        base + ".tmp-XXXXXX";
    installSignalCleanup();
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return failWith(errnoText(errno));
    temp_ = name.data();
    slot_ = claimTempSlot(temp_);
    // The file stays private (0600) while it is written; it gets its final bits at commit.
    mode_ = exists ? st.st_mode & 07777 : 0666 & ~currentUmask();
    keepOwner_ = exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid());
    uid_ = exists ? st.st_uid : 0;
    gid_ = exists ? st.st_gid : 0;
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        const int e = errno;
        ::close(fd);
        abort();
        return failWith(errnoText(e));
    }
    return true;
}

bool TxFileWriter::write(const void* data, size_t n) {
    if (!file_ || failed_) return false;
    if (n && std::fwrite(data, 1, n, file_) != n) {
        error_ = errnoText(errno);
        failed_ = true;
        return false;
    }
    return true;
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
    if (!file_) return false;
    if (!failed_ && std::fflush(file_) != 0) {
        error_ = errnoText(errno);
        failed_ = true;
    }
    if (!failed_ && !temp_.empty()) {
        const int fd = ::fileno(file_);
        // Ownership first: changing it may clear set-id bits that the mode then restores.
        if (keepOwner_) (void)::fchown(fd, uid_, gid_);
        if (::fchmod(fd, mode_) != 0) {
            error_ = errnoText(errno);
            failed_ = true;
        }
    }
    if (std::fclose(file_) != 0 && !failed_) {
        error_ = errnoText(errno);
        failed_ = true;
    }
    file_ = nullptr;
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
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    releaseTempSlot(slot_);
}
