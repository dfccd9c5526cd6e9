// The lifecycle every transfer run shares, as a window drives it: questions that a stop answers,
// a stop that never blocks, and a display that only the owner's tick touches.
#include "transfer/BehindTapeReader.h"
#include "transfer/DisplayChanges.h"
#include "transfer/Download.h"
#include "transfer/Upload.h"

#include "FakeLink.h"
#include "TransferTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace qel {
namespace {

using namespace std::chrono_literals;
using testing::failure;
using testing::FakeLink;
using testing::linkOfType;
using testing::reply;
using testing::ScriptedOperator;
using testing::TempFolder;
using testing::WatchedLink;
using Texts = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

constexpr auto kOneTick = 100ms;

// Waits, ticking now and then without asking, until the worker waits on a question.
bool waitForQuestion(TransferEngine& engine, std::chrono::milliseconds limit = 2s) {
    const auto deadline = Clock::now() + limit;
    while (!engine.questionWaiting()) {
        if (engine.finished() || Clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// ---- a question open while the run is stopped ----

enum class Run { Receive, Send, Btr };
enum class Form { Ask, Confirm, NewName };

struct OpenQuestion {
    Run run;
    Form form;
    const char* name;
};

class QuestionAtStop : public ::testing::TestWithParam<OpenQuestion> {
  protected:
    // Builds a run whose worker will ask a question of the wanted form.
    std::unique_ptr<TransferEngine> makeRun() {
        const OpenQuestion wanted = GetParam();
        std::vector<std::string> names{"PROG1.PM"};
        switch (wanted.run) {
            case Run::Receive: {
                uint32_t flags = 0;
                std::string into = folder.str();
                if (wanted.form == Form::Ask) link.replies = {reply("T NP")};  // continue?
                if (wanted.form == Form::Confirm) {
                    link.replies = {reply("M RT"), reply("R PMdata")};
                    into += "missing/";  // the file cannot be created: Retry?
                }
                if (wanted.form == Form::NewName) {
                    link.replies = {reply("M RT"), reply("R PMdata")};
                    flags = kReceiveAskNames;
                }
                return std::make_unique<DownloadEngine>(client, op, names, flags, into);
            }
            case Run::Send: {
                uint32_t flags = 0;
                if (wanted.form != Form::Confirm) folder.write("PROG1.PM", "data");  // else: Retry?
                if (wanted.form == Form::Ask) link.replies = {reply("M NR")};        // replace?
                if (wanted.form == Form::NewName) flags = kSendAskNames;
                return std::make_unique<UploadEngine>(client, op, names, flags, folder.str());
            }
            case Run::Btr:
                if (wanted.form == Form::Ask) {
                    folder.write("PROG1.PM", "data");
                    link.replies = {reply("M NR")};  // not started: go on?
                }
                // Confirm: the file is missing: go on with the others?
                return std::make_unique<BtrEngine>(client, op, names, folder.str());
        }
        return nullptr;
    }

    FakeLink link;
    CncClient client{linkOfType(DNC_LINK_RXA2), 0, link};
    ScriptedOperator op;
    TempFolder folder;
};

TEST_P(QuestionAtStop, StopAnswersCancelAndTheWorkerEndsWithinATick) {
    auto engine = makeRun();
    engine->setPauses({0ms, 0ms, 50ms});
    ASSERT_TRUE(engine->start());
    ASSERT_TRUE(waitForQuestion(*engine));
    const auto before = Clock::now();
    engine->stop();
    EXPECT_LT(Clock::now() - before, kOneTick);
    EXPECT_TRUE(engine->finished());
    EXPECT_FALSE(engine->succeeded());
    engine->tick();  // nothing is asked any more
    EXPECT_TRUE(op.questions.empty());
    EXPECT_TRUE(op.boxes.empty());
    EXPECT_TRUE(op.prompts.empty());
    EXPECT_TRUE(folder.entries().empty() || GetParam().run != Run::Receive);
    EXPECT_EQ(client.transferState(), TransferState::Idle);
    EXPECT_EQ(link.reserves, link.releases);
}

TEST_P(QuestionAtStop, RequestStopReturnsAtOnceAndTheWorkerEndsOnItsOwn) {
    auto engine = makeRun();
    engine->setPauses({0ms, 0ms, 50ms});
    ASSERT_TRUE(engine->start());
    ASSERT_TRUE(waitForQuestion(*engine));
    const auto before = Clock::now();
    engine->requestStop();
    EXPECT_LT(Clock::now() - before, 10ms);
    EXPECT_TRUE(engine->waitFinished(kOneTick));
}

// A window is woken instead of waiting for its next tick: once when the question waits (asked
// then by askNow, which does not advance the display tick), and once when the run has ended.
TEST_P(QuestionAtStop, TheOwnerIsWokenForTheQuestionAndAtTheEnd) {
    auto engine = makeRun();
    engine->setPauses({0ms, 0ms, 50ms});
    std::atomic<int> wakes{0};
    engine->setOwnerWake([&wakes] { ++wakes; });
    ASSERT_TRUE(engine->start());
    ASSERT_TRUE(waitForQuestion(*engine));
    EXPECT_EQ(wakes.load(), 1);
    // Each question is answered Cancel by the scripted operator; some runs go on to the next.
    const auto deadline = Clock::now() + 2s;
    while (!engine->finished() && Clock::now() < deadline) {
        engine->askNow();
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(engine->waitFinished(1s));
    engine->askNow();
    const size_t asked = op.questions.size() + op.boxes.size() + op.prompts.size();
    EXPECT_GE(asked, 1u);
    EXPECT_EQ(wakes.load(), static_cast<int>(asked) + 1);
    EXPECT_EQ(op.fields.count(TransferField::Speed), 0u);  // no display tick ran
}

TEST_P(QuestionAtStop, CancelAnswersTheOpenQuestionWithCancel) {
    auto engine = makeRun();
    engine->setPauses({0ms, 0ms, 50ms});
    ASSERT_TRUE(engine->start());
    ASSERT_TRUE(waitForQuestion(*engine));
    EXPECT_TRUE(engine->cancel());
    EXPECT_TRUE(engine->waitFinished(kOneTick));
    EXPECT_FALSE(engine->succeeded());
}

// The operator's box is open (the owner's thread is inside it) when the window goes: the
// worker gets Cancel at once, and the operator's late answer is dropped.
TEST_P(QuestionAtStop, AnAnswerGivenAfterTheStopIsDropped) {
    auto engine = makeRun();
    engine->setPauses({0ms, 0ms, 50ms});
    bool stoppedInsideTheBox = false;
    op.whileAsking = [&] {
        engine->requestStop();
        stoppedInsideTheBox = engine->waitFinished(kOneTick);
    };
    op.answers = {IDYES};
    op.confirmations = {true};
    op.newNames = {std::string("OTHER.PM")};
    ASSERT_TRUE(engine->start());
    ASSERT_TRUE(testing::runToEnd(*engine));
    EXPECT_TRUE(stoppedInsideTheBox);
    EXPECT_FALSE(engine->succeeded());
    EXPECT_TRUE(engine->completedFiles().empty());
    EXPECT_EQ(client.transferState(), TransferState::Idle);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRunAndForm, QuestionAtStop,
    ::testing::Values(OpenQuestion{Run::Receive, Form::Ask, "ReceiveAsk"},
                      OpenQuestion{Run::Receive, Form::Confirm, "ReceiveConfirm"},
                      OpenQuestion{Run::Receive, Form::NewName, "ReceiveNewName"},
                      OpenQuestion{Run::Send, Form::Ask, "SendAsk"},
                      OpenQuestion{Run::Send, Form::Confirm, "SendConfirm"},
                      OpenQuestion{Run::Send, Form::NewName, "SendNewName"},
                      OpenQuestion{Run::Btr, Form::Ask, "BtrAsk"},
                      OpenQuestion{Run::Btr, Form::Confirm, "BtrConfirm"}),
    [](const ::testing::TestParamInfo<OpenQuestion>& info) { return info.param.name; });

// ---- a stop while the worker waits on the link ----

TEST(EngineStop, RequestStopOnADataIoWaitReturnsAtOnceAndTheTickDisconnectsAfterTheGrace) {
    FakeLink link;
    WatchedLink watched(link);
    std::atomic<bool> disconnected{false};
    std::atomic<bool> waiting{false};
    // The first block never comes: the DataIO receive waits until the link goes.
    watched.beforeListen = [&] {
        waiting = true;
        while (!disconnected) std::this_thread::sleep_for(1ms);
    };
    watched.afterDisconnect = [&] { disconnected = true; };
    link.listens = {failure(DNC_ERR_ENDED)};
    CncClient tape(linkOfType(DNC_LINK_DATAIO_XONXOFF), 0, watched);
    ScriptedOperator op;
    TempFolder folder;
    DownloadEngine engine(tape, op, {"*"}, 0, folder.str());
    engine.setPauses({0ms, 0ms, 20ms});
    ASSERT_TRUE(engine.start());
    while (!waiting) std::this_thread::sleep_for(1ms);

    const auto before = Clock::now();
    engine.requestStop();
    EXPECT_LT(Clock::now() - before, 10ms);
    engine.tick();
    EXPECT_FALSE(disconnected);  // within the grace time the worker may end on its own
    std::this_thread::sleep_for(30ms);
    engine.tick();
    EXPECT_TRUE(disconnected);
    EXPECT_TRUE(engine.waitFinished(kOneTick));
    EXPECT_EQ(engine.status(), XS_STOPPING);
    EXPECT_TRUE(folder.entries().empty());
}

TEST(EngineStop, CancelReachesABehindTapeReaderRunWhileTheMachineWorks) {
    FakeLink link;
    WatchedLink watched(link);
    CncClient client(linkOfType(DNC_LINK_RXA2), 0, watched);
    ScriptedOperator op;
    TempFolder folder;
    folder.write("PROG1.PM", std::string(250, 'x'));
    folder.write("PROG2.PM", "y");
    link.replies = {reply("M RR")};
    // The machine is busy: every wait for "T NB" times out, until Cancel is seen.
    std::atomic<bool> waiting{false};
    watched.beforeListen = [&] {
        waiting = true;
        std::this_thread::sleep_for(2ms);
    };
    for (int i = 0; i < 200; ++i) link.listens.push_back(failure(DNC_ERR_TIMEOUT));
    BtrEngine engine(client, op, {"PROG1.PM", "PROG2.PM"}, folder.str());
    engine.setEndPause(0ms);
    ASSERT_TRUE(engine.start());
    while (!waiting) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(engine.cancel());
    ASSERT_TRUE(testing::runToEnd(engine));
    EXPECT_EQ(engine.status(), XS_STOPPING);
    EXPECT_FALSE(engine.succeeded());
    EXPECT_EQ(engine.problem(), "cancelled");
    EXPECT_EQ(link.sentTexts().back(), "T BD");
    EXPECT_TRUE(op.questions.empty());
    // Every progress window opened was closed again.
    EXPECT_EQ(op.windows, (std::vector<bool>{true, false}));
}

// ---- the display ----

// Records every display call with the thread it came on.
class ThreadCheckingOperator final : public ScriptedOperator {
  public:
    std::thread::id owner = std::this_thread::get_id();
    std::atomic<int> foreignCalls{0};
    Texts trail;  // "F:name", "A:amount", "S:status"

    void statusChanged(int status, std::string_view text) override {
        check();
        trail.push_back("S:" + std::to_string(status));
        ScriptedOperator::statusChanged(status, text);
    }
    void fieldChanged(TransferField field, std::string_view text) override {
        check();
        if (field == TransferField::FileName) trail.push_back("F:" + std::string(text));
        if (field == TransferField::Amount) trail.push_back("A:" + std::string(text));
        ScriptedOperator::fieldChanged(field, text);
    }
    void beep() override {
        check();
        trail.push_back("beep");
        ScriptedOperator::beep();
    }

  private:
    void check() {
        if (std::this_thread::get_id() != owner) ++foreignCalls;
    }
};

TEST(EngineDisplay, OnlyTheOwnersTickShowsAndEveryFileIsSeenInOrder) {
    FakeLink link;
    CncClient client(linkOfType(DNC_LINK_RXA2), 0, link);
    ThreadCheckingOperator op;
    TempFolder folder;
    link.replies = {reply("M RT"), reply("R PMone"), reply("R PMmore"), reply("T FD"),
                    reply("M RT"), reply("R PMtwo"), reply("T FD")};
    DownloadEngine engine(client, op, {"PROG1.PM", "PROG2.PM"}, 0, folder.str());
    engine.setPauses({0ms, 0ms, 50ms});
    ASSERT_TRUE(engine.start());
    // No tick: the worker runs to its end and nothing reaches the operator meanwhile.
    ASSERT_TRUE(engine.waitFinished(2s));
    EXPECT_TRUE(op.trail.empty());
    engine.tick();
    EXPECT_EQ(op.foreignCalls, 0);
    // One tick after the whole run: each file's name and final amount, the statuses between,
    // in the order they were made; the amounts of one file are folded into the last.
    const Texts expected{"S:1", "S:2",        "S:3",    "F:PROG1.PM", "A:0.01", "S:2",
                         "S:3", "F:PROG2.PM", "A:0.00", "S:99",       "beep"};
    EXPECT_EQ(op.trail, expected);
    EXPECT_TRUE(engine.succeeded());
}

TEST(DisplayChanges, ARepeatedValueReplacesItsEarlierChangeUntilSomethingNewStarts) {
    DisplayChanges changes;
    changes.add(DisplayChange::fieldText(TransferField::FileName, "A.PM"));
    changes.add(DisplayChange::fieldText(TransferField::Amount, "1"));
    changes.add(DisplayChange::progress(10, true));
    changes.add(DisplayChange::fieldText(TransferField::Amount, "2"));
    changes.add(DisplayChange::progress(20, true));
    changes.add(DisplayChange::fieldText(TransferField::FileName, "B.PM"));
    changes.add(DisplayChange::fieldText(TransferField::Amount, "3"));
    changes.add(DisplayChange::progressWindow(false));
    changes.add(DisplayChange::progressWindow(true));
    const std::vector<DisplayChange> taken = changes.take();
    Texts seen;
    for (const DisplayChange& change : taken) {
        if (change.kind == DisplayChange::Kind::Progress)
            seen.push_back("%" + std::to_string(change.value));
        else if (change.kind == DisplayChange::Kind::ProgressWindow)
            seen.push_back(change.flag ? "shown" : "gone");
        else
            seen.push_back(change.text);
    }
    EXPECT_EQ(seen, (Texts{"A.PM", "2", "%20", "B.PM", "3", "gone", "shown"}));
    EXPECT_TRUE(changes.take().empty());
    // After a take nothing old is replaced: the next amount queues anew.
    changes.add(DisplayChange::fieldText(TransferField::Amount, "4"));
    ASSERT_EQ(changes.take().size(), 1u);
}

}  // namespace
}  // namespace qel
