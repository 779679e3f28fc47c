#include "readinglist.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fakes.h"
#include "workflow.h"

namespace talveno {
namespace {

namespace fs = std::filesystem;

ReceiveText receiveTextOf(const std::string& bytes) {
    ReceiveText text;
    text.append(bytes);
    return text;
}

struct ListLineCase {
    const char* name;
    std::size_t k;  // line number, from 1
    std::string reading;
    std::string line;
};

// Cases print as their names in test listings.
void PrintTo(const ListLineCase& c, std::ostream* os) { *os << c.name; }

const ListLineCase kListLines[] = {
    {"First", 1, "512", "1  512\t"},
    {"NineHasNoPadding", 9, "7", "9  7\t"},
    {"TenHasTwoDigits", 10, "7", "10  7\t"},
    {"ThousandHasFourDigits", 1000, "33", "1000  33\t"},
    {"EmptyReading", 5, "", "5  \t"},
    {"TabAndBlanksKept", 2, " 4\t5 ", "2   4\t5 \t"},
    {"NulLoneCrLfAndHighBytesKept", 3, std::string("a\0b\rc\nd\xf1\xff", 9),
     std::string("3  a\0b\rc\nd\xf1\xff\t", 13)},
};

class ListLine : public ::testing::TestWithParam<ListLineCase> {};

TEST_P(ListLine, IsNumberTwoBlanksReadingTab) {
    const auto& c = GetParam();
    std::string stream = testing::readings(static_cast<int>(c.k) - 1);
    stream += c.reading + "\r\n";
    stream += testing::readings(static_cast<int>(kReadingCount - c.k), static_cast<int>(c.k) + 1);
    const auto list = buildReadingList(receiveTextOf(stream));
    ASSERT_EQ(list.size(), kReadingCount);
    EXPECT_EQ(list[c.k - 1], c.line);
}

INSTANTIATE_TEST_SUITE_P(Cases, ListLine, ::testing::ValuesIn(kListLines),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadingList, UsesLinesOneToThousandOnly) {
    const auto list = buildReadingList(receiveTextOf(testing::readings(1005)));
    ASSERT_EQ(list.size(), 1000u);
    EXPECT_EQ(list.back(), "1000  r1000\t");
}

TEST(ReadingFile, EachLineEndsInCrLfWithNothingElse) {
    EXPECT_EQ(readingFileBytes({"1  512\t", "2  498\t"}), "1  512\t\r\n2  498\t\r\n");
    EXPECT_EQ(readingFileBytes({}), "");
}

struct ExtensionCase {
    const char* name;
    std::string typed;
    std::string saved;
};

// Cases print as their names in test listings.
void PrintTo(const ExtensionCase& c, std::ostream* os) { *os << c.name; }

const ExtensionCase kExtensions[] = {
    {"NoExtensionGetsTxt", "/home/u/datos", "/home/u/datos.txt"},
    {"TxtKept", "/home/u/datos.txt", "/home/u/datos.txt"},
    {"OtherExtensionKept", "/home/u/datos.csv", "/home/u/datos.csv"},
    {"DotInFolderOnly", "/home/u.v/datos", "/home/u.v/datos.txt"},
    {"RelativeName", "datos", "datos.txt"},
};

class DefaultExtension : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(DefaultExtension, AddsTxtOnlyWhenTheNameHasNoExtension) {
    EXPECT_EQ(withDefaultExtension(GetParam().typed, "txt"), GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(Cases, DefaultExtension, ::testing::ValuesIn(kExtensions),
                         [](const auto& info) { return std::string(info.param.name); });

// A fresh folder of its own for each test, removed afterwards.
class FileWriting : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/talveno-file-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }
    static std::string contents(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string errorOf(const std::string& path, std::string_view bytes) {
        try {
            writeFileReplacing(path, bytes);
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    }

    fs::path dir;
};

TEST_F(FileWriting, CreatesAndReplacesWithExactlyTheBytes) {
    const std::string path = (dir / "datos.txt").string();
    const std::string first("1  \0\xff\r\n", 7);
    writeFileReplacing(path, first);
    EXPECT_EQ(contents(path), first);
    writeFileReplacing(path, "2");
    EXPECT_EQ(contents(path), "2");
    EXPECT_EQ(entries(), std::vector<std::string>{"datos.txt"});
}

TEST_F(FileWriting, ReplacingKeepsTheFilesPermissions) {
    const std::string path = (dir / "datos.txt").string();
    writeFileReplacing(path, "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    writeFileReplacing(path, "new");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FileWriting, MissingFolderCannotBeCreated) {
    const std::string path = (dir / "no" / "datos.txt").string();
    EXPECT_EQ(errorOf(path, "x"), "Cannot create file " + path);
}

TEST_F(FileWriting, ReadOnlyFileIsKept) {
    const std::string path = (dir / "datos.txt").string();
    writeFileReplacing(path, "old");
    fs::permissions(path, fs::perms::owner_read);
    EXPECT_EQ(errorOf(path, "new"), "Cannot create file " + path);
    EXPECT_EQ(contents(path), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"datos.txt"});
}

TEST_F(FileWriting, FolderInTheWayCannotBeCreated) {
    fs::create_directory(dir / "datos.txt");
    EXPECT_EQ(errorOf((dir / "datos.txt").string(), "x"), "Cannot create file " + (dir / "datos.txt").string());
    EXPECT_TRUE(fs::is_directory(dir / "datos.txt"));
}

// A disk that fills up while the file is written: the file size limit makes
// the system refuse the write as a full disk would. Run in a child process
// so the limit does not outlive the test.
TEST_F(FileWriting, FullDiskKeepsTheOldFileAndLeavesNothingElse) {
    const std::string path = (dir / "datos.txt").string();
    writeFileReplacing(path, "the readings saved yesterday");
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message = errorOf(path, std::string(100000, '7'));
        ::_exit(message == "Stream write error" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write did not fail with \"Stream write error\"";
    EXPECT_EQ(contents(path), "the readings saved yesterday");
    EXPECT_EQ(entries(), std::vector<std::string>{"datos.txt"});
}

}  // namespace
}  // namespace talveno
