#include "export/ReplacingFile.h"

#include "image/StreamErrors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string TemporaryName(const fs::path& target) {
    static std::mt19937 generator{std::random_device{}()};
    std::string name(".");
    name += target.filename().string();
    name += '.';
    name += std::to_string(generator() % 1000000000);
    name += ".tmp";
    return name;
}

} // namespace

TReplacingFile::TReplacingFile(const std::string& fileName) : FFileName(fileName) {
    std::error_code ec;
    FTarget = fs::path(fileName);
    // Replacing a link replaces the file it points to, not the link.
    if (fs::is_symlink(fs::symlink_status(FTarget, ec))) {
        const fs::path resolved = fs::canonical(FTarget, ec);
        if (!ec)
            FTarget = resolved;
    }
    const fs::file_status status = fs::status(FTarget, ec);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        Open(FTarget);
        if (!FFile.is_open())
            throw EFCreateError(FFileName, std::strerror(errno));
        return;
    }
    if (fs::exists(status)) {
        // A write-protected picture stays protected although its folder would allow the rename.
        if (::access(FTarget.c_str(), W_OK) != 0)
            throw EFCreateError(FFileName, std::strerror(errno));
        FPermissions = status.permissions();
    }
    CreateTemporary(FTarget);
    Open(FTemporary);
    if (!FFile.is_open()) {
        const int error = errno;
        fs::remove(FTemporary, ec);
        throw EFCreateError(FFileName, std::strerror(error));
    }
}

void TReplacingFile::Open(const fs::path& path) {
    FFile.open(path, std::ios::binary | std::ios::out | std::ios::trunc);
}

void TReplacingFile::CreateTemporary(const fs::path& target) {
    const fs::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = folder / TemporaryName(target);
        // Exclusive creation with the usual permissions (subject to the umask).
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            FTemporary = candidate;
            return;
        }
        if (errno != EEXIST)
            throw EFCreateError(FFileName, std::strerror(errno));
    }
    throw EFCreateError(FFileName, std::strerror(EEXIST));
}

TReplacingFile::~TReplacingFile() {
    if (FCommitted)
        return;
    FFile.close();
    if (!FTemporary.empty()) {
        std::error_code ec;
        fs::remove(FTemporary, ec);
    }
}

void TReplacingFile::Commit() {
    FStream.flush();
    if (!FStream || !FFile.close())
        throw EWriteError();
    if (!FTemporary.empty()) {
        std::error_code ec;
        if (FPermissions != fs::perms::unknown)
            fs::permissions(FTemporary, FPermissions, ec);
        fs::rename(FTemporary, FTarget, ec);
        if (ec)
            throw EFCreateError(FFileName, ec.message());
    }
    FCommitted = true;
}

namespace {

constexpr std::size_t BlockBufferSize = 256 * 1024;

} // namespace

TReplacingFile::TBlockBuffer::TBlockBuffer(std::streambuf& file)
    : FFile(file), FBuffer(std::make_unique<char[]>(BlockBufferSize)) {
    setp(FBuffer.get(), FBuffer.get() + BlockBufferSize);
}

bool TReplacingFile::TBlockBuffer::Drain() {
    const std::streamsize count = pptr() - pbase();
    if (count > 0 && FFile.sputn(pbase(), count) != count)
        return false;
    FPosition += count;
    setp(FBuffer.get(), FBuffer.get() + BlockBufferSize);
    return true;
}

TReplacingFile::TBlockBuffer::int_type TReplacingFile::TBlockBuffer::overflow(int_type c) {
    if (!Drain())
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof()))
        sputc(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
}

int TReplacingFile::TBlockBuffer::sync() {
    return Drain() && FFile.pubsync() == 0 ? 0 : -1;
}

TReplacingFile::TBlockBuffer::pos_type
TReplacingFile::TBlockBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                      std::ios_base::openmode which) {
    if (offset == 0 && direction == std::ios_base::cur)
        return pos_type(FPosition + (pptr() - pbase()));
    if (!Drain())
        return pos_type(off_type(-1));
    const pos_type result = FFile.pubseekoff(offset, direction, which);
    if (result != pos_type(off_type(-1)))
        FPosition = result;
    return result;
}

TReplacingFile::TBlockBuffer::pos_type
TReplacingFile::TBlockBuffer::seekpos(pos_type position, std::ios_base::openmode which) {
    if (!Drain())
        return pos_type(off_type(-1));
    const pos_type result = FFile.pubseekpos(position, which);
    if (result != pos_type(off_type(-1)))
        FPosition = result;
    return result;
}
