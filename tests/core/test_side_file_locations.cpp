#include "sidefiles/SideFileLocations.h"
#include "text/Errors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace orva;
namespace fs = std::filesystem;

namespace {

struct LocationCase {
    const char* name;
    const char* executable;
    bool writable;
    SideFileEnvironment environment;
    bool perUser;
    const char* font;
    const char* addresses;
    const char* lastValues;
    const char* purchasesCopy;
};

const SideFileEnvironment kPlain{"/home/ana", "", "", ""};
const SideFileEnvironment kXdg{"/home/ana", "/var/cache/ana", "/srv/config/ana", "/srv/data/ana"};

const LocationCase kCases[] = {
    {"build tree", "/home/ana/orva/build/orva", true, kXdg, false, "/home/ana/orva/build/ORVA.TTF",
     "/home/ana/orva/build/orva.adr", "/home/ana/orva/build/orva.txt", "/home/ana/orva/build/orva.pro.txt"},
    {"portable, extension replaced", "/media/usb/ORVA/orva.exe", true, kPlain, false, "/media/usb/ORVA/ORVA.TTF",
     "/media/usb/ORVA/orva.adr", "/media/usb/ORVA/orva.txt", "/media/usb/ORVA/orva.pro.txt"},
    {"a name that only starts like /usr", "/usr2/bin/orva", true, kPlain, false, "/usr2/bin/ORVA.TTF",
     "/usr2/bin/orva.adr", "/usr2/bin/orva.txt", "/usr2/bin/orva.pro.txt"},
    {"/usr/bin, XDG unset", "/usr/bin/orva", false, kPlain, true, "/home/ana/.cache/orva/ORVA.TTF",
     "/home/ana/.config/orva/orva.adr", "/home/ana/.config/orva/orva.txt", "/home/ana/.local/share/orva/orva.pro.txt"},
    {"/usr even when writable (root)",
     "/usr/local/bin/orva",
     true,
     {"/root/", "", "", ""},
     true,
     "/root/.cache/orva/ORVA.TTF",
     "/root/.config/orva/orva.adr",
     "/root/.config/orva/orva.txt",
     "/root/.local/share/orva/orva.pro.txt"},
    {"/opt with XDG set", "/opt/orva/bin/orva", true, kXdg, true, "/var/cache/ana/orva/ORVA.TTF",
     "/srv/config/ana/orva/orva.adr", "/srv/config/ana/orva/orva.txt", "/srv/data/ana/orva/orva.pro.txt"},
    {"a folder the user cannot write", "/srv/shared/orva.bin", false, kXdg, true, "/var/cache/ana/orva/ORVA.TTF",
     "/srv/config/ana/orva/orva.adr", "/srv/config/ana/orva/orva.txt", "/srv/data/ana/orva/orva.pro.txt"},
    {"relative XDG values are ignored",
     "/usr/bin/orva",
     false,
     {"/home/ana", "cache", "./config", "data/"},
     true,
     "/home/ana/.cache/orva/ORVA.TTF",
     "/home/ana/.config/orva/orva.adr",
     "/home/ana/.config/orva/orva.txt",
     "/home/ana/.local/share/orva/orva.pro.txt"},
    {"no home needed when XDG names all three",
     "/usr/bin/orva",
     false,
     {"", "/c", "/k", "/d/"},
     true,
     "/c/orva/ORVA.TTF",
     "/k/orva/orva.adr",
     "/k/orva/orva.txt",
     "/d/orva/orva.pro.txt"},
};

std::string folderOf(const std::string& path) {
    return path.substr(0, path.find_last_of('/') + 1);
}

TEST(SideFileLocations, FollowTheInstallation) {
    for (const LocationCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const SideFileLocations files = sideFileLocations(c.executable, c.writable, c.environment);
        EXPECT_EQ(files.perUser, c.perUser);
        EXPECT_EQ(files.font, c.font);
        EXPECT_EQ(files.addresses, c.addresses);
        EXPECT_EQ(files.lastValues, c.lastValues);
        EXPECT_EQ(files.purchasesCopy, c.purchasesCopy);
        // The rest share a folder and a name stem with the ones above.
        const std::string stem = std::string(c.addresses).substr(0, std::string(c.addresses).size() - 4);
        EXPECT_EQ(files.signatories, stem + ".mol");
        EXPECT_EQ(files.positions, stem + ".dlu");
        EXPECT_EQ(files.lastFolder, stem + ".last-folder");
        EXPECT_EQ(files.firmAnswers, stem + ".firms");
        EXPECT_EQ(files.recentFolders, stem + ".recent");
        EXPECT_EQ(files.salesCopy, folderOf(c.purchasesCopy) + "orva.pok.txt");
    }
}

TEST(SideFileLocations, PerUserWithoutAHomeIsRefused) {
    EXPECT_THROW(sideFileLocations("/usr/bin/orva", true, {"", "/c", "", "/d"}), Error);
    EXPECT_THROW(sideFileLocations("/usr/bin/orva", true, {"relative", "", "", ""}), Error);
    EXPECT_NO_THROW(sideFileLocations("/home/ana/orva", true, {"", "", "", ""}));
}

class SideFileFolders : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orva-folders-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
};

TEST_F(SideFileFolders, MissingPerUserFoldersAreCreatedPrivate) {
    const std::string home = (root_ / "home").string();
    const SideFileLocations files =
        sideFileLocations("/usr/bin/orva", false, {home, "", (root_ / "config").string(), ""});
    createSideFileFolders(files);
    createSideFileFolders(files); // existing folders are fine
    for (const fs::path& folder : {root_ / "home/.cache/orva", root_ / "config/orva", root_ / "home/.local/share/orva",
                                   root_ / "home/.local", root_ / "home"}) {
        struct stat status {};
        ASSERT_EQ(::stat(folder.c_str(), &status), 0) << folder;
        EXPECT_TRUE(S_ISDIR(status.st_mode)) << folder;
        EXPECT_EQ(status.st_mode & 0777, 0700u) << folder;
    }
}

TEST_F(SideFileFolders, BesideTheExecutableNothingIsCreated) {
    createSideFileFolders(sideFilesBeside((root_ / "missing/bin/orva").string()));
    EXPECT_FALSE(fs::exists(root_ / "missing"));
}

TEST_F(SideFileFolders, AFileInTheWayIsReportedByName) {
    std::ofstream(root_ / "config") << "not a folder";
    const SideFileLocations files =
        sideFileLocations("/usr/bin/orva", false, {root_.string(), "", (root_ / "config").string(), ""});
    try {
        createSideFileFolders(files);
        FAIL() << "no failure reported";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find((root_ / "config").string()), std::string::npos) << error.what();
    }
}

} // namespace
