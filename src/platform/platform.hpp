// The few operations whose form differs between operating systems; one
// implementation file per system, chosen by the build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

namespace srtx::platform {

// Opens the null device on each of the standard input, output and error that
// the caller left closed, so that no file srtx opens later can take its place
// and receive the listing or the error lines. False when that cannot be done.
bool openClosedStandardStreams();

// Writes text (UTF-8) to standard output or standard error. Files and pipes
// get the bytes as they are; a Windows console gets the text as UTF-16, the
// only form it shows intact whatever its code page.
void writeText(std::FILE* stream, std::string_view text);

// The command line with every argument as UTF-8 text. POSIX systems hand the
// bytes over as they are; Windows hands over UTF-16, which is converted here
// so that names in any script reach the file functions below intact. An
// argument that is not valid UTF-16 (a lone surrogate) names no file that can
// be opened faithfully: its text then fails every open below.
char** utf8Arguments(int& argc, char** argv);

// Opens the file named by a UTF-8 path for reading, in binary mode.
std::FILE* openForReading(const char* path);

// Opens the file named by a UTF-8 path for writing in binary mode, creating it
// when it does not exist and keeping what it holds when it does, so that the
// file can be identified before anything in it is lost.
std::FILE* openForWritingKeepingContents(const char* path);

// Cuts a file opened by openForWritingKeepingContents to length 0. Devices and
// pipes have no length and are left as they are.
bool truncateToEmpty(std::FILE* file);

// What makes a file the same file under any name: device and inode on POSIX,
// volume serial number and 128-bit file identifier on Windows. Empty when the
// system cannot tell, which callers must take as "might be any file".
struct FileIdentity {
    std::uint64_t volume;
    std::uint64_t index;
    std::uint64_t indexHigh = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
std::optional<FileIdentity> identify(std::FILE* file);

// Absolute positioning and the position, in 64 bits whatever the size of long.
bool seekToEnd(std::FILE* file);
bool seekToStart(std::FILE* file);
std::int64_t tell(std::FILE* file); // -1 when it cannot be told

// Reads up to size bytes at an absolute position of an open file, straight
// from the system, without using or moving the stream's own position and
// buffer. Returns the number read: fewer at the end of the file or on error.
std::size_t readAt(std::FILE* file, std::int64_t position, void* buffer, std::size_t size);

} // namespace srtx::platform
