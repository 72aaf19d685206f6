#include "export/ReplacingFile.h"

#include "image/StreamErrors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Fixed and short, so that any name the folder takes leaves room for it.
std::string TemporaryName() {
    thread_local std::mt19937 generator{std::random_device{}()};
    static constexpr char Digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::uniform_int_distribution<int> digit(0, 35);
    std::string name = ".quarn";
    for (int i = 0; i < 8; ++i)
        name += Digits[digit(generator)];
    return name;
}

// The file an in-place open would write: the links followed one by one, so that a link whose
// file does not exist yet names the file to create.
fs::path FollowLinks(fs::path path) {
    std::error_code ec;
    for (int depth = 0; depth < 40 && fs::is_symlink(fs::symlink_status(path, ec)); ++depth) {
        const fs::path target = fs::read_symlink(path, ec);
        if (ec)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

fs::path FolderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// The process's file-creation mask. Read from the system where it can be: setting and restoring
// it with umask() would change it for a moment for every thread.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::string Reason(int errorNumber) {
    return std::strerror(errorNumber);
}

// An unnamed file gets a name through its descriptor's entry in /proc.
std::string DescriptorPath(const TFileDescriptor& file) {
    return "/proc/self/fd/" + std::to_string(file.Get());
}

} // namespace

TReplacingFile::TReplacingFile(const std::string& fileName, TTemporaryKind kind)
    : FFileName(fileName), FTarget(FollowLinks(fileName)), FFolder(FolderOf(FTarget)) {
    struct stat target {};
    const bool exists = ::stat(FTarget.c_str(), &target) == 0;
    // A rename would cut further hard links off the new content.
    if (exists && (!S_ISREG(target.st_mode) || target.st_nlink > 1)) {
        OpenInPlace();
        return;
    }
    if (exists) {
        // A write-protected picture stays protected although its folder would allow the rename.
        if (::access(FTarget.c_str(), W_OK) != 0)
            throw EFCreateError(FFileName, Reason(errno));
        FReplacesFile = true;
        FOwner = target.st_uid;
        FGroup = target.st_gid;
        FMode = target.st_mode & 07777;
    } else {
        FMode = 0666 & ~CurrentUmask();
    }
    // Never readable by more than the target is, nor by others before its mode is known.
    const int error = CreateTemporary(kind, exists ? (target.st_mode & 0777) : 0600);
    if (error == 0)
        return;
    // A folder that takes no new file: only the old file itself can take the picture.
    if (exists) {
        OpenInPlace();
        return;
    }
    throw EFCreateError(FFileName, Reason(error));
}

void TReplacingFile::OpenInPlace() {
    FFile.Reset(::open(FTarget.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!FFile.IsOpen())
        throw EFCreateError(FFileName, Reason(errno));
}

int TReplacingFile::CreateTemporary(TTemporaryKind kind, mode_t mode) {
    // An unnamed file vanishes with the process, however it ends.
    if (kind == TTemporaryKind::UnnamedWherePossible && ::access("/proc/self/fd", X_OK) == 0) {
        FFile.Reset(::open(FFolder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        if (FFile.IsOpen()) {
            FUnnamed = true;
            return 0;
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = FFolder / TemporaryName();
        FFile.Reset(::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (FFile.IsOpen()) {
            FTemporary = candidate;
            FRemoval = std::make_unique<TSignalRemoval>(FTemporary);
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

void TReplacingFile::NameTemporary() {
    const std::string source = DescriptorPath(FFile);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = FFolder / TemporaryName();
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            FTemporary = candidate;
            FRemoval = std::make_unique<TSignalRemoval>(FTemporary);
            return;
        }
        if (errno != EEXIST)
            throw EFCreateError(FFileName, Reason(errno));
    }
    throw EFCreateError(FFileName, Reason(EEXIST));
}

// Owner and group where the process may set them (an ordinary user may set the group to one of
// its own); the mode last, as a change of owner clears the set-user-ID bits.
void TReplacingFile::PassOnOwnerAndMode() {
    if (FReplacesFile && ::fchown(FFile.Get(), FOwner, FGroup) != 0) {
        if (errno != EPERM ||
            (::fchown(FFile.Get(), static_cast<uid_t>(-1), FGroup) != 0 && errno != EPERM))
            throw EFCreateError(FFileName, Reason(errno));
    }
    if (::fchmod(FFile.Get(), FMode) != 0)
        throw EFCreateError(FFileName, Reason(errno));
}

TReplacingFile::~TReplacingFile() {
    if (FCommitted)
        return;
    FFile.Reset();
    if (!FTemporary.empty())
        ::unlink(FTemporary.c_str());
}

void TReplacingFile::Commit() {
    FStream.flush();
    if (FBuffer.ErrorNumber() != 0)
        throw EWriteError(FFileName, Reason(FBuffer.ErrorNumber()));
    if (!FStream)
        throw EWriteError();
    const bool replacing = FUnnamed || !FTemporary.empty();
    if (replacing) {
        PassOnOwnerAndMode();
        if (FUnnamed)
            NameTemporary();
    }
    // Some file systems report a failed write only when the file is closed.
    if (const int error = FFile.Close(); error != 0)
        throw EWriteError(FFileName, Reason(error));
    if (replacing && ::rename(FTemporary.c_str(), FTarget.c_str()) != 0)
        throw EFCreateError(FFileName, Reason(errno));
    FRemoval.reset();
    FCommitted = true;
}

namespace {

constexpr std::size_t BlockBufferSize = 256 * 1024;

} // namespace

TReplacingFile::TBlockBuffer::TBlockBuffer(const TFileDescriptor& file)
    : FFile(file), FBuffer(std::make_unique<char[]>(BlockBufferSize)) {
    setp(FBuffer.get(), FBuffer.get() + BlockBufferSize);
}

bool TReplacingFile::TBlockBuffer::Drain() {
    if (FErrorNumber != 0)
        return false;
    const char* data = pbase();
    std::size_t left = static_cast<std::size_t>(pptr() - pbase());
    while (left > 0) {
        const ssize_t written = ::write(FFile.Get(), data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            FErrorNumber = written < 0 ? errno : EIO;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    FPosition += pptr() - pbase();
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
    return Drain() ? 0 : -1;
}

TReplacingFile::TBlockBuffer::pos_type TReplacingFile::TBlockBuffer::Seek(off_type offset,
                                                                          int whence) {
    if (!Drain())
        return pos_type(off_type(-1));
    const off_t result = ::lseek(FFile.Get(), static_cast<off_t>(offset), whence);
    if (result < 0)
        return pos_type(off_type(-1));
    FPosition = result;
    return pos_type(result);
}

TReplacingFile::TBlockBuffer::pos_type
TReplacingFile::TBlockBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                      std::ios_base::openmode which) {
    if (offset == 0 && direction == std::ios_base::cur)
        return pos_type(FPosition + (pptr() - pbase()));
    if ((which & std::ios_base::out) == 0)
        return pos_type(off_type(-1));
    const int whence = direction == std::ios_base::beg   ? SEEK_SET
                       : direction == std::ios_base::cur ? SEEK_CUR
                                                         : SEEK_END;
    return Seek(offset, whence);
}

TReplacingFile::TBlockBuffer::pos_type
TReplacingFile::TBlockBuffer::seekpos(pos_type position, std::ios_base::openmode which) {
    if ((which & std::ios_base::out) == 0)
        return pos_type(off_type(-1));
    return Seek(off_type(position), SEEK_SET);
}
