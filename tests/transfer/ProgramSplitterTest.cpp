#include "transfer/ProgramSplitter.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace qel {
namespace {

using Programs = std::vector<std::pair<std::string, std::string>>;

// Collects the programs; data before any header is kept under "".
struct Collector : ProgramSplitter::Sink {
    Programs programs;
    std::string refuseName;  // startProgram fails for this name
    bool startProgram(const std::string& name) override {
        if (name == refuseName) return false;
        programs.emplace_back(name, std::string());
        return true;
    }
    bool writeData(std::string_view data) override {
        if (programs.empty()) programs.emplace_back("", std::string());
        programs.back().second += data;
        return true;
    }
};

Programs split(std::string_view stream, size_t pieceSize = 0) {
    Collector sink;
    ProgramSplitter splitter(sink);
    if (pieceSize == 0) pieceSize = stream.size() + 1;
    for (size_t at = 0; at < stream.size(); at += pieceSize) {
        EXPECT_TRUE(splitter.feed(stream.substr(at, pieceSize)));
    }
    EXPECT_TRUE(splitter.finish());
    return sink.programs;
}

// Every way of cutting the stream into two pieces, and into pieces of every size, gives the
// same programs as the whole stream at once.
void expectCutsChangeNothing(const std::string& stream) {
    const Programs whole = split(stream);
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        Collector sink;
        ProgramSplitter splitter(sink);
        ASSERT_TRUE(splitter.feed(std::string_view(stream).substr(0, cut)));
        ASSERT_TRUE(splitter.feed(std::string_view(stream).substr(cut)));
        ASSERT_TRUE(splitter.finish());
        EXPECT_EQ(sink.programs, whole) << "cut at " << cut;
    }
    for (size_t size = 1; size < stream.size(); ++size) {
        EXPECT_EQ(split(stream, size), whole) << "pieces of " << size;
    }
}

TEST(ProgramSplitter, LongHeadersNameTheProgramsAndAreLeftOut) {
    EXPECT_EQ(split("%PM1234\r\nN10 G0\r\nN20 M30\r\n%PM5678\r\nN10 X1\r\n"),
              (Programs{{"1234.PM", "N10 G0\r\nN20 M30\r\n"}, {"5678.PM", "N10 X1\r\n"}}));
    // The memory code is taken as written; everything after it is the name.
    EXPECT_EQ(split("%pmDRILL 10\nX"), (Programs{{"DRILL 10.pm", "X"}}));
}

TEST(ProgramSplitter, ShortHeaderIsTheWholeMemoryUnlessTheFirstBlockNumberIsAProgram) {
    EXPECT_EQ(split("%PM\r\nN10 G0\r\n"), (Programs{{"PM.PM", "N10 G0\r\n"}}));
    // Before the first header a block number of 9000 or more names the program; its line
    // stays the first line of the program.
    EXPECT_EQ(split("%PM\r\nN9001 G0\r\nN10\r\n"), (Programs{{"9001.PM", "N9001 G0\r\nN10\r\n"}}));
    EXPECT_EQ(split("%PM\r\nn8999 G0\r\n"), (Programs{{"PM.PM", "n8999 G0\r\n"}}));
    // Leading zeros are part of the name.
    EXPECT_EQ(split("%PM\nN09005\n"), (Programs{{"09005.PM", "N09005\n"}}));
}

TEST(ProgramSplitter, InBlockNumberModeANumberFrom9000StartsTheNextProgram) {
    EXPECT_EQ(split("%PM\r\nN10 G0\r\nN9002 X1\r\nN20\r\nn9003\r\nN8999\r\n"),
              (Programs{{"PM.PM", "N10 G0\r\n"},
                        {"9002.PM", "N9002 X1\r\nN20\r\n"},
                        {"9003.PM", "n9003\r\nN8999\r\n"}}));
    // After a long header block numbers are only data.
    EXPECT_EQ(split("%PM1\r\nN9002\r\n"), (Programs{{"1.PM", "N9002\r\n"}}));
    // A short header later on goes back to block numbers, under the whole memory's name.
    EXPECT_EQ(split("%PM1\r\nA\r\n%PM\r\nN9100\r\nB\r\nN9200\r\n"),
              (Programs{{"1.PM", "A\r\n"}, {"PM.PM", "N9100\r\nB\r\n"}, {"9200.PM", "N9200\r\n"}}));
}

TEST(ProgramSplitter, ABlockNumberThatRunsToTheEndOfTheStreamIsNoProgram) {
    EXPECT_EQ(split("%PM\r\nN1\r\nN9002"), (Programs{{"PM.PM", "N1\r\nN9002"}}));
}

TEST(ProgramSplitter, WhereTheBlocksAreCutChangesNothing) {
    expectCutsChangeNothing("%PM1234\r\nN10 G0\r\nN20 M30\r\n%PM5678\r\nN10 X1\r\n");
    expectCutsChangeNothing("%PM\r\nN9001 G0\r\nN10\r\nN9002 X1\r\n\r\nN9003\n%PM77\r\n");
    expectCutsChangeNothing("%PM\nN10\n%PMA_LONGER_PROGRAM_NAME_THAN_TWELVE\r\nX\r\n");
}

TEST(ProgramSplitter, AHeaderRightAfterAHeaderStartsAnEmptyProgram) {
    EXPECT_EQ(split("%PM1\r\n%PM2\r\nX\r\n"), (Programs{{"1.PM", ""}, {"2.PM", "X\r\n"}}));
}

TEST(ProgramSplitter, APercentWithFewerThanTwoCodeCharactersIsDataNotABoundary) {
    // The usual start of an ISO tape: the memory's own program, its "%" line included.
    EXPECT_EQ(split("%\r\nN10 G0\r\n"), (Programs{{"", "%\r\nN10 G0\r\n"}}));
    EXPECT_EQ(split("%"), (Programs{{"", "%"}}));
    EXPECT_EQ(split("%P\r\nX\r\n"), (Programs{{"", "%P\r\nX\r\n"}}));
    // Between programs it stays in the current one.
    EXPECT_EQ(split("%PM1\r\nA\r\n%\r\nB\r\n%PM2\r\nC\r\n"),
              (Programs{{"1.PM", "A\r\n%\r\nB\r\n"}, {"2.PM", "C\r\n"}}));
    expectCutsChangeNothing("%\r\nN10\r\n%PM1\r\nA\r\n%\nB\r\n%P");
}

TEST(ProgramSplitter, ALongHeaderIsCutAtTheSamePlaceWhereverTheBlocksAreCut) {
    const std::string header = "%PM" + std::string(997, 'x');
    const std::string stream = header + "\r\nN10\r\n%PM2\r\nN20\r\n";
    const Programs whole = split(stream);
    ASSERT_EQ(whole.size(), 2u);
    EXPECT_EQ(whole[0].first.size(), ProgramSplitter::kMaxHeaderLength);
    EXPECT_EQ(whole[0].second, "N10\r\n");
    EXPECT_EQ(split(stream, 1), whole);
    EXPECT_EQ(split(stream, 7), whole);
    EXPECT_EQ(split(stream, 300), whole);
}

// Found by the fuzzer: a header of exactly the longest length, its line end in the next block,
// was taken for a cut one, and the line ends after it were then all dropped instead of a bounded
// run of them.
TEST(ProgramSplitter, AHeaderOfExactlyTheLongestLengthIsNotCutWhenItsLineEndComesLater) {
    const std::string header = "%PM" + std::string(ProgramSplitter::kMaxHeaderLength - 3, 'y');
    const std::string stream =
        header + std::string(ProgramSplitter::kMaxHeaderLength + 1, '\r') + "N10\r\n";
    const Programs whole = split(stream);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].second, "\rN10\r\n");  // the line ends beyond the bounded run are data
    EXPECT_EQ(split(stream, 1), whole);
    EXPECT_EQ(split(stream, ProgramSplitter::kMaxHeaderLength), whole);
}

// Also found by the fuzzer: exactly the bounded run of line ends after a short header, then the
// block number that names the program; byte by byte the number was not looked at.
TEST(ProgramSplitter, TheLineAfterExactlyTheBoundedRunOfLineEndsStillNamesTheProgram) {
    const std::string stream =
        "%PM" + std::string(ProgramSplitter::kMaxHeaderLength, '\r') + "N9001\r\nN10\r\n";
    const Programs whole = split(stream);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].first, "9001.PM");
    EXPECT_EQ(split(stream, 1), whole);
}

TEST(ProgramSplitter, ABlockNumberLongerThanTheLongestRunNamesItsProgramAfterItsFirstDigits) {
    const std::string digits = "9" + std::string(ProgramSplitter::kMaxDigits + 99, '1');
    const std::string named = digits.substr(0, ProgramSplitter::kMaxDigits) + ".PM";
    // In block-number mode, and on the line after the first short header.
    const std::string later = "%PM\r\nN10\r\nN" + digits + " X\r\nN20\r\n";
    const Programs whole = split(later);
    EXPECT_EQ(whole, (Programs{{"PM.PM", "N10\r\n"}, {named, "N" + digits + " X\r\nN20\r\n"}}));
    EXPECT_EQ(split(later, 1), whole);
    EXPECT_EQ(split(later, 64), whole);
    const std::string first = "%PM\r\nN" + digits + "\r\n";
    EXPECT_EQ(split(first), (Programs{{named, "N" + digits + "\r\n"}}));
    EXPECT_EQ(split(first, 1), split(first));
}

TEST(ProgramSplitter, NulBytesAndLoneLineEndsAreData) {
    const std::string data("%PM9\r\nA\0B\r\rC\n\nD", 15);
    EXPECT_EQ(split(data), (Programs{{"9.PM", std::string("A\0B\r\rC\n\nD", 9)}}));
}

TEST(ProgramSplitter, AHeaderWithoutLineEndIsCutAndItsRestDropped) {
    const std::string header = "%PM" + std::string(ProgramSplitter::kMaxHeaderLength + 50, 'A');
    const Programs programs = split(header + "\r\nX\r\n", 64);
    ASSERT_EQ(programs.size(), 1u);
    EXPECT_EQ(programs[0].first.size(), ProgramSplitter::kMaxHeaderLength - 3 + 3);
    EXPECT_EQ(programs[0].second, "X\r\n");
}

TEST(ProgramSplitter, EndlessLineEndsAfterAHeaderDoNotHoldTheStreamBack) {
    Collector sink;
    ProgramSplitter splitter(sink);
    ASSERT_TRUE(splitter.feed("%PM1234\n"));
    const std::string lineEnds(100, '\n');
    for (int block = 0; block < 100; ++block) ASSERT_TRUE(splitter.feed(lineEnds));
    // Decided long before the end: the program has begun and the line ends flow into it.
    ASSERT_EQ(sink.programs.size(), 1u);
    EXPECT_EQ(sink.programs[0].first, "1234.PM");
    EXPECT_GE(sink.programs[0].second.size(), 10000u - ProgramSplitter::kMaxHeaderLength - 100);
    ASSERT_TRUE(splitter.finish());
    expectCutsChangeNothing("%PM1234\n" + std::string(310, '\r') + "N10\n");
}

TEST(ProgramSplitter, ARefusedProgramStopsTheSplitting) {
    Collector sink;
    sink.refuseName = "5678.PM";
    ProgramSplitter splitter(sink);
    EXPECT_FALSE(splitter.feed("%PM1234\r\nA\r\n%PM5678\r\nB\r\n"));
    EXPECT_EQ(sink.programs, (Programs{{"1234.PM", "A\r\n"}}));
}

}  // namespace
}  // namespace qel
