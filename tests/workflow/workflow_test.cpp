#include "workflow.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fakes.h"
#include "readinglist.h"

namespace talveno {
namespace {

using testing::Bench;
using testing::Log;
using testing::readings;

TEST(StartSequence, HidesTheWorkflowThenShowsTheDialogThenReady) {
    Bench b;
    b.workflow.FormActivate();
    EXPECT_EQ(b.log, (Log{"hide BitBtn1", "disable Button1", "disable Button4", "hide Memo2", "hide Panel1",
                          "hide Panel3", "hide Panel4", "setup dialog", "show BitBtn1",
                          std::string("Label2 ") + std::string(kStatusReady)}));
    EXPECT_EQ(kStatusReady.size(), 63u);
    EXPECT_EQ(b.workflow.chunkCount(), 0);
    EXPECT_TRUE(b.port.written.empty());
}

TEST(StartSequence, APortListFailureLeavesTheFirstStepsAndNoConnectButton) {
    Bench b;
    b.port.dialogFailure = "Registry error (win error code: 2)";
    EXPECT_THROW(b.workflow.FormActivate(), Error);
    EXPECT_FALSE(b.window.visible[Element::BitBtn1]);
    EXPECT_FALSE(b.window.enabled[Element::Button1]);
    EXPECT_FALSE(b.window.visible[Element::Panel4]);
    EXPECT_EQ(b.window.label2, kStatusSelectPort);
}

TEST(Connect, ShowsTheDownloadThenOpensAndAsksOnce) {
    Bench b;
    b.workflow.FormActivate();
    b.log.clear();
    b.workflow.BitBtn1Click();
    EXPECT_EQ(b.log, (Log{std::string("Label2 ") + std::string(kStatusWaiting), "show Panel4", "show Memo2",
                          "show Panel1", "hide BitBtn1", "open", "write"}));
    EXPECT_EQ(b.port.written, "\x38");
}

TEST(Connect, AnOpenFailureLeavesTheWaitingStatusTheListAndNoButtonAndWritesNothing) {
    Bench b;
    b.workflow.FormActivate();
    b.port.openFailure = "Unable to open com port (win error code: 2)";
    try {
        b.workflow.BitBtn1Click();
        FAIL() << "open failure not raised";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 2)");
    }
    EXPECT_EQ(b.window.label2, kStatusWaiting);
    EXPECT_TRUE(b.window.visible[Element::Memo2]);
    EXPECT_TRUE(b.window.visible[Element::Panel1]);
    EXPECT_FALSE(b.window.visible[Element::BitBtn1]);
    EXPECT_TRUE(b.port.written.empty());
}

TEST(Connect, AWriteFailureLeavesWhatWasDone) {
    Bench b;
    b.workflow.FormActivate();
    b.port.writeFailure = "WriteFile function failed (win error code: 5)";
    EXPECT_THROW(b.workflow.BitBtn1Click(), Error);
    EXPECT_TRUE(b.port.isOpen);
    EXPECT_FALSE(b.window.visible[Element::BitBtn1]);
    EXPECT_EQ(b.window.label2, kStatusWaiting);
}

TEST(Chunk, CountsLinesMovesTheBarAndPutsTheCaretAtTheTop) {
    Bench b;
    b.connect();
    b.deliver("12\r\n3");
    EXPECT_EQ(b.window.edit1, "2");
    b.deliver("4\r\n");
    EXPECT_EQ(b.window.edit1, "2");
    EXPECT_EQ(b.window.progress, (std::vector<int>{0, 1}));
    EXPECT_EQ(b.window.selection, (std::pair<int, int>{0, 0}));
    EXPECT_EQ(b.window.focusCount, 2);
    EXPECT_EQ(b.window.builds, 0);
    EXPECT_FALSE(b.window.enabled[Element::Button1]);
}

TEST(Chunk, TheBarIsFullFromThe431stChunkOn) {
    Bench b;
    b.connect();
    for (int i = 0; i < 433; ++i) {
        b.deliver("x");
    }
    ASSERT_EQ(b.window.progress.size(), 433u);
    EXPECT_EQ(b.window.progress.front(), 0);
    EXPECT_EQ(b.window.progress[430], kProgressMaximum);
    EXPECT_GT(b.window.progress[432], kProgressMaximum);
}

TEST(Chunk, AFailedReadAppendsNothingAndLeavesTheWindow) {
    Bench b;
    b.connect();
    b.deliver("1\r\n");
    b.port.readFailure = "ReadFile function failed (win error code: 5)";
    EXPECT_THROW(b.workflow.ComPort1RxChar(3), Error);
    EXPECT_EQ(b.workflow.receiveText().bytes(), "1\r\n");
    EXPECT_EQ(b.window.label2, kStatusWaiting);
}

// How the stream is cut into notifications, and what the window must show
// after the last one.
struct CompletionCase {
    const char* name;
    std::vector<std::string> chunks;
    int builds;               // times the list was built
    bool complete;            // GUARDAR and BORRAR enabled, status and bar hidden
    std::string line1000;     // the list's last line, when complete
};

// Cases print as their names in test listings.
void PrintTo(const CompletionCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::string> inPieces(const std::string& s, std::size_t size) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < s.size(); i += size) {
        out.push_back(s.substr(i, size));
    }
    return out;
}

std::vector<CompletionCase> completionCases() {
    const std::string all = readings(1000);
    const std::string upTo999 = readings(999);
    std::vector<CompletionCase> cases;
    cases.push_back({"OneChunk", {all}, 1, true, "1000  r1000\t"});
    cases.push_back({"SevenByteChunks", inPieces(all, 7), 0, true, "1000  r1000\t"});
    cases.push_back({"ThousandthLineInThreeChunks", {upTo999, "r", "1000", "\r\n"}, 3, true, "1000  r1000\t"});
    cases.push_back({"CrLfOfTheThousandthLineSplit", {upTo999, "r1000\r", "\n"}, 2, true, "1000  r1000\t"});
    cases.push_back({"NineHundredNinetyNineLines", {upTo999}, 0, false, ""});
    cases.push_back({"ThousandthLineWithoutItsEndYet", {upTo999 + "r10"}, 1, true, "1000  r10\t"});
    // Faults mended: a jump from 999 past 1000 completes, and the 1000th line
    // arriving together with the start of a 1001st is taken whole.
    cases.push_back({"OneChunkFrom999To1001", {upTo999, "r1000\r\nr1001"}, 1, true, "1000  r1000\t"});
    cases.push_back({"ThousandthLineEndsWithTheNextBegun", {upTo999 + "r10", "00\r\nr1001\r\n"}, 2, true,
                     "1000  r1000\t"});
    cases.push_back({"EverythingAtOnceAndMore", {readings(1500)}, 1, true, "1000  r1000\t"});
    cases.push_back({"MoreLinesAfterCompletion", {all, readings(3, 1001), "tail"}, 1, true, "1000  r1000\t"});
    return cases;
}

class Completion : public ::testing::TestWithParam<CompletionCase> {};

TEST_P(Completion, BuildsFromAFinishedThousandthLine) {
    const auto& c = GetParam();
    Bench b;
    b.connect();
    for (const auto& chunk : c.chunks) {
        b.deliver(chunk);
    }
    if (c.builds > 0) {
        EXPECT_EQ(b.window.builds, c.builds);
    }
    EXPECT_EQ(b.window.enabled[Element::Button1], c.complete);
    EXPECT_EQ(b.window.enabled[Element::Button4], c.complete);
    EXPECT_EQ(b.window.visible[Element::Label2], !c.complete);
    EXPECT_EQ(b.window.visible[Element::Panel4], !c.complete);
    EXPECT_EQ(b.workflow.complete(), c.complete);
    if (c.complete) {
        ASSERT_EQ(b.window.memo2.size(), 1000u);
        EXPECT_EQ(b.window.memo2.front(), "1  r1\t");
        EXPECT_EQ(b.window.memo2.back(), c.line1000);
    } else {
        EXPECT_TRUE(b.window.memo2.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Completion, ::testing::ValuesIn(completionCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Completion, EachBuildDoesTheCompletionStepsInOrder) {
    Bench b;
    b.connect();
    b.deliver(readings(1000));
    EXPECT_EQ(b.log, (Log{"build", "hide Label2", "enable Button1", "enable Button4", "hide Panel4"}));
}

TEST(Completion, TheUsersEditsSurviveLaterChunks) {
    Bench b;
    b.connect();
    b.deliver(readings(1000));
    b.window.memo2[0] = "1  edited\t";
    b.deliver(readings(5, 1001));
    EXPECT_EQ(b.window.memo2[0], "1  edited\t");
    EXPECT_EQ(b.window.builds, 1);
}

TEST(Completion, EveryByteOfTheReadingsIsKept) {
    Bench b;
    b.connect();
    std::string stream = readings(998);
    stream += std::string("a\0b\rc\nd\x80\xff", 9) + "\r\n";
    stream += std::string("\0", 1) + "\r\n";
    b.deliver(stream);
    ASSERT_EQ(b.window.memo2.size(), 1000u);
    EXPECT_EQ(b.window.memo2[998], std::string("999  a\0b\rc\nd\x80\xff\t", 15));
    EXPECT_EQ(b.window.memo2[999], std::string("1000  \0\t", 8));
}

TEST(Erase, UnsavedReadingsAskFirstAndNoWritesNothing) {
    Bench b;
    b.connect();
    b.deliver(readings(1000));
    b.log.clear();
    b.window.eraseAnswer = false;
    b.workflow.Button4Click();
    EXPECT_EQ(b.log, Log{"confirm erase"});
    EXPECT_EQ(b.port.written, "\x38");
    b.window.eraseAnswer = true;
    b.workflow.Button4Click();
    EXPECT_EQ(b.port.written, "\x38\x33");
}

TEST(Close, IsHarmlessWhenNeverOpenedAndClosesAnOpenPort) {
    Bench never;
    never.workflow.FormClose();
    EXPECT_EQ(never.log, Log{"close"});
    Bench b;
    b.connect();
    b.workflow.FormClose();
    EXPECT_FALSE(b.port.isOpen);
}

class Save : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/talveno-save-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        b.connect();
        b.deliver(readings(1000));
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string contents(const std::string& name) const {
        std::ifstream in(dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::filesystem::path dir;
    Bench b;
};

TEST_F(Save, AnUneditedListGivesAThousandLinesEachEndingTabCrLf) {
    b.window.saveAnswer = (dir / "datos.txt").string();
    b.workflow.Button1Click();
    EXPECT_EQ(b.window.lastSaveOptions->defaultExtension, "txt");
    EXPECT_EQ(b.window.lastSaveOptions->initialDir, "C:\\");
    std::string expected;
    for (int k = 1; k <= 1000; ++k) {
        expected += std::to_string(k) + "  r" + std::to_string(k) + "\t\r\n";
    }
    EXPECT_EQ(contents("datos.txt"), expected);
}

TEST_F(Save, WritesWhatTheBoxHoldsAndReplacesOnASecondSave) {
    b.window.saveAnswer = (dir / "datos.txt").string();
    b.workflow.Button1Click();
    b.window.memo2 = {"1  corrected\t"};
    b.workflow.Button1Click();
    EXPECT_EQ(contents("datos.txt"), "1  corrected\t\r\n");
}

TEST_F(Save, CancelWritesNothing) {
    b.window.saveAnswer.reset();
    b.workflow.Button1Click();
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST_F(Save, AFailureGivesTheMessageAndKeepsTheList) {
    const std::string path = (dir / "missing" / "datos.txt").string();
    b.window.saveAnswer = path;
    const auto before = b.window.memo2;
    try {
        b.workflow.Button1Click();
        FAIL() << "save did not fail";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + path);
    }
    EXPECT_EQ(b.window.memo2, before);
    EXPECT_TRUE(b.window.enabled[Element::Button1]);
}

TEST_F(Save, ThenEraseWritesExactlyOneByteAndChangesNothingElse) {
    b.window.saveAnswer = (dir / "datos.txt").string();
    b.workflow.Button1Click();
    b.log.clear();
    const auto visibleBefore = b.window.visible;
    b.workflow.Button4Click();
    EXPECT_EQ(b.log, Log{"write"});
    EXPECT_EQ(b.port.written, "\x38\x33");
    EXPECT_EQ(b.window.visible, visibleBefore);
}

TEST_F(Save, ThenARebuildMakesEraseAskAgain) {
    Bench partial;
    partial.connect();
    partial.deliver(readings(999) + "r1000");
    partial.window.saveAnswer = (dir / "datos.txt").string();
    partial.workflow.Button1Click();
    partial.deliver("\r\n");
    partial.log.clear();
    partial.workflow.Button4Click();
    EXPECT_EQ(partial.log, Log{"confirm erase"});
}

}  // namespace
}  // namespace talveno
