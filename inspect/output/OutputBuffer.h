// Standard output for marrowix-inspect: a stream buffer over a file
// descriptor that remembers why its first write failed, so that output which
// did not reach its file is reported with the system's reason however much
// of it there was (a full disk, a closed pipe, a file size limit).
#pragma once

#include <array>
#include <streambuf>
#include <string>

namespace marrowix::inspect {

class OutputBuffer : public std::streambuf {
public:
    explicit OutputBuffer(int fd);
    ~OutputBuffer() override;
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    // Writes what is buffered; false when any write so far failed.
    bool Flush();
    // The reason the first failed write gave, or "" while none failed.
    std::string Error() const;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize n) override;
    int sync() override;

private:
    bool WriteAll(const char* data, std::size_t n);

    int m_fd;
    int m_error = 0;
    std::array<char, 1 << 16> m_buffer{};
};

}  // namespace marrowix::inspect
