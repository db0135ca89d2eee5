#include "inspect/output/OutputBuffer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace marrowix::inspect {

OutputBuffer::OutputBuffer(int fd) : m_fd(fd) {
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
}

OutputBuffer::~OutputBuffer() {
    Flush();
}

bool OutputBuffer::WriteAll(const char* data, std::size_t n) {
    while (n > 0 && m_error == 0) {
        const ssize_t written = ::write(m_fd, data, n);
        if (written < 0) {
            if (errno != EINTR) {
                m_error = errno;
            }
            continue;
        }
        if (written == 0) {
            m_error = EIO;
            break;
        }
        data += written;
        n -= static_cast<std::size_t>(written);
    }
    return m_error == 0;
}

bool OutputBuffer::Flush() {
    const auto n = static_cast<std::size_t>(pptr() - pbase());
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    return WriteAll(m_buffer.data(), n) && m_error == 0;
}

std::string OutputBuffer::Error() const {
    return m_error == 0 ? std::string() : std::generic_category().message(m_error);
}

OutputBuffer::int_type OutputBuffer::overflow(int_type c) {
    if (!Flush()) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize OutputBuffer::xsputn(const char* data, std::streamsize n) {
    const auto size = static_cast<std::size_t>(n);
    if (size <= static_cast<std::size_t>(epptr() - pptr())) {
        std::memcpy(pptr(), data, size);
        pbump(static_cast<int>(n));
        return n;
    }
    // Larger than the room left: what is buffered, then the rest directly.
    if (!Flush() || !WriteAll(data, size)) {
        return 0;
    }
    return n;
}

int OutputBuffer::sync() {
    return Flush() ? 0 : -1;
}

}  // namespace marrowix::inspect
