#include "SaveFolderTest.h"
#include "TestImages.h"

#include "export/ReplacingFile.h"
#include "image/PGExceptions.h"
#include "image/StreamErrors.h"

#include <gmock/gmock.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testimages;
namespace fs = std::filesystem;

namespace {

using SaveFileTest = SaveFolderTest;

// What the BMP writer makes of `image`.
std::string BmpBytes(TPixelGraphic& image) {
    std::ostringstream bmp(std::ios::binary);
    image.SaveImageStream(bmp);
    return std::move(bmp).str();
}

// Pixels no writer can compress much, so that large pictures stay large in every format.
std::unique_ptr<TPixelGraphic> Noise(int width, int height) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(width, height, bc24Bit);
    std::uint32_t seed = 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            image->SetPixel(x, y, static_cast<TColor>(seed >> 8));
        }
    return image;
}

struct stat StatOf(const fs::path& path) {
    struct stat result {};
    EXPECT_EQ(::stat(path.c_str(), &result), 0) << path;
    return result;
}

// The exit code of a command run by the shell, with its output and errors in `output`.
int RunCommand(const std::string& command, std::string& output) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs `child` in a forked process and returns its wait status.
int StatusOfChild(const std::function<void()>& child) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        child();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

} // namespace

TEST_F(SaveFileTest, ReplacingAFileKeepsItsPermissionsAndFollowsLinks) {
    auto image = TrueColor();
    WriteFile("pic.bmp", "old");
    fs::permissions(Folder / "pic.bmp",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("pic.bmp", Folder / "link.bmp");
    image->SaveImageFile(PathOf("link.bmp"));

    EXPECT_EQ(ReadFile("pic.bmp"), BmpBytes(*image));
    EXPECT_TRUE(fs::is_symlink(Folder / "link.bmp"));
    EXPECT_EQ(fs::status(Folder / "pic.bmp").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(FolderContents(), (std::set<std::string>{"link.bmp", "pic.bmp"}));
}

TEST_F(SaveFileTest, HardLinksAndDanglingLinksAreWrittenAsAnInPlaceOpenWould) {
    auto image = TrueColor();
    WriteFile("pic.bmp", "old");
    fs::create_hard_link(Folder / "pic.bmp", Folder / "other-name.bmp");
    const ino_t inode = StatOf(Folder / "pic.bmp").st_ino;
    image->SaveImageFile(PathOf("pic.bmp"));
    EXPECT_EQ(ReadFile("other-name.bmp"), BmpBytes(*image));
    EXPECT_EQ(StatOf(Folder / "pic.bmp").st_ino, inode);
    EXPECT_EQ(StatOf(Folder / "pic.bmp").st_nlink, 2u);

    // A link to a file that does not exist yet creates that file and stays a link.
    fs::create_directory(Folder / "sub");
    fs::create_symlink("sub/new.bmp", Folder / "dangling.bmp");
    image->SaveImageFile(PathOf("dangling.bmp"));
    EXPECT_TRUE(fs::is_symlink(Folder / "dangling.bmp"));
    EXPECT_EQ(ReadFile("sub/new.bmp"), BmpBytes(*image));
    EXPECT_EQ(FolderContents(),
              (std::set<std::string>{"dangling.bmp", "other-name.bmp", "pic.bmp", "sub"}));
}

TEST_F(SaveFileTest, AReplacedFileKeepsItsOwnerAndGroup) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can make a file that belongs to someone else";
    auto image = TrueColor();
    WriteFile("pic.bmp", "old");
    ASSERT_EQ(::chown(PathOf("pic.bmp").c_str(), 65534, 65534), 0);
    image->SaveImageFile(PathOf("pic.bmp"));
    EXPECT_EQ(ReadFile("pic.bmp"), BmpBytes(*image));
    EXPECT_EQ(StatOf(Folder / "pic.bmp").st_uid, 65534u);
    EXPECT_EQ(StatOf(Folder / "pic.bmp").st_gid, 65534u);
}

TEST_F(SaveFileTest, AFolderThatTakesNoNewFileHasTheOldFileWrittenInPlace) {
    WriteFile("old.bmp", "old");
    const ino_t inode = StatOf(Folder / "old.bmp").st_ino;
    auto image = TrueColor();
    if (geteuid() != 0) {
        fs::permissions(Folder, fs::perms::owner_read | fs::perms::owner_exec);
        image->SaveImageFile(PathOf("old.bmp"));
        EXPECT_THAT(MessageOf<EFCreateError>([&] { image->SaveImageFile(PathOf("new.bmp")); }),
                    ::testing::EndsWith("Permission denied"));
        EXPECT_EQ(ReadFile("old.bmp"), BmpBytes(*image));
    } else {
        // Permissions do not stop root: the case runs as the unprivileged user.
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody)
            GTEST_SKIP() << "no user \"nobody\" to run the unprivileged case as";
        ASSERT_EQ(::chown(PathOf("old.bmp").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        fs::permissions(Folder, fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
        // A copy of the program where the user can reach it, whatever the build folder allows.
        char pattern[] = "/tmp/quarn-program-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        const fs::path programFolder = pattern;
        const fs::path program = programFolder / "quarn-render";
        fs::copy_file(QUARN_RENDER_PROGRAM, program);
        fs::permissions(programFolder,
                        fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        const std::string asNobody = "setpriv --reuid=" + std::to_string(nobody->pw_uid) +
                                     " --regid=" + std::to_string(nobody->pw_gid) +
                                     " --clear-groups -- " + program.string() +
                                     " --size 8x8 --steps 10 --seed 1 --quiet --out ";
        std::string output;
        EXPECT_EQ(RunCommand(asNobody + PathOf("old.bmp"), output), 0) << output;
        EXPECT_EQ(ReadFile("old.bmp").substr(0, 2), "BM");
        EXPECT_EQ(ReadFile("old.bmp").size(), 54u + 8 * 24);
        output.clear();
        EXPECT_EQ(RunCommand(asNobody + PathOf("new.bmp"), output), 1);
        EXPECT_THAT(output, ::testing::HasSubstr("Permission denied"));
        fs::remove_all(programFolder);
    }
    EXPECT_EQ(StatOf(Folder / "old.bmp").st_ino, inode);
    EXPECT_EQ(FolderContents(), std::set<std::string>{"old.bmp"});
}

TEST_F(SaveFileTest, ATemporaryIsNoMoreReadableThanTheFileItReplaces) {
    WriteFile("secret.tga", "old");
    fs::permissions(Folder / "secret.tga", fs::perms::owner_read | fs::perms::owner_write);
    // What lies beside the picture while it is being written.
    std::vector<fs::perms> seen;
    auto image = TrueColor(8, 40);
    image->OnProgress = [&](TPixelGraphic&, int step, int, bool&) {
        if (step != 20)
            return;
        for (const auto& entry : fs::directory_iterator(Folder))
            if (entry.path().filename() != "secret.tga")
                seen.push_back(entry.status().permissions());
    };
    image->SaveImageFile(PathOf("secret.tga"));
    for (fs::perms perms : seen)
        EXPECT_EQ(perms & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);

    {
        TReplacingFile file(PathOf("secret.tga"), TReplacingFile::TTemporaryKind::Named);
        const std::set<std::string> names = FolderContents();
        ASSERT_EQ(names.size(), 2u);
        const std::string temporary = *names.begin();
        EXPECT_EQ(temporary.rfind(".quarn", 0), 0u) << temporary;
        EXPECT_EQ(fs::status(Folder / temporary).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_EQ(FolderContents(), std::set<std::string>{"secret.tga"});

    // A new file gets the usual mode only once it is complete.
    const mode_t previous = ::umask(027);
    for (TReplacingFile::TTemporaryKind kind :
         {TReplacingFile::TTemporaryKind::Named,
          TReplacingFile::TTemporaryKind::UnnamedWherePossible}) {
        const std::string name = "new" + std::to_string(static_cast<int>(kind)) + ".bmp";
        TReplacingFile file(PathOf(name), kind);
        for (const auto& entry : fs::directory_iterator(Folder)) {
            if (entry.path().filename().string().rfind(".quarn", 0) == 0) {
                EXPECT_EQ(entry.status().permissions() & fs::perms::group_all, fs::perms::none);
            }
        }
        file.Stream() << "new";
        file.Commit();
        EXPECT_EQ(fs::status(Folder / name).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }
    ::umask(previous);
}

TEST_F(SaveFileTest, ASaveEndedBySignalLeavesNoTemporary) {
    WriteFile("pic.tga", "old");
    auto image = TrueColor(8, 40);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const int status = StatusOfChild([&] {
            // As a terminal starts a program, whatever the test runner's own settings.
            std::signal(signal, SIG_DFL);
            image->OnProgress = [signal](TPixelGraphic&, int step, int, bool&) {
                if (step == 20)
                    std::raise(signal);
            };
            image->SaveImageFile(PathOf("pic.tga"));
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;

        const int namedStatus = StatusOfChild([&] {
            std::signal(signal, SIG_DFL);
            TReplacingFile file(PathOf("pic.tga"), TReplacingFile::TTemporaryKind::Named);
            file.Stream() << std::string(1000000, 'x');
            std::raise(signal);
        });
        EXPECT_TRUE(WIFSIGNALED(namedStatus) && WTERMSIG(namedStatus) == signal) << signal;
        EXPECT_EQ(FolderContents(), std::set<std::string>{"pic.tga"}) << signal;
        EXPECT_EQ(ReadFile("pic.tga"), "old");
    }
}

TEST_F(SaveFileTest, AKilledSaveLeavesNothingWhereTheFileSystemHasUnnamedFiles) {
    const int probe = ::open(Folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (probe < 0)
        GTEST_SKIP() << "the file system of " << Folder << " has no unnamed files (O_TMPFILE)";
    ::close(probe);
    WriteFile("pic.tga", "old");
    auto image = TrueColor(8, 40);
    const int status = StatusOfChild([&] {
        image->OnProgress = [](TPixelGraphic&, int step, int, bool&) {
            if (step == 20)
                std::raise(SIGKILL);
        };
        image->SaveImageFile(PathOf("pic.tga"));
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(FolderContents(), std::set<std::string>{"pic.tga"});
    EXPECT_EQ(ReadFile("pic.tga"), "old");
}

TEST_F(SaveFileTest, NamesOfTheLongestLengthCanBeSaved) {
    auto image = TrueColor();
    const std::string longest = std::string(251, 'a') + ".bmp";
    image->SaveImageFile(PathOf(longest));
    EXPECT_EQ(ReadFile(longest), BmpBytes(*image));
    image->SaveImageFile(PathOf(longest));
    EXPECT_EQ(ReadFile(longest), BmpBytes(*image));

    const std::string other = std::string(251, 'b') + ".bmp";
    TReplacingFile file(PathOf(other), TReplacingFile::TTemporaryKind::Named);
    file.Stream() << "named";
    file.Commit();
    EXPECT_EQ(ReadFile(other), "named");
    EXPECT_EQ(FolderContents(), (std::set<std::string>{longest, other}));
}

TEST_F(SaveFileTest, AMissingFolderGivesTheCreateErrorAndLeavesNothing) {
    auto image = TrueColor();
    const std::string name = PathOf("missing/flame.bmp");
    const std::string message = MessageOf<EFCreateError>([&] { image->SaveImageFile(name); });
    EXPECT_EQ(message, "Cannot create file \"" + name + "\". No such file or directory");
    EXPECT_TRUE(FolderContents().empty());
}

TEST_F(SaveFileTest, AFullDiskNamesTheFileAndTheSystemsReason) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    auto image = TrueColor(64, 64);
    for (const char* extension : {"bmp", "ppm", "tga"}) {
        std::ofstream full("/dev/full", std::ios::binary);
        ASSERT_TRUE(full.is_open());
        EXPECT_EQ(MessageOf<EWriteError>([&] { image->SaveToStreamAs(full, extension); }),
                  "Stream write error")
            << extension;
    }
    // A device is written in place: the link to it stays, nothing is created beside it. The
    // large picture fails inside the writers, the small one when the file is flushed.
    auto large = Noise(512, 512);
    const std::pair<const char*, const char*> texts[] = {
        {"bmp", "Stream write error"}, {"ppm", "Stream write error"}, {"tga", "Stream write error"},
        {"tif", "Stream write error"}, {"png", "PNG: Write Error"},   {"jpg", nullptr}};
    for (const auto& [extension, text] : texts) {
        if (!FileFormatWriters().Find(extension))
            continue;
        const std::string name = PathOf(std::string("full.") + extension);
        fs::create_symlink("/dev/full", name);
        const std::string suffix = " in file \"" + name + "\". No space left on device";
        const std::string message = MessageOf<std::exception>([&] { large->SaveImageFile(name); });
        EXPECT_THAT(message, ::testing::EndsWith(suffix)) << extension;
        if (text) {
            EXPECT_EQ(message, text + suffix);
        }
        const std::string small = MessageOf<std::exception>([&] { image->SaveImageFile(name); });
        EXPECT_THAT(small, ::testing::EndsWith(suffix)) << extension;
        if (text && extension != std::string("png")) {
            EXPECT_EQ(small, "Stream write error" + suffix);
        }
    }
    EXPECT_THAT(FolderContents(), ::testing::Contains("full.bmp"));
    for (const std::string& name : FolderContents())
        EXPECT_TRUE(fs::is_symlink(Folder / name)) << name;
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_F(SaveFileTest, AnAbortedConversionWritesNothingAndSaysSo) {
    WriteFile("old.pgm", "the old picture");
    auto image = TrueColor(16, 16);
    image->SaveColorResWarningAction = pgwaIgnore;
    int calls = 0;
    image->OnProgress = [&calls](TPixelGraphic&, int, int, bool& abort) {
        ++calls;
        abort = true;
    };
    for (const char* name : {"old.pgm", "new.pgm", "new.pbm"})
        EXPECT_EQ(MessageOf<EPixelGraphic>([&] { image->SaveImageFile(PathOf(name)); }),
                  "Operation aborted on user request")
            << name;
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(FolderContents(), std::set<std::string>{"old.pgm"});
    EXPECT_EQ(ReadFile("old.pgm"), "the old picture");

    // Writers do not stop on request: only a conversion can be aborted.
    image->SaveImageFile(PathOf("whole.bmp"));
    EXPECT_EQ(ReadFile("whole.bmp"), BmpBytes(*image));
}
