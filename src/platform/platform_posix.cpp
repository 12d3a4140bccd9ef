// The platform layer on POSIX systems (Linux on every architecture).
#include "platform.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64 so that sizes are 64-bit");

namespace srtx::platform {

bool openClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free descriptor is this one, as those below it are open.
            const int opened = ::open("/dev/null", O_RDWR);
            if (opened != fd) {
                return false;
            }
        }
    }
    return true;
}

void writeText(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

char** utf8Arguments(int& /*argc*/, char** argv) {
    return argv;
}

std::FILE* openForReading(const char* path) {
    // A directory opens for reading here but holds no bytes to read; what it
    // then reports for its size depends on the file system. It is refused at
    // the open, as on Windows.
    std::FILE* file = std::fopen(path, "rb");
    struct stat status {};
    if (file != nullptr && ::fstat(::fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
        std::fclose(file);
        errno = EISDIR;
        return nullptr;
    }
    return file;
}

std::FILE* openForWritingKeepingContents(const char* path) {
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    // "w" with fdopen neither creates nor truncates: the descriptor is kept as opened.
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        ::close(fd);
    }
    return file;
}

bool truncateToEmpty(std::FILE* file) {
    struct stat status {};
    const int fd = ::fileno(file);
    if (::fstat(fd, &status) != 0) {
        return false;
    }
    return !S_ISREG(status.st_mode) || ::ftruncate(fd, 0) == 0;
}

std::optional<FileIdentity> identify(std::FILE* file) {
    struct stat status {};
    if (::fstat(::fileno(file), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
}

bool seekToEnd(std::FILE* file) {
    return ::fseeko(file, 0, SEEK_END) == 0;
}

bool seekToStart(std::FILE* file) {
    return ::fseeko(file, 0, SEEK_SET) == 0;
}

std::int64_t tell(std::FILE* file) {
    return ::ftello(file);
}

std::size_t readAt(std::FILE* file, std::int64_t position, void* buffer, std::size_t size) {
    const int fd = ::fileno(file);
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, bytes + done, size - done,
                                  static_cast<off_t>(position + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

} // namespace srtx::platform
