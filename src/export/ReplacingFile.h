#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

// The output file of one save. A regular file (new or existing) is written under a temporary
// name in the same folder and renamed over the target only by Commit, so a failed save neither
// leaves a partial new file nor damages the picture that was there. Targets that cannot be
// replaced by renaming (devices, pipes) are written in place.
class TReplacingFile {
public:
    // Raises EFCreateError when the file cannot be created.
    explicit TReplacingFile(const std::string& fileName);
    // Without a Commit the temporary file is removed.
    ~TReplacingFile();
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;

    std::ostream& Stream() { return FStream; }
    // Flushes and closes the file and puts it in place; raises EWriteError when the bytes could
    // not all be written and EFCreateError when the file cannot take the target's name.
    void Commit();

private:
    // Gathers the writers' small blocks into large writes to the file.
    class TBlockBuffer : public std::streambuf {
    public:
        explicit TBlockBuffer(std::streambuf& file);

    protected:
        int_type overflow(int_type c) override;
        int sync() override;
        // Writers that patch earlier bytes (TIFF) seek in the file.
        pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                         std::ios_base::openmode which) override;
        pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

    private:
        bool Drain();

        std::streambuf& FFile;
        std::unique_ptr<char[]> FBuffer;
        // The file position of the buffer's first byte; asking for the position costs nothing.
        off_type FPosition = 0;
    };

    void Open(const std::filesystem::path& path);
    void CreateTemporary(const std::filesystem::path& target);

    std::string FFileName;
    std::filesystem::path FTarget;
    std::filesystem::path FTemporary;
    // The replaced file's permissions, handed on to its successor.
    std::filesystem::perms FPermissions = std::filesystem::perms::unknown;
    std::filebuf FFile;
    TBlockBuffer FBuffer{FFile};
    std::ostream FStream{&FBuffer};
    bool FCommitted = false;
};
