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

// Reads a whole file; on failure `error` says why (open failure, read error, too large).
bool txLoadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Writes a file through a temporary beside the target, renamed over it only when every byte was
// written, so a failed write never destroys the previous file.
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
    bool ok() const { return file_ != nullptr && !failed_; }
    // Flushes, closes and renames over the target. False (and the target untouched) on any error.
    bool commit();
    // Drops the temporary file.
    void abort();
    const std::string& error() const { return error_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_, temp_, error_;
    bool failed_ = false;
};
