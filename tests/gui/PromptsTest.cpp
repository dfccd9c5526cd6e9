// The shared prompts and controls as windows: the question box's buttons for every flag word,
// the text input, Quick View and the file animation.
#include "panes/ui/CFileAnimation.h"
#include "panes/ui/CRStrDlg.h"
#include "panes/ui/CRequestDlg.h"
#include "panes/ui/CShowDlg.h"
#include "panes/ui/Prompter.h"
#include "shell/ui/CAboutDlg.h"
#include "shell/ui/CSplashWnd.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace qel;
using namespace qel::ui;

class PromptsTest : public QObject {
    Q_OBJECT

  private:
    static QPushButton* button(QDialog& box, int id) {
        return box.findChild<QPushButton*>(QStringLiteral("c%1").arg(id));
    }
    // "YANCHO" with "-" for hidden buttons, as the box would show them.
    static QString shown(CRequestDlg& box) {
        QString text;
        const std::pair<int, char> buttons[] = {
            {CRequestDlg::IDC_YES, 'Y'},  {CRequestDlg::IDC_YESTOALL, 'A'},
            {CRequestDlg::IDC_NO, 'N'},   {CRequestDlg::IDC_CANCEL, 'C'},
            {CRequestDlg::IDC_HELP, 'H'}, {CRequestDlg::IDC_OK, 'O'}};
        for (const auto& [id, letter] : buttons) {
            text += button(box, id)->isVisibleTo(&box) ? QChar(letter) : QChar('-');
        }
        return text;
    }
    // Presses the button (or key) once the box is up, then returns what Ask gave.
    static uint32_t answer(uint32_t flags, std::function<void(CRequestDlg&)> press) {
        CRequestDlg box;
        QTimer::singleShot(0, &box, [&] { press(box); });
        return box.Ask(QStringLiteral("Replace the file?"), flags);
    }

  private slots:
    void requestButtonsFollowTheFlagWord_data() {
        QTest::addColumn<uint>("flags");
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<int>("focused");
        QTest::newRow("replace") << 0x4000Fu << "YANC--" << int(CRequestDlg::IDC_YES);
        QTest::newRow("ok hides yes") << 0x23u << "-----O" << int(CRequestDlg::IDC_OK);
        QTest::newRow("help for cancel") << 0x18u << "----H-" << 0;
        QTest::newRow("ok and cancel") << 0x10028u << "---C-O" << int(CRequestDlg::IDC_OK);
    }
    void requestButtonsFollowTheFlagWord() {
        QFETCH(uint, flags);
        QFETCH(QString, buttons);
        QFETCH(int, focused);
        CRequestDlg box;
        box.prepare(QStringLiteral("text"), flags);
        QCOMPARE(shown(box), buttons);
        if (focused != 0) QVERIFY(button(box, focused)->isDefault());
    }

    void requestAnswersAreTheButtonsResults() {
        QCOMPARE(
            answer(0x4000F, [](CRequestDlg& b) { button(b, CRequestDlg::IDC_YESTOALL)->click(); }),
            IDYESTOALL);
        QCOMPARE(answer(0x4000F, [](CRequestDlg& b) { button(b, CRequestDlg::IDC_NO)->click(); }),
                 IDNO);
        QCOMPARE(answer(0x10020, [](CRequestDlg& b) { button(b, CRequestDlg::IDC_OK)->click(); }),
                 IDOK);
        // Escape is Cancel, also when no Cancel button is shown.
        QCOMPARE(answer(0x10020, [](CRequestDlg& b) { QTest::keyClick(&b, Qt::Key_Escape); }),
                 IDCANCEL);
        QCOMPARE(answer(0x20006, [](CRequestDlg& b) { b.close(); }), IDCANCEL);
    }

    void aPresetAnswerIsTakenWithoutAWindow() {
        Prompter prompter;
        prompter.presetAnswers({IDNO});
        QCOMPARE(prompter.ask(nullptr, QStringLiteral("Go on?"), 0x20006), IDNO);
        QCOMPARE(prompter.asked(), QStringList{QStringLiteral("Go on?")});
    }

    void theTextInputStartsWithItsValueSelected() {
        CRStrDlg input;
        input.setPrompt(QStringLiteral("Select files:"));
        input.setValue(QStringLiteral("*.*"));
        QTimer::singleShot(0, &input, [&] {
            auto* edit = input.findChild<QLineEdit*>(QStringLiteral("c1072"));
            QCOMPARE(edit->selectedText(), QStringLiteral("*.*"));
            QCOMPARE(edit->accessibleName(), QStringLiteral("Select files"));
            QTest::keyClicks(edit, QStringLiteral("*.PM"));
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QCOMPARE(input.exec(), int(QDialog::Accepted));
        QCOMPARE(input.value(), QStringLiteral("*.PM"));

        input.setValue(QStringLiteral("kept"));
        QTimer::singleShot(0, &input, [&] { input.reject(); });
        input.exec();
        QCOMPARE(input.value(), QStringLiteral("kept"));  // Cancel leaves the value
    }

    void quickViewShowsTheTextAsReceived() {
        CShowDlg view;
        view.setCaptionLine(QStringLiteral("PROG1.PM"));
        view.append(QStringLiteral("%\r\nN10 G0\r\n"));
        view.append(QStringLiteral("N20\n"));
        QCOMPARE(view.body(), QStringLiteral("%\r\nN10 G0\r\nN20\n"));
    }

    void theAnimationDrawsItsFramesOffScreen() {
        CFileAnimation animation;
        QCOMPARE(animation.size(), QSize(260, 40));
        const QImage closed = animation.frame().toImage();
        QVERIFY(!closed.isNull());
        for (int i = 0; i < 4; ++i) animation.Advance();
        QCOMPARE(animation.step(), 4u);
        // The sheet has left the folder: the frame differs.
        QVERIFY(animation.frame().toImage() != closed);
    }

    void theSplashShowsOnlyWhenAskedAndGoesAfterItsTime() {
        QWidget owner;
        QCOMPARE(CSplashWnd::ShowSplashScreen(&owner, false), nullptr);
        QPointer<CSplashWnd> splash = CSplashWnd::ShowSplashScreen(&owner, true);
        QVERIFY(splash);
        QVERIFY(splash->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(splash.isNull(), 2000);
    }

    void theAboutBoxTellsMemoryAndSystem() {
        CAboutDlg about;
        QVERIFY(about.freeMemoryText().endsWith(QStringLiteral(" KB")));
        QVERIFY(about.systemVersionText().contains(QStringLiteral("  v")));
        QCOMPARE(about.windowTitle(), QStringLiteral("About QelVeva"));
    }
};

QTEST_MAIN(PromptsTest)
#include "PromptsTest.moc"
