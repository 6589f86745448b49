// Bounded byte reader over a file held in memory: every read is checked against the bytes that are
// really present, which is what keeps the readers safe on hostile input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class TxStream {
public:
    TxStream() = default;
    TxStream(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    size_t tell() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    bool atEnd() const { return pos_ >= size_; }
    const uint8_t* current() const { return data_ + pos_; }

    void rewind() { pos_ = 0; }
    // Positions at `pos`; false (position unchanged) beyond the end.
    bool seek(size_t pos) {
        if (pos > size_) return false;
        pos_ = pos;
        return true;
    }
    bool skip(size_t n) {
        if (n > remaining()) {
            pos_ = size_;
            return false;
        }
        pos_ += n;
        return true;
    }
    // Copies up to n bytes; returns the count copied (short only at the end of the data).
    size_t read(void* dst, size_t n);
    bool readExact(void* dst, size_t n) { return read(dst, n) == n; }
    // Next byte, or -1 at the end.
    int getByte() { return pos_ < size_ ? data_[pos_++] : -1; }

    bool u8(uint8_t& v);
    bool le16(uint16_t& v);
    bool le32(uint32_t& v);
    bool be16(uint16_t& v);
    bool be32(uint32_t& v);

    // fgets-like: reads up to cap-1 bytes or through the next '\n' into buf, NUL-terminated.
    // False when nothing could be read.
    bool readLine(char* buf, size_t cap);

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
};

// Opens an input for reading. Nothing blocks (a FIFO or a device is never waited on) and only a
// regular file is taken: anything else fails with "is a directory" or "is not a regular file".
// Returns the descriptor (close-on-exec), or -1 with `error` set.
int txOpenInput(const std::string& path, std::string& error);

// A whole input file, mapped rather than read: only the pages that readers touch are brought in,
// so a probe that looks at a header costs a header's worth of memory whatever the file's size.
// Files over the readers' limit are refused with "file is too large".
class TxFileData {
public:
    TxFileData() = default;
    ~TxFileData();
    TxFileData(const TxFileData&) = delete;
    TxFileData& operator=(const TxFileData&) = delete;

    bool open(const std::string& path, std::string& error);
    void close();
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    TxStream stream() const { return TxStream(data_, size_); }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    void* map_ = nullptr;
};

// Reads a whole file; on failure `error` says why (open failure, not a regular file, read error,
// too large).
bool txLoadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Writes a file so that a failed write never destroys what was there, and nothing but the target
// is ever written:
// - a regular file (or a name not yet taken) is written into a temporary file created exclusively,
//   with an unpredictable name, in the target's own folder, and renamed over the target only when
//   every byte was written; an existing target keeps its permission bits (and, where allowed, its
//   owner);
// - a symbolic link is followed: its target is written, the link stays;
// - a FIFO or device node (/dev/stdout, /dev/null, ...) is written straight into, without any
//   temporary file; a directory is refused ("is a directory");
// - a write stopped by SIGINT or SIGTERM removes its temporary file (the handlers are installed on
//   the first write where those signals still have their default action).
class TxFileWriter {
public:
    TxFileWriter() = default;
    ~TxFileWriter();
    TxFileWriter(const TxFileWriter&) = delete;
    TxFileWriter& operator=(const TxFileWriter&) = delete;

    bool open(const std::string& path);
    bool write(const void* data, size_t n);
    bool put8(uint8_t v) { return write(&v, 1); }
    bool putLe16(uint16_t v);
    bool putLe32(uint32_t v);
    bool putBe16(uint16_t v);
    bool putBe32(uint32_t v);
    bool ok() const { return fd_ >= 0 && !failed_; }
    // Flushes, closes and renames over the target. False (and the target untouched, unless it is
    // a FIFO or device written straight into) on any error.
    bool commit();
    // Drops the temporary file.
    void abort();
    const std::string& error() const { return error_; }
    // The temporary file being written ("" when none: not open, or written straight into).
    const std::string& tempPath() const { return temp_; }

private:
    bool flush(const void* more, size_t n);

    int fd_ = -1;
    // Small writes gather here; a file of up to its size costs one write at commit.
    std::vector<uint8_t> buffer_;
    std::string path_, temp_, error_;
    bool failed_ = false;
    int slot_ = -1;
    // What the file gets at commit: the existing target's bits (and owner), else 0666 less umask.
    unsigned mode_ = 0;
    bool keepOwner_ = false;
    unsigned uid_ = 0, gid_ = 0;  // entry in the table of temporary files removed on SIGINT/SIGTERM
};
