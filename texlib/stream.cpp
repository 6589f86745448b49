#include "texlib/stream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
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

bool txLoadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = true;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        long n = std::ftell(f);
        // Files far beyond what any image may hold are refused before reading them in.
        if (n < 0 || n > TX_MAX_PIXEL_BYTES * 2) {
            error = n < 0 ? "cannot determine the file size" : "file is too large";
            std::fclose(f);
            return false;
        }
        std::rewind(f);
        bytes.resize(size_t(n));
        if (n > 0 && std::fread(bytes.data(), 1, size_t(n), f) != size_t(n)) ok = false;
    } else {
        ok = false;
    }
    if (!ok) {
        error = std::ferror(f) ? std::strerror(errno) : "read error";
        if (error == "Success") error = "read error";
        bytes.clear();
    }
    std::fclose(f);
    return ok;
}

TxFileWriter::~TxFileWriter() { abort(); }

bool TxFileWriter::open(const std::string& path) {
    abort();
    path_ = path;
    temp_ = path + ".tmp-" + std::to_string(::getpid());
    failed_ = false;
    error_.clear();
    file_ = std::fopen(temp_.c_str(), "wb");
    if (!file_) {
        error_ = std::strerror(errno);
        failed_ = true;
        return false;
    }
    return true;
}

bool TxFileWriter::write(const void* data, size_t n) {
    if (!file_ || failed_) return false;
    if (n && std::fwrite(data, 1, n, file_) != n) {
        error_ = std::strerror(errno);
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
        error_ = std::strerror(errno);
        failed_ = true;
    }
    if (std::fclose(file_) != 0 && !failed_) {
        error_ = std::strerror(errno);
        failed_ = true;
    }
    file_ = nullptr;
    if (!failed_ && std::rename(temp_.c_str(), path_.c_str()) != 0) {
        error_ = std::strerror(errno);
        failed_ = true;
    }
    if (failed_) {
        std::remove(temp_.c_str());
        return false;
    }
    temp_.clear();
    return true;
}

void TxFileWriter::abort() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        std::remove(temp_.c_str());
        temp_.clear();
    }
}
