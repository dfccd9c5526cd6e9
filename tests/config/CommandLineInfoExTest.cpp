// The command line and the start-up file it may name.
#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>

#include "ConfigTestSupport.h"
#include "shell/CommandLineInfoEx.h"
#include "shell/StartupFile.h"

namespace qel {
namespace {

using testing::RecordingMessages;
using testing::ScratchFolder;
using testing::writeBytes;

class CommandLineTest : public ::testing::Test {
  protected:
    // Parses the parameters as the program would get them after its own name.
    CCommandLineInfoEx parse(std::initializer_list<const char*> params) {
        std::vector<const char*> argv{"QelVeva"};
        argv.insert(argv.end(), params);
        CCommandLineInfoEx info(messages);
        info.ParseCommandLine(static_cast<int>(argv.size()), argv.data());
        return info;
    }

    RecordingMessages messages;
    ScratchFolder folder;
};

TEST_F(CommandLineTest, AddressAndPortAsSeparateParameters) {
    const auto info = parse({"/i", "10.0.0.5", "19001"});
    EXPECT_EQ(info.m_strIpAddress, "10.0.0.5");
    EXPECT_EQ(info.m_iPortNumber, 19001u);
    EXPECT_FALSE(info.m_bShowSplash);
    EXPECT_EQ(info.m_strStartupFile, "");
}

TEST_F(CommandLineTest, AddressJoinedToTheFlagWithOrWithoutPort) {
    const auto withoutPort = parse({"/i10.0.0.5"});
    EXPECT_EQ(withoutPort.m_strIpAddress, "10.0.0.5");
    EXPECT_EQ(withoutPort.m_iPortNumber, 19000u);

    const auto withPort = parse({"-I10.0.0.5,19001"});
    EXPECT_EQ(withPort.m_strIpAddress, "10.0.0.5");
    EXPECT_EQ(withPort.m_iPortNumber, 19001u);

    EXPECT_EQ(parse({"/i10.0.0.5,"}).m_iPortNumber, 19000u);
}

TEST_F(CommandLineTest, PortThatIsNotANumberBecomesTheDefault) {
    EXPECT_EQ(parse({"/i", "cnc", "abc"}).m_iPortNumber, 19000u);
    EXPECT_EQ(parse({"/i", "cnc"}).m_iPortNumber, 19000u);
}

TEST_F(CommandLineTest, CaptionAsNextParameterOrJoinedToTheFlag) {
    EXPECT_EQ(parse({"/c", "Line 3"}).m_strCaption, "Line 3");
    EXPECT_EQ(parse({"/cLine3"}).m_strCaption, "Line3");
    EXPECT_EQ(parse({"-C", "Mill"}).m_strCaption, "Mill");
}

TEST_F(CommandLineTest, WithoutAddressTheSplashStaysOnAndThePortZero) {
    const auto info = parse({"/c", "Line 3", "/x"});
    EXPECT_TRUE(info.m_bShowSplash);
    EXPECT_EQ(info.m_iPortNumber, 0u);
    EXPECT_EQ(info.m_strIpAddress, "");
}

TEST_F(CommandLineTest, LastPlainParameterNotTakenAsValueIsTheStartupFile) {
    const auto first = folder / "first.ini";
    const auto second = folder / "second.ini";
    writeBytes(first, "Caption = First\n");
    writeBytes(second, "Caption = Second\n");
    const auto info = parse({first.c_str(), "/c", "Cap", "/unknown", second.c_str()});
    EXPECT_EQ(info.m_strStartupFile, second.string());  // an absolute path is no flag
    EXPECT_EQ(info.m_strCaption, "Second");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(CommandLineTest, StartupFileOverridesTheCommandLine) {
    const auto startup = folder / "mill2.ini";
    writeBytes(startup,
               "; workshop mill 2\n"
               "Connect = 192.168.1.20 19000\n"
               "Caption = \"Mill 2\"\n");
    const auto info = parse({"/i10.0.0.5,19001", "/cOld", startup.c_str()});
    EXPECT_EQ(info.m_strIpAddress, "192.168.1.20");
    EXPECT_EQ(info.m_iPortNumber, 19000u);
    EXPECT_EQ(info.m_strCaption, "Mill 2");
    EXPECT_FALSE(info.m_bShowSplash);
}

TEST_F(CommandLineTest, MissingStartupFileIsReportedAndStartGoesOn) {
    const auto missing = (folder / "missing.ini").string();
    const auto info = parse({"/i10.0.0.5", missing.c_str()});
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Command line error");
    EXPECT_EQ(messages.shown[0].text, "Can not open startup file " + missing + ".\n Error = 2");
    EXPECT_EQ(info.m_strIpAddress, "10.0.0.5");
    EXPECT_EQ(info.m_iPortNumber, 19000u);
}

TEST_F(CommandLineTest, FolderAsStartupFileIsReportedNotRead) {
    parse({folder.path().c_str()});
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST(StartupText, KeywordsIgnoreCaseAndBlanksAndLaterLinesWin) {
    StartupSettings settings;
    parseStartupText(
        "CONNECT   = first 1\r\n"
        "caption\t= one\r\n"
        "Unknown = value\n"
        "no equals sign here\n"
        "connect=second 2\n",
        settings);
    EXPECT_EQ(settings.ipAddress, "second");
    EXPECT_EQ(settings.portNumber, 2u);
    EXPECT_EQ(settings.caption, "one");
}

TEST(StartupText, CommentsEndValues) {
    StartupSettings settings;
    parseStartupText("Caption = ; nothing but a comment\nConnect = host;19001\n", settings);
    EXPECT_EQ(settings.caption, "");
    EXPECT_EQ(settings.ipAddress, "host");
    EXPECT_EQ(settings.portNumber, 0u);

    StartupSettings untouched;
    parseStartupText("; Connect = host 1\n  \n\n", untouched);
    EXPECT_FALSE(untouched.ipAddress || untouched.portNumber || untouched.caption);
}

TEST(StartupText, QuotedValuesKeepBlanksAndSemicolons) {
    StartupSettings settings;
    parseStartupText("Caption = \"Mill 2; left\" ignored\nConnect = \"cnc 7\" \"19002\"", settings);
    EXPECT_EQ(settings.caption, "Mill 2; left");
    EXPECT_EQ(settings.ipAddress, "cnc 7");
    EXPECT_EQ(settings.portNumber, 19002u);  // last line without a newline
}

TEST(StartupText, UnterminatedQuoteRunsToTheEndOfTheLine) {
    StartupSettings settings;
    parseStartupText("Caption = \"Mill 2\nConnect = host 5\n", settings);
    EXPECT_EQ(settings.caption, "Mill 2");
    EXPECT_EQ(settings.ipAddress, "host");
}

TEST(StartupText, DecimalPrefix) {
    EXPECT_EQ(decimalPrefix("19001"), 19001u);
    EXPECT_EQ(decimalPrefix(" 42x"), 42u);
    EXPECT_EQ(decimalPrefix(""), 0u);
    EXPECT_EQ(decimalPrefix("-5"), 0u);
    EXPECT_EQ(decimalPrefix("99999999999999999999"), UINT_MAX);
}

}  // namespace
}  // namespace qel
