// Nothing the CNC names reaches outside the served folder: paths, the dot entries and links
// that lead out are refused, and nothing out there is read, written, deleted or changed.
#include "RemoteCommandsFixture.h"

namespace qel::remote {
namespace {

using Texts = std::vector<std::string>;
using RemoteConfinement = testing::RemoteCommandsFixture;

const std::string kRefusedSuffix = "' from the CNC: it would reach outside the served folder.";

TEST_F(RemoteConfinement, HostileNamesAndPatternsAreRefusedAndChangeNothing) {
    testing::writeFile(parent / "x.PM", "parent file");
    put("A.PM", "a");
    const Texts before = testing::snapshotOf(parent.path());
    const std::string nul("A\0B", 3);
    struct Case {
        std::string telegram;
        std::string reply;
        std::string refusedName;
    };
    const std::vector<Case> cases = {
        {"PRPM../x", "M NR", "../x.PM"},
        {"PRPM/etc/passwd", "M NR", "/etc/passwd.PM"},
        {"PRPMa/b", "M NR", "a/b.PM"},
        {"PR", "M NR", "."},
        {"PRPM" + nul, "M NR", "A"},  // the log shows the name up to its NUL
        {"PTPM../x", "M NR", "../x.PM"},
        {"PTPM/etc/passwd", "M NR", "/etc/passwd.PM"},
        {"PT", "M NR", "."},
        {"MPCL../x.PM", "M NR13", "../x.PM"},
        {"MPCL/etc/*", "M NR13", "/etc/*"},
        {"MPCL..", "M NR13", ".."},
        {"MPCL.", "M NR13", "."},
        {"MPCL*" + nul, "M NR13", "*A"},
        {"MPAT../*", "M NR13", "../*"},
        {"MPATa/b", "M NR13", "a/b"},
        {"MPDR../*.PM", "M NR13", "../*.PM"},
        {"MPDR/etc/*", "M NR13", "/etc/*"},
        {"LI/e", "M NR", "*./e"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(perform(c.telegram), Texts{c.reply}) << c.telegram;
        EXPECT_EQ(logged(), Texts{"Refused the name '" + c.refusedName + kRefusedSuffix})
            << c.telegram;
    }
    EXPECT_EQ(testing::snapshotOf(parent.path()), before);
}

TEST_F(RemoteConfinement, ALinkLeadingOutIsNeitherListedReadWrittenDeletedNorChanged) {
    linkOut("OUT.PM");
    std::filesystem::create_symlink("../outside", served / "OUTDIR.PM");
    put("A.PM", "a");
    const Texts before = testing::snapshotOf(parent.path());
    const std::string leadsOut =
        "The file 'OUT.PM' leads outside the served folder and was left alone.";

    EXPECT_EQ(perform("PTPMOUT"), Texts{"M NR"});
    EXPECT_EQ(logged(), Texts{leadsOut});
    EXPECT_EQ(perform("PRPMOUT", {"R PMoverwritten", "T FD"}), Texts{"M NR"});
    EXPECT_EQ(logged(), Texts{leadsOut});
    cnc.clearIncoming();
    EXPECT_EQ(perform("MPCLOUT.PM"), Texts{"M NR47"});
    EXPECT_EQ(logged(), Texts{leadsOut});
    EXPECT_EQ(perform("MPATOUT.PM"), Texts{"M NR47"});
    EXPECT_EQ(perform("MPATOUT.PM        -"), Texts{"M NR47"});
    // The listing shows only A.PM; the type listing leaves the links out too.
    EXPECT_EQ(perform("MPDR*.PM").at(0).substr(0, 10), "M OK0 A.PM");
    EXPECT_EQ(perform("MPDR*.PM          D  1"), Texts{"M NR13"});
    EXPECT_EQ(perform("LIPM", {"T NB", "T NB", "M OK"}), (Texts{"M RT", "DIPMA", "T FD"}));
    EXPECT_EQ(testing::snapshotOf(parent.path()), before);
}

TEST_F(RemoteConfinement, ALinkInsideTheFolderIsServedLikeItsTarget) {
    put("REAL.PM", "real");
    std::filesystem::create_symlink("REAL.PM", served / "ALIAS.PM");
    EXPECT_EQ(perform("PTPMALIAS", {"T NB", "T NB", "M OK"}), (Texts{"M RT", "R PMreal", "T FD"}));
    EXPECT_EQ(perform("MPCLALIAS.PM"), Texts{"M OK"});  // the link goes, its target stays
    EXPECT_EQ(testing::namesIn(served), Texts{"REAL.PM"});
}

TEST_F(RemoteConfinement, AFileIsNeverStoredUnderTheNameOfAPartFile) {
    // Such a file would be confirmed to the CNC, then hidden from every listing and request.
    const std::string refused =
        "Refused the name '.qelveva-receiving-x.PM' from the CNC: names starting with "
        "'.qelveva-receiving-' are kept for files being received.";
    EXPECT_EQ(perform("PRPM.qelveva-receiving-x", {"R PMdata", "T FD"}), Texts{"M NR"});
    EXPECT_EQ(logged(), Texts{refused});
    cnc.clearIncoming();
    EXPECT_EQ(perform("PRPM.qelveva-receiving-x", {"T FD"}), Texts{"M NR"});
    EXPECT_EQ(logged(), Texts{refused});
    EXPECT_TRUE(testing::namesIn(served).empty());
    // The same letters in another case make an ordinary name.
    cnc.clearIncoming();
    EXPECT_EQ(perform("PRPM.QELVEVA-RECEIVING-x", {"R PMdata", "T FD"}),
              (Texts{"M RR", "T NB", "M OK"}));
    EXPECT_EQ(testing::namesIn(served), Texts{".QELVEVA-RECEIVING-x.PM"});
}

TEST_F(RemoteConfinement, NamesLongerThan256CharactersAreRefused) {
    const std::string longName(257, 'N');
    EXPECT_EQ(perform("PRPM" + longName), Texts{"T NP"});
    EXPECT_EQ(logged(), Texts{"Refused a name of 257 characters from the CNC (at most 256)."});
    EXPECT_EQ(perform("PTPM" + longName), Texts{"T NP"});
    EXPECT_EQ(perform("MPCL" + longName), Texts{"M NR13"});
    EXPECT_EQ(perform("MPDR" + longName), Texts{"M NR13"});
    EXPECT_EQ(perform("MPAT" + longName), Texts{"M NR13"});
    // 256 characters pass, but with ".PM" the name is too long for the file system: refused
    // before the CNC sends anything.
    EXPECT_EQ(perform("PRPM" + std::string(256, 'N'), {"R PMdata", "T FD"}), Texts{"T NP"});
    const std::string line = "Unable to create the file '" + std::string(256, 'N') + ".PM'.";
    EXPECT_EQ(logged(), Texts{line.substr(0, 159)});
    EXPECT_TRUE(testing::namesIn(served).empty());
}

}  // namespace
}  // namespace qel::remote
