#pragma once

#include "export/FileDescriptor.h"
#include "export/SignalRemoval.h"

#include <filesystem>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <sys/types.h>

// The output file of one save. A regular file (new or existing) is written as a temporary in its
// folder and put in place only by Commit, so a failed or interrupted save neither leaves a
// partial new file nor damages the picture that was there. The temporary has no name at all
// where the file system allows it, and otherwise a short hidden one that SIGINT, SIGTERM and
// SIGHUP remove. Targets a rename cannot replace faithfully are written in place: devices and
// pipes, files with further hard links, and files whose folder takes no new file.
class TReplacingFile {
public:
    enum class TTemporaryKind { UnnamedWherePossible, Named };

    // Raises EFCreateError when the file cannot be created.
    explicit TReplacingFile(const std::string& fileName,
                            TTemporaryKind kind = TTemporaryKind::UnnamedWherePossible);
    // Without a Commit the temporary file is removed.
    ~TReplacingFile();
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;

    std::ostream& Stream() { return FStream; }
    // Flushes and closes the file and puts it in place; raises EWriteError when the bytes could
    // not all be written and EFCreateError when the file cannot take the target's name.
    void Commit();
    // The system's error number of the first write that failed; 0 while none did.
    int WriteErrorNumber() const { return FBuffer.ErrorNumber(); }

private:
    // Gathers the writers' small blocks into large writes to the file.
    class TBlockBuffer : public std::streambuf {
    public:
        explicit TBlockBuffer(const TFileDescriptor& file);
        int ErrorNumber() const { return FErrorNumber; }

    protected:
        int_type overflow(int_type c) override;
        int sync() override;
        // Writers that patch earlier bytes (TIFF) seek in the file.
        pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                         std::ios_base::openmode which) override;
        pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

    private:
        bool Drain();
        pos_type Seek(off_type offset, int whence);

        const TFileDescriptor& FFile;
        std::unique_ptr<char[]> FBuffer;
        // The file position of the buffer's first byte; asking for the position costs nothing.
        off_type FPosition = 0;
        int FErrorNumber = 0;
    };

    void OpenInPlace();
    // 0 when the temporary is open, the system's error number otherwise.
    int CreateTemporary(TTemporaryKind kind, mode_t mode);
    // Gives the unnamed temporary a hidden name in the folder.
    void NameTemporary();
    void PassOnOwnerAndMode();

    std::string FFileName;
    // The file that is written: the name with its links followed.
    std::filesystem::path FTarget;
    std::filesystem::path FFolder;
    bool FUnnamed = false;
    std::filesystem::path FTemporary;
    std::unique_ptr<TSignalRemoval> FRemoval;
    // What the successor takes over from the file it replaces (or a new file's usual mode).
    bool FReplacesFile = false;
    uid_t FOwner = 0;
    gid_t FGroup = 0;
    mode_t FMode = 0;
    TFileDescriptor FFile;
    TBlockBuffer FBuffer{FFile};
    std::ostream FStream{&FBuffer};
    bool FCommitted = false;
};
