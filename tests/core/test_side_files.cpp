#include "sidefiles/SideFiles.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/UniqueFd.h"

#include "ExpectThrow.h"
#include "FileSizeLimit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orva;
namespace fs = std::filesystem;

namespace {

class SideFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orva-side-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        exe_ = (folder_ / "orva").string();
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const char* extension) const { return exe_ + extension; }
    void write(const char* extension, const std::string& bytes) const {
        std::ofstream out(path(extension), std::ios::binary);
        out << bytes;
    }
    std::string read(const char* extension) const { return readFileBytes(path(extension)); }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
    std::string exe_;
};

using Lines = std::vector<std::string>;

} // namespace

TEST_F(SideFiles, FirstRunWithoutFilesThenOkWritesEachTextAsTheOnlyLine) {
    DialogMemory memory = loadDialogMemory(sideFilesBeside(exe_));
    EXPECT_EQ(memory.addresses, Lines{});
    EXPECT_EQ(memory.signatories, Lines{});
    EXPECT_EQ(memory.positions, Lines{});
    EXPECT_EQ(memory.address, "");
    EXPECT_EQ(memory.signatory, "");
    EXPECT_EQ(memory.position, "");

    EXPECT_TRUE(addToHistory(memory.addresses, "\xf3\xeb. \xc2\xe8\xf2\xee\xf8\xe0 1")); // "ул. Витоша 1"
    EXPECT_TRUE(addToHistory(memory.signatories, "Ivan Petrov"));
    EXPECT_FALSE(addToHistory(memory.positions, "")); // empty box: nothing added, file still written
    saveHistories(sideFilesBeside(exe_), memory);

    EXPECT_EQ(read(".adr"), "\xf3\xeb. \xc2\xe8\xf2\xee\xf8\xe0 1\r\n");
    EXPECT_EQ(read(".mol"), "Ivan Petrov\r\n");
    EXPECT_EQ(read(".dlu"), "");
    EXPECT_EQ(files(), (Lines{"orva.adr", "orva.dlu", "orva.mol"})); // no temporary files left behind
}

TEST_F(SideFiles, HistoryMatchIgnoresCaseOnlyAndKeepsBlanks) {
    const struct {
        const char* entry;
        const char* typed;
        bool added;
    } cases[] = {
        {"Sofia, Main Str. 1", "SOFIA, MAIN STR. 1", false},
        {"Sofia, Main Str. 1", "Sofia, Main Str. 1 ", true}, // trailing blank counts
        {"Sofia, Main Str. 1", " Sofia, Main Str. 1", true}, // and a leading one
        {"Sofia, Main Str. 1", "Sofia, Main Str. 2", true},
        {"Sofia", "Sofi", true},
        // Cyrillic upper and lower halves: "СОФИЯ" / "софия", "ЯЁ" / "яё", "ЮЇЄІЎ" / "юїєіў"
        {"\xd1\xce\xd4\xc8\xdf", "\xf1\xee\xf4\xe8\xff", false},
        {"\xdf\xa8", "\xff\xb8", false},
        {"\xde\xaf\xaa\xb2\xa1", "\xfe\xbf\xba\xb3\xa2", false},
        {"\xc0", "\xe1", true}, // А vs б: different letters
        {"\xa8", "\xe5", true}, // Ё vs е: not the same letter
        {"\xc0", "\x80", true}, // А vs Ђ: only the letter pairs fold
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + " | " + c.typed);
        Lines history{"first", c.entry, "last"};
        EXPECT_EQ(addToHistory(history, c.typed), c.added);
        Lines expected{"first", c.entry, "last"};
        if (c.added)
            expected.push_back(c.typed);
        EXPECT_EQ(history, expected);
    }
    Lines history{"x"};
    EXPECT_FALSE(addToHistory(history, ""));
    EXPECT_EQ(history, Lines{"x"});
    EXPECT_TRUE(addToHistory(history, " ")); // a single blank is not empty
    EXPECT_EQ(history, (Lines{"x", " "}));
}

// The merge under the lock is addToHistory for each entry in order: the same lines in the same
// order, duplicates already on disk and empty lines kept, the entries' own repeats added once.
TEST(HistoryMerge, GivesWhatAddingEachEntryGives) {
    const struct {
        const char* name;
        Lines history;
        Lines entries;
        Lines expected;
    } cases[] = {
        {"nothing on disk", {}, {"b", "a", "B"}, {"b", "a"}},
        {"nothing new", {"a", "b"}, {}, {"a", "b"}},
        {"on disk first, new ones after in their order", {"x", "y"}, {"y", "z", "w"}, {"x", "y", "z", "w"}},
        {"disk's duplicates and empty lines stay", {"a", "", "A", "a"}, {"", "a", "c"}, {"a", "", "A", "a", "c"}},
        {"case folded in Windows-1251",
         {"\xd1\xce\xd4\xc8\xdf"},
         {"\xf1\xee\xf4\xe8\xff", "\xa8"},
         {"\xd1\xce\xd4\xc8\xdf", "\xa8"}},
        {"blanks are not folded away", {"Sofia"}, {"Sofia ", " Sofia", "SOFIA"}, {"Sofia", "Sofia ", " Sofia"}},
        {"an entry repeated among the new ones", {"a"}, {"n", "N", "n", "m"}, {"a", "n", "m"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Lines merged = c.history;
        mergeHistory(merged, c.entries);
        EXPECT_EQ(merged, c.expected);
        Lines oneByOne = c.history;
        for (const std::string& entry : c.entries)
            addToHistory(oneByOne, entry);
        EXPECT_EQ(merged, oneByOne);
    }
}

TEST_F(SideFiles, CaseOnlyDifferenceRewritesTheFileUnchanged) {
    const std::string stored = "\xf3\xeb. \xc2\xe8\xf2\xee\xf8\xe0 1\r\nSofia\r\n";
    write(".adr", stored);
    write(".mol", "");
    write(".dlu", "");
    DialogMemory memory = loadDialogMemory(sideFilesBeside(exe_));
    ASSERT_EQ(memory.addresses.size(), 2u);
    EXPECT_FALSE(addToHistory(memory.addresses, "\xd3\xcb. \xc2\xc8\xd2\xce\xd8\xc0 1")); // "УЛ. ВИТОША 1"
    saveHistories(sideFilesBeside(exe_), memory);
    EXPECT_EQ(read(".adr"), stored);
}

TEST_F(SideFiles, TrailingBlankAddsASecondEntry) {
    write(".adr", "Sofia\r\n");
    write(".mol", "");
    write(".dlu", "");
    DialogMemory memory = loadDialogMemory(sideFilesBeside(exe_));
    EXPECT_TRUE(addToHistory(memory.addresses, "Sofia "));
    saveHistories(sideFilesBeside(exe_), memory);
    EXPECT_EQ(read(".adr"), "Sofia\r\nSofia \r\n");
}

TEST_F(SideFiles, HistoriesAreOneBlockTheFirstMissingFileEndsIt) {
    const struct {
        bool adr, mol, dlu;
        std::size_t addresses, signatories, positions;
    } cases[] = {
        {true, true, true, 2, 1, 3},  {false, true, true, 0, 0, 0},   {true, false, true, 2, 0, 0},
        {true, true, false, 2, 1, 0}, {false, false, false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.adr) + std::to_string(c.mol) + std::to_string(c.dlu));
        for (const char* extension : {".adr", ".mol", ".dlu"})
            fs::remove(path(extension));
        if (c.adr)
            write(".adr", "a1\r\na2\r\n");
        if (c.mol)
            write(".mol", "m1");
        if (c.dlu)
            write(".dlu", "d1\nd2\rd3\r\n");
        const DialogMemory memory = loadDialogMemory(sideFilesBeside(exe_));
        EXPECT_EQ(memory.addresses.size(), c.addresses);
        EXPECT_EQ(memory.signatories.size(), c.signatories);
        EXPECT_EQ(memory.positions.size(), c.positions);
    }
}

TEST_F(SideFiles, AnUnreadableHistoryEndsTheBlockLikeAMissingOne) {
    write(".adr", "a1\r\n");
    fs::create_directory(path(".mol")); // exists but cannot be read as a file
    write(".dlu", "d1\r\n");
    const DialogMemory memory = loadDialogMemory(sideFilesBeside(exe_));
    EXPECT_EQ(memory.addresses, Lines{"a1"});
    EXPECT_EQ(memory.signatories, Lines{});
    EXPECT_EQ(memory.positions, Lines{});
}

TEST_F(SideFiles, LastValuesFillOnlyTheLinesThatExist) {
    const struct {
        const char* bytes; // nullptr: no file
        const char* address;
        const char* signatory;
        const char* position;
    } cases[] = {
        {nullptr, "", "", ""},
        {"", "", "", ""},
        {"Addr\r\n", "Addr", "", ""},
        {"Addr\r\nIvan Petrov\r\n", "Addr", "Ivan Petrov", ""},
        {"Addr\r\nIvan\r\nManager\r\nextra\r\n", "Addr", "Ivan", "Manager"},
        {"\r\nIvan\r\n\r\n", "", "Ivan", ""},
        {"Addr \nIvan\rManager", "Addr ", "Ivan", "Manager"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes ? c.bytes : "(no file)");
        fs::remove(path(".txt"));
        if (c.bytes)
            write(".txt", c.bytes);
        const DialogMemory memory = loadDialogMemory(sideFilesBeside(exe_));
        EXPECT_EQ(memory.address, c.address);
        EXPECT_EQ(memory.signatory, c.signatory);
        EXPECT_EQ(memory.position, c.position);
    }
}

TEST_F(SideFiles, EmptyLineInsideAHistoryIsAnEntryAndWrittenBack) {
    write(".adr", "one\r\n\r\nthree\r\n");
    write(".mol", "\r\n");
    write(".dlu", "x\n\ny");
    DialogMemory memory = loadDialogMemory(sideFilesBeside(exe_));
    EXPECT_EQ(memory.addresses, (Lines{"one", "", "three"}));
    EXPECT_EQ(memory.signatories, Lines{""});
    EXPECT_EQ(memory.positions, (Lines{"x", "", "y"}));
    saveHistories(sideFilesBeside(exe_), memory);
    EXPECT_EQ(read(".adr"), "one\r\n\r\nthree\r\n");
    EXPECT_EQ(read(".mol"), "\r\n");
    EXPECT_EQ(read(".dlu"), "x\r\n\r\ny\r\n");
}

TEST_F(SideFiles, LastValuesAreThreeLinesEmptyTextsIncluded) {
    EXPECT_TRUE(saveLastValues(sideFilesBeside(exe_), "Addr ", "", "\xd3\xef\xf0\xe0\xe2\xe8\xf2\xe5\xeb"));
    EXPECT_EQ(read(".txt"), "Addr \r\n\r\n\xd3\xef\xf0\xe0\xe2\xe8\xf2\xe5\xeb\r\n");
    const DialogMemory memory = loadDialogMemory(sideFilesBeside(exe_));
    EXPECT_EQ(memory.address, "Addr ");
    EXPECT_EQ(memory.signatory, "");
    EXPECT_EQ(memory.position, "\xd3\xef\xf0\xe0\xe2\xe8\xf2\xe5\xeb");
}

// A history whose folder refuses the file stops the save there: earlier files are written,
// later ones are left as they were.
TEST_F(SideFiles, AFailingHistoryWriteThrowsAndLeavesTheRestAlone) {
    write(".dlu", "old position\r\n");
    fs::create_directory(path(".mol")); // the signatory history cannot be replaced
    DialogMemory memory;
    memory.addresses = {"new address"};
    memory.signatories = {"new name"};
    memory.positions = {"new position"};
    EXPECT_THROW(saveHistories(sideFilesBeside(exe_), memory), FileError);
    EXPECT_EQ(read(".adr"), "new address\r\n"); // written before the failure
    EXPECT_TRUE(fs::is_directory(path(".mol")));
    EXPECT_TRUE(fs::is_empty(path(".mol")));
    EXPECT_EQ(read(".dlu"), "old position\r\n"); // after the failure: untouched
    EXPECT_EQ(files(), (Lines{"orva.adr", "orva.dlu", "orva.mol"}));
}

TEST_F(SideFiles, AFolderThatCannotBeWrittenFailsAtTheFirstHistoryAndNamesIt) {
    write("", "a regular file, not a folder");
    const std::string underFile = exe_ + "/orva"; // its folder is a regular file
    DialogMemory memory;
    memory.addresses = {"a"};
    EXPECT_THROW_MSG(saveHistories(sideFilesBeside(underFile), memory), FileError,
                     "не може да се запише " + underFile + ".adr: " + std::string("част от пътя не е папка"));
    EXPECT_FALSE(saveLastValues(sideFilesBeside(underFile), "a", "b", "c"));
    EXPECT_EQ(files(), Lines{"orva"});
    EXPECT_EQ(read(""), "a regular file, not a folder");
}

TEST_F(SideFiles, LastValuesFailureIsReportedAsFalseNotThrown) {
    fs::create_directory(path(".txt")); // the last-values file cannot be replaced
    EXPECT_FALSE(saveLastValues(sideFilesBeside(exe_), "a", "b", "c"));
    EXPECT_TRUE(fs::is_directory(path(".txt")));
    EXPECT_EQ(files(), Lines{"orva.txt"});
}

// Rewriting a side file in place lost the whole history when the disk filled up half-way: the
// old file must stay whole when the new text cannot be written completely.
TEST_F(SideFiles, AWriteThatFailsHalfWayLeavesTheOldHistoryWhole) {
    const std::string old = "first address\r\nsecond address\r\n";
    write(".adr", old);
    DialogMemory memory;
    memory.addresses = {"first address", "second address", std::string(4096, 'x')};

    // A file-size limit below the new text makes the write fail the way a full disk does.
    bool threwFileError = false;
    bool lastValuesSaved = true;
    {
        const FileSizeLimit limit(1024);
        ASSERT_TRUE(limit.ok());
        threwFileError = THROWN_BY(saveHistories(sideFilesBeside(exe_), memory), FileError).has_value();
        lastValuesSaved = saveLastValues(sideFilesBeside(exe_), std::string(2048, 'y'), "", "");
    }

    EXPECT_TRUE(threwFileError);
    EXPECT_FALSE(lastValuesSaved);
    EXPECT_EQ(read(".adr"), old);
    EXPECT_EQ(files(), Lines{"orva.adr"}); // no .mol or .dlu, no temporary file, no .txt
}

// Two running instances each add an entry: the one that saved last used to drop the other's.
TEST_F(SideFiles, TwoInstancesBothKeepTheirNewEntries) {
    write(".adr", "shared\r\n");
    DialogMemory first = loadDialogMemory(sideFilesBeside(exe_));
    DialogMemory second = loadDialogMemory(sideFilesBeside(exe_)); // read before the first saves
    addToHistory(first.addresses, "first");
    addToHistory(second.addresses, "SHARED"); // already there ignoring case: not added twice
    addToHistory(second.addresses, "second");
    addToHistory(second.positions, "manager");
    saveHistories(sideFilesBeside(exe_), first);
    saveHistories(sideFilesBeside(exe_), second);
    EXPECT_EQ(read(".adr"), "shared\r\nfirst\r\nsecond\r\n");
    EXPECT_EQ(read(".dlu"), "manager\r\n");

    // Two processes saving at the same moment, again and again: the lock keeps every entry.
    constexpr int kRounds = 15;
    std::vector<pid_t> children;
    for (int writer = 0; writer < 2; ++writer) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int round = 0; round < kRounds; ++round) {
                DialogMemory memory = loadDialogMemory(sideFilesBeside(exe_));
                addToHistory(memory.addresses, "writer " + std::to_string(writer) + " round " + std::to_string(round));
                try {
                    saveHistories(sideFilesBeside(exe_), memory);
                } catch (const std::exception&) {
                    ::_exit(1);
                }
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const Lines addresses = loadDialogMemory(sideFilesBeside(exe_)).addresses;
    EXPECT_EQ(addresses.size(), 3u + 2 * kRounds);
    for (int writer = 0; writer < 2; ++writer)
        for (int round = 0; round < kRounds; ++round)
            EXPECT_NE(std::find(addresses.begin(), addresses.end(),
                                "writer " + std::to_string(writer) + " round " + std::to_string(round)),
                      addresses.end());
    EXPECT_EQ(files(), (Lines{"orva.adr", "orva.dlu", "orva.mol"})); // no lock file, no leftovers
}

// Remembered values pass over a file that cannot be read, and only that: any other failure of a
// reader (a bad_alloc used to read as "no history") reaches the caller as it was thrown.
TEST_F(SideFiles, OnlyAFileThatCannotBeReadIsPassedOver) {
    const struct {
        std::exception_ptr failure;
        bool passedOver;
    } failures[] = {{std::make_exception_ptr(FileError("unreadable")), true},
                    {std::make_exception_ptr(Error("not about reading")), false},
                    {std::make_exception_ptr(std::bad_alloc()), false}};
    for (const auto& [failure, passedOver] : failures) {
        for (const std::string failing : {".adr", ".mol", ".txt"}) {
            SCOPED_TRACE(failing + (passedOver ? " passed over" : " propagated"));
            write(".adr", "address\r\n");
            write(".mol", "name\r\n");
            write(".dlu", "position\r\n");
            write(".txt", "a\r\nn\r\np\r\n");
            const LinesReader reader = [this, failing, thrown = failure](const std::string& file) {
                if (file == path(failing.c_str()))
                    std::rethrow_exception(thrown);
                return readLinesFile(file);
            };
            DialogMemory memory;
            std::exception_ptr loadFailure, saveFailure;
            try {
                memory = loadDialogMemory(sideFilesBeside(exe_), reader);
            } catch (...) {
                loadFailure = std::current_exception();
            }
            memory.signatories = {"new name"};
            try {
                saveHistories(sideFilesBeside(exe_), memory, reader);
            } catch (...) {
                saveFailure = std::current_exception();
            }
            EXPECT_EQ(loadFailure, passedOver ? nullptr : failure);
            EXPECT_EQ(saveFailure, passedOver || failing == ".txt" ? nullptr : failure);
            if (passedOver) {
                EXPECT_EQ(memory.addresses, failing == ".adr" ? Lines{} : Lines{"address"});
                EXPECT_EQ(memory.positions, failing == ".txt" ? Lines{"position"} : Lines{}); // one block
                EXPECT_EQ(memory.address, failing == ".txt" ? "" : "a");
                EXPECT_EQ(read(".mol"), failing == ".mol" ? "new name\r\n" : "name\r\nnew name\r\n");
            }
        }
    }
}

// Each firm gets back its own address and position; the file is three lines per firm.
TEST_F(SideFiles, FirmAnswersArePerVatNumberAndKeepOtherInstancesFirms) {
    const SideFileLocations sides = sideFilesBeside(exe_);
    EXPECT_FALSE(loadFirmAnswers(sides, "BG123456786"));
    saveFirmAnswers(sides, "BG123456786    ", {"Sofia 1", "manager"});
    saveFirmAnswers(sides, "BG111111118", {"Varna 2", ""});
    saveFirmAnswers(sides, "BG123456786", {"Sofia 3", "owner"}); // replaces, keeps its place
    EXPECT_EQ(read(".firms"), "BG123456786\r\nSofia 3\r\nowner\r\nBG111111118\r\nVarna 2\r\n\r\n");
    const std::optional<FirmAnswers> varna = loadFirmAnswers(sides, "  BG111111118 ");
    ASSERT_TRUE(varna);
    EXPECT_EQ(varna->address, "Varna 2");
    EXPECT_EQ(varna->position, "");
    EXPECT_FALSE(loadFirmAnswers(sides, "BG999999999"));
    EXPECT_FALSE(loadFirmAnswers(sides, "   ")); // no VAT number: nothing kept for it

    EXPECT_EQ(this->files(), (Lines{"orva.firms"})); // no lock file, no leftovers
}

// Fault: one firm's address was offered to every firm opened after it. A firm never seen starts
// from its VIES.TXT's address, else from the last values only while no firm is kept, else blank.
TEST_F(SideFiles, AFirmNeverSeenNeverStartsFromAnotherFirm) {
    const SideFileLocations sides = sideFilesBeside(exe_);
    const FirmAnswers last{"Last street", "clerk"};
    struct Case {
        const char* name;
        bool firmKept; // BG111111118 is in the file
        const char* vat;
        const char* vies;
        FirmAnswers expected;
    };
    const Case cases[] = {
        {"no firm kept: the last values", false, "BG123456786", "", last},
        {"no firm kept, VIES address first", false, "BG123456786", "Vies 5", {"Vies 5", "clerk"}},
        {"no VAT number, no firm kept", false, "   ", "", last},
        {"another firm kept: blank", true, "BG123456786", "", {}},
        {"another firm kept, VIES address", true, "BG123456786", "Vies 5", {"Vies 5", ""}},
        {"the firm itself: its own, over VIES", true, " BG111111118", "Vies 5", {"Varna 2", "owner"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        std::remove(sides.firmAnswers.c_str());
        if (test.firmKept)
            saveFirmAnswers(sides, "BG111111118", {"Varna 2", "owner"});
        const FirmAnswers start = startingFirmAnswers(sides, test.vat, test.vies, last);
        EXPECT_EQ(start.address, test.expected.address);
        EXPECT_EQ(start.position, test.expected.position);
    }
}

// A damaged remembered file of millions of short lines was read whole (a 30 MB orva.recent: 632 MB
// for the 5 entries used): each is read only as far as it is needed, and one past the limit is
// passed over with a message, never replaced by what one instance holds.
TEST_F(SideFiles, ADamagedLargeFileIsReadOnlyAsFarAsNeeded) {
    std::string huge;
    while (huge.size() <= kSideFileLimit)
        huge += "/x\r\n";
    const SideFileLocations files = sideFilesBeside(exe_);
    for (const char* extension : {".adr", ".txt", ".firms", ".recent", ".zoom"})
        write(extension, huge);

    const DialogMemory memory = loadDialogMemory(files);
    EXPECT_EQ(memory.addresses, Lines{});
    EXPECT_EQ(memory.address, "");
    EXPECT_NE(memory.tooLarge.find(files.addresses), std::string::npos) << memory.tooLarge;
    EXPECT_THROW(saveHistories(files, memory), SideFileTooLarge);
    EXPECT_THROW(saveFirmAnswers(files, "BG123", {"a", "p"}), SideFileTooLarge);
    EXPECT_EQ(loadFirmAnswers(files, "/x"), std::nullopt);
    EXPECT_EQ(read(".adr"), huge); // kept for the user to look at
    EXPECT_EQ(read(".firms"), huge);

    EXPECT_EQ(loadRecentFolders(files), (Lines(kRecentFolders, "/x")));
    EXPECT_EQ(rememberRecentFolder(files, "/new"), (Lines{"/new", "/x", "/x", "/x", "/x"}));
    EXPECT_EQ(read(".recent"), "/new\r\n/x\r\n/x\r\n/x\r\n/x\r\n");
    EXPECT_EQ(readSideFileStart(path(".zoom")), huge.substr(0, 64));

    // Up to the limit a file is read whole; a recent folder's start cut inside a line drops that line.
    write(".adr", huge.substr(0, kSideFileLimit));
    EXPECT_EQ(readSideFile(path(".adr")).size(), kSideFileLimit / 4);
    write(".recent", std::string(kRecentFolders * (PATH_MAX + 2) - 3, 'p') + "\r\nqqq");
    EXPECT_EQ(loadRecentFolders(files), Lines{std::string(kRecentFolders * (PATH_MAX + 2) - 3, 'p')});
}

// Anyone who can read the program's folder can flock it: a save waited for ever. It waits a bounded
// time, then fails saying nothing was saved, and writes nothing.
TEST_F(SideFiles, ALockHeldByAnotherIsWaitedForABoundedTime) {
    write(".adr", "old\r\n");
    write(".firms", "");
    write(".recent", "/old\r\n");
    const SideFileLocations files = sideFilesBeside(exe_);
    DialogMemory memory;
    memory.addresses = {"new"};
    const std::function<void()> saves[] = {
        [&] { saveHistories(files, memory); },
        [&] {
            saveFirmAnswers(files, "BG1", {"a", "p"});
        },
        [&] { rememberRecentFolder(files, "/new"); },
    };
    const UniqueFd folder(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY));
    ASSERT_EQ(::flock(folder.get(), LOCK_EX), 0); // another open file: as another process's lock
    for (const auto& save : saves) {
        const auto start = std::chrono::steady_clock::now();
        const std::optional<SideFilesLocked> thrown = THROWN_BY(save(), SideFilesLocked);
        EXPECT_TRUE(thrown && std::string(thrown->what()).find("не са записани") != std::string::npos);
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, kSideFilesLockWait);
        EXPECT_LT(waited, kSideFilesLockWait * 3);
    }
    EXPECT_EQ(read(".adr"), "old\r\n");
    EXPECT_EQ(read(".firms"), "");
    EXPECT_EQ(read(".recent"), "/old\r\n");
}
