// Random telegrams into the command dispatcher, with random CNC answers behind them: no
// crash, every telegram gets the reply its command gives (none for "M ER"), no exchange is left
// open, no partial file stays and nothing outside the served folder changes.
#include "RemoteCommandsFixture.h"

#include <map>
#include <random>
#include <regex>

namespace qel::remote {
namespace {

using RemoteDispatcherFuzz = testing::RemoteCommandsFixture;

// The first telegram the PC may send for a command, as a pattern.
std::string expectedReplyFor(const std::string& telegram) {
    const std::string code = telegram.substr(0, 4);
    if (code == "M DI") return "M OK";
    if (code == "M VN") return "R VNSxxxx_V4xx QEL Veva";
    if (code == "MPIN") return "M OKRemote Mode QEL 4\\.10 Veva";
    if (code == "MPFM") return "M NR5";
    if (code == "M FR") return "R FR[0-9]+";
    if (code == "MPFR") return "M OK[0-9]+";
    if (code == "MPDR")
        return "M NR13|M OK[0-9]+ [\\s\\S]+ [0-9]+ -?[0-9]+ [0-9]+ [0-9]+ [0-9]+ [0-9]+ L[-+]";
    if (code == "MPCL" || code == "MPAT") return "M OK|M NR47|M NR13";
    if (telegram.starts_with("PR")) return "M NR|T NP|M RR";
    if (telegram.starts_with("PT")) return "M NR|T NP|M RT";
    if (telegram.starts_with("LI")) return "M NR|M RT";
    return "M NR3";
}

bool isSimpleCommand(const std::string& telegram) {
    return telegram.starts_with("M") && !telegram.starts_with("M ER");
}

class TelegramSource {
  public:
    explicit TelegramSource(unsigned seed) : random_(seed) {}

    std::string command() {
        static const std::vector<std::string> starts = {"M DI",
                                                        "M VN",
                                                        "MPIN",
                                                        "M ER",
                                                        "MPFM",
                                                        "M FR",
                                                        "MPFR",
                                                        "MPDR",
                                                        "MPCL",
                                                        "MPAT",
                                                        "PRPM",
                                                        "PTPM",
                                                        "PR",
                                                        "PT",
                                                        "LIPM",
                                                        "LI",
                                                        "P",
                                                        "L",
                                                        "M ",
                                                        "",
                                                        "PX",
                                                        "XX",
                                                        "MPDR*.PM         D  ",
                                                        "MPAT*.*          D-"};
        return pick(starts) + tail(40);
    }
    std::vector<std::string> cncAnswers() {
        static const std::vector<std::string> answers = {
            "T NB", "T FD", "M OK", "T BD", "T BDreason", "R PMdata", "R PM", "M RT", "M NR", ""};
        std::vector<std::string> texts(number(0, 4));
        for (std::string& text : texts) text = number(0, 5) == 0 ? tail(20) : pick(answers);
        return texts;
    }

  private:
    size_t number(size_t low, size_t high) {
        return std::uniform_int_distribution<size_t>(low, high)(random_);
    }
    const std::string& pick(const std::vector<std::string>& from) {
        return from[number(0, from.size() - 1)];
    }
    std::string tail(size_t longest) {
        static const std::string characters("*?./\\ -+DIPMTO0123456789ab\0\n", 29);
        std::string text(number(0, longest), ' ');
        for (char& c : text) {
            c = number(0, 4) == 0 ? static_cast<char>(number(0, 255))
                                  : characters[number(0, characters.size() - 1)];
        }
        return text;
    }

    std::mt19937 random_;
};

TEST_F(RemoteDispatcherFuzz, EveryTelegramGetsItsCommandsReplyAndNothingLeaks) {
    put("A.PM", "alpha");
    put("B.PM", std::string(300, 'b'));
    put("C.TO", "c");
    std::filesystem::create_directory(served / "SUB.PM");
    linkOut("OUT.PM");
    const std::vector<std::string> outsideBefore = testing::snapshotOf(outside);
    const int depthBefore = link.reserveDepth();
    cnc.setSilenceLimit(3);  // a CNC that stays silent in a transfer is gone after a while

    TelegramSource source(20240607);
    std::map<std::string, std::regex> replies;
    for (int round = 0; round < 2000; ++round) {
        const std::string telegram = source.command();
        cnc.clearIncoming();
        for (const std::string& answer : source.cncAnswers()) cnc.cncSends(answer);
        const std::vector<std::string> sent = perform(telegram);
        const std::string shown = "round " + std::to_string(round) + ": \"" + telegram + "\"";

        if (telegram.starts_with("M ER")) {
            EXPECT_TRUE(sent.empty()) << shown;
        } else {
            ASSERT_FALSE(sent.empty()) << shown;
            const std::string pattern = expectedReplyFor(telegram);
            auto known = replies.try_emplace(pattern, pattern).first;
            EXPECT_TRUE(std::regex_match(sent[0], known->second))
                << shown << " got \"" << sent[0] << '"';
            if (isSimpleCommand(telegram)) {
                EXPECT_EQ(sent.size(), 1u) << shown;
            }
        }
        ASSERT_EQ(link.transferState(), TransferState::Idle) << shown;
        ASSERT_EQ(link.reserveDepth(), depthBefore) << shown;
        for (const std::string& name : testing::namesIn(served)) {
            ASSERT_FALSE(name.starts_with(".qelveva-receiving-")) << shown;
        }
    }
    EXPECT_EQ(testing::snapshotOf(outside), outsideBefore);
    EXPECT_TRUE(std::filesystem::is_symlink(served / "OUT.PM"));
}

}  // namespace
}  // namespace qel::remote
