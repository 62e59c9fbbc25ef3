// The progress dialog: percentages, the cancel request, and the owner window that is disabled while the
// dialog is open and enabled again however the job ends.

#include "ui/BuildProgress.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <stdexcept>

using namespace fennick;

namespace {

// Counts the writes of the percentage label.
class CCountingProgress : public CBuildProgress {
public:
    CCountingProgress() : CBuildProgress(104) {}
    int writes = 0;

protected:
    void SetPercentLabel(const QString& text) override {
        ++writes;
        CBuildProgress::SetPercentLabel(text);
    }
};

// A progress dialog whose window cannot be opened.
class CWindowlessProgress : public CBuildProgress {
public:
    CWindowlessProgress() : CBuildProgress(104) {}

protected:
    bool OpenWindow() override { return false; }
};

enum class EOutcome { Success, Cancel, Failure };

// What the merge command does around the engine: open, configure, run, close in every case. The engine
// here copies nothing; it steps and asks as the merge loop does, and fails or is cancelled on request.
// Returns how the job ended.
QString RunMergeCommand(QWidget* parent, int files, EOutcome outcome) {
    CBuildProgress progress(104);
    progress.CreateModeless(parent);
    progress.SetBarRange(0, files);
    progress.SetBarStep(1);
    progress.SetBarPosition(0);
    try {
        QPushButton* cancel = progress.findChild<QPushButton*>(QStringLiteral("IDCANCEL"));
        if (outcome == EOutcome::Cancel)
            QMetaObject::invokeMethod(cancel, &QPushButton::click, Qt::QueuedConnection);
        progress.Step();
        for (int i = 1; i < files; ++i) {
            if (outcome == EOutcome::Failure && i == 1)
                throw std::runtime_error("Can't open file.");
            if (progress.IsCancelled())
                throw std::runtime_error("The action has been cancelled.");
            progress.Step();
        }
        progress.DestroyWindow();
        return QStringLiteral("merged");
    } catch (const std::exception& error) {
        progress.DestroyWindow();
        return QString::fromUtf8(error.what());
    }
}

} // namespace

class BuildProgressTest : public QObject {
    Q_OBJECT

private slots:
    void opensWithCaptionDefaultsAndDisabledOwner() {
        QDialog owner;
        owner.show();
        QWidget* child = new QWidget(&owner);
        CBuildProgress progress(104);
        QVERIFY(progress.CreateModeless(child));
        QCOMPARE(progress.windowTitle(), QStringLiteral("Merging files..."));
        QVERIFY(!owner.isEnabled());
        QVERIFY(progress.isEnabled());
        QVERIFY(progress.isVisible());
        auto* bar = progress.findChild<QProgressBar*>(QStringLiteral("IDC_PROGRESS"));
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(progress.PercentLabelText(), QStringLiteral(" 0 %"));
        QVERIFY(progress.DestroyWindow());
        QVERIFY(owner.isEnabled());
        QVERIFY(!progress.isVisible());
    }

    void rangeOfThreeShowsThirds() {
        CBuildProgress progress(104);
        QVERIFY(progress.CreateModeless(nullptr));
        progress.SetBarRange(0, 3);
        QCOMPARE(progress.SetBarStep(1), 10);
        QCOMPARE(progress.SetBarPosition(0), 0);
        QCOMPARE(progress.PercentLabelText(), QStringLiteral("0%"));
        auto* bar = progress.findChild<QProgressBar*>(QStringLiteral("IDC_PROGRESS"));
        const QStringList expected = {QStringLiteral("33%"), QStringLiteral("66%"), QStringLiteral("100%")};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(progress.Step(), i);
            QCOMPARE(progress.PercentLabelText(), expected[i]);
            QCOMPARE(bar->value(), i + 1);
        }
        QCOMPARE(bar->maximum(), 3);
    }

    void unchangedTextIsNotRewritten() {
        CCountingProgress progress;
        QVERIFY(progress.CreateModeless(nullptr));
        progress.SetBarRange(0, 1000);
        progress.SetBarStep(1);
        progress.SetBarPosition(0);
        QCOMPARE(progress.writes, 1);
        progress.SetBarPosition(0);
        progress.Step(); // 0.1 % truncates to 0 %
        progress.Step();
        QCOMPARE(progress.writes, 1);
        progress.SetBarPosition(10);
        QCOMPARE(progress.PercentLabelText(), QStringLiteral("1%"));
        QCOMPARE(progress.writes, 2);
    }

    void twoCancelPressesGiveOneRequest() {
        CBuildProgress progress(104);
        QVERIFY(progress.CreateModeless(nullptr));
        QVERIFY(QTest::qWaitForWindowExposed(&progress));
        auto* cancel = progress.findChild<QPushButton*>(QStringLiteral("IDCANCEL"));
        QTest::mouseClick(cancel, Qt::LeftButton);
        QTest::mouseClick(cancel, Qt::LeftButton);
        QCOMPARE(progress.IsCancelled(), 1);
        QCOMPARE(progress.IsCancelled(), 0);
        QVERIFY(progress.isVisible());
    }

    void cancelRequests_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("Escape") << 0;
        QTest::newRow("Enter") << 1;
        QTest::newRow("close box") << 2;
    }
    void cancelRequests() {
        QFETCH(int, way);
        CBuildProgress progress(104);
        QVERIFY(progress.CreateModeless(nullptr));
        QVERIFY(QTest::qWaitForWindowExposed(&progress));
        if (way == 0)
            QTest::keyClick(&progress, Qt::Key_Escape);
        else if (way == 1)
            QTest::keyClick(&progress, Qt::Key_Return);
        else
            progress.close();
        QCOMPARE(progress.IsCancelled(), 1);
        // The window stays open until its owner closes it.
        QVERIFY(progress.isVisible());
        QCOMPARE(progress.IsCancelled(), 0);
    }

    void pendingClickIsSeenWhenTheEngineAsks() {
        CBuildProgress progress(104);
        QVERIFY(progress.CreateModeless(nullptr));
        auto* cancel = progress.findChild<QPushButton*>(QStringLiteral("IDCANCEL"));
        QMetaObject::invokeMethod(cancel, &QPushButton::click, Qt::QueuedConnection);
        // Only the event processing inside the meter's calls delivers the click.
        QCOMPARE(progress.IsCancelled(), 1);
    }

    void ownerEnabledAfterEveryOutcome_data() {
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("ending");
        QTest::newRow("success") << static_cast<int>(EOutcome::Success) << "merged";
        QTest::newRow("cancel") << static_cast<int>(EOutcome::Cancel) << "The action has been cancelled.";
        QTest::newRow("failure") << static_cast<int>(EOutcome::Failure) << "Can't open file.";
    }
    void ownerEnabledAfterEveryOutcome() {
        QFETCH(int, outcome);
        QFETCH(QString, ending);
        QDialog owner;
        owner.show();
        QCOMPARE(RunMergeCommand(&owner, 3, static_cast<EOutcome>(outcome)), ending);
        QVERIFY(owner.isEnabled());
    }

    void ownerDisabledBeforeStaysDisabled() {
        QDialog owner;
        owner.setEnabled(false);
        CBuildProgress progress(104);
        QVERIFY(progress.CreateModeless(&owner));
        progress.DestroyWindow();
        QVERIFY(!owner.isEnabled());
    }

    void destructionEnablesTheOwner() {
        QDialog owner;
        {
            CBuildProgress progress(104);
            QVERIFY(progress.CreateModeless(&owner));
            QVERIFY(!owner.isEnabled());
        }
        QVERIFY(owner.isEnabled());
    }

    void withoutWindowTheMeterStillCountsAndCancels() {
        QDialog owner;
        CWindowlessProgress progress;
        QVERIFY(!progress.CreateModeless(&owner));
        QVERIFY(owner.isEnabled());
        QVERIFY(!progress.HasWindow());
        progress.SetBarRange(0, 2);
        progress.SetBarStep(1);
        progress.SetBarPosition(0);
        QCOMPARE(progress.Step(), 0);
        QCOMPARE(progress.Step(), 1);
        QCOMPARE(progress.State().Position(), 2);
        QCOMPARE(progress.IsCancelled(), 0);
        progress.CancelRequest();
        QCOMPARE(progress.IsCancelled(), 1);
        QVERIFY(!progress.DestroyWindow());
        QVERIFY(owner.isEnabled());
    }

    void stepPastTheRangeWrapsTheBarAndText() {
        CProgressMeterState state;
        state.SetRange(0, 4);
        state.SetStep(3);
        QCOMPARE(state.Advance(), 0);
        QCOMPARE(state.Advance(), 3);
        // 6 is past 4: the bar starts over from the lower bound.
        QCOMPARE(state.Position(), 2);
        QCOMPARE(state.PercentText(6), QStringLiteral("50%"));
        QCOMPARE(state.PercentText(4), QStringLiteral("100%"));
        QCOMPARE(state.SetPosition(9), 2);
        QCOMPARE(state.Position(), 4);
    }

    // The label names the file being appended: the engine steps once after each file, and an engine that
    // checks its inputs inside the merge steps once before the first; past the last file it stays named.
    void fileLabelFollowsTheEngineSteps_data() {
        QTest::addColumn<int>("leadingSteps");
        QTest::addColumn<QStringList>("labels"); // after 0, 1, 2 ... steps
        const QString first = QStringLiteral("Merging file 1 of 3: a.shp");
        const QString second = QStringLiteral("Merging file 2 of 3: b b.tab");
        const QString third = QStringLiteral("Merging file 3 of 3: c.shp");
        const QString checkSecond = QStringLiteral("Checking file 2 of 3: b b.tab");
        const QString checkThird = QStringLiteral("Checking file 3 of 3: c.shp");
        QTest::addColumn<bool>("checking");
        QTest::newRow("checked engine") << 0 << QStringList{first, second, third, third} << false;
        QTest::newRow("engine checking first")
            << 1 << QStringList{first, first, second, third, third} << false;
        QTest::newRow("the check") << 0 << QStringList{checkSecond, checkThird, checkThird} << true;
    }
    void fileLabelFollowsTheEngineSteps() {
        QFETCH(int, leadingSteps);
        QFETCH(QStringList, labels);
        QFETCH(bool, checking);
        CBuildProgress progress(104);
        QVERIFY(progress.CreateModeless(nullptr));
        auto* label = progress.findChild<QLabel*>(QStringLiteral("IDC_FILE"));
        QVERIFY(label && label->isHidden());
        progress.SetBarRange(0, 3 + leadingSteps);
        progress.SetBarStep(1);
        progress.SetFiles(
            {QStringLiteral("/data/a.shp"), QStringLiteral("/data/b b.tab"), QStringLiteral("/other/c.shp")},
            leadingSteps, checking ? CBuildProgress::EPhase::Checking : CBuildProgress::EPhase::Merging);
        QVERIFY(label->isVisible());
        for (qsizetype i = 0; i < labels.size(); ++i) {
            if (i > 0)
                progress.Step();
            QCOMPARE(progress.FileLabelText(), labels[i]);
        }
        QCOMPARE(label->toolTip(), QStringLiteral("/other/c.shp"));
    }

    // Records move the bar within their file's step, no more often than the interval allows; the
    // percentage is always the bar's, and the engine's step after a file ends at that file's end.
    void recordsMoveTheBarWithinTheFile() {
        CBuildProgress progress(104);
        QVERIFY(progress.CreateModeless(nullptr));
        auto* bar = progress.findChild<QProgressBar*>(QStringLiteral("IDC_PROGRESS"));
        progress.SetBarRange(0, 400);
        progress.SetBarStep(100);
        progress.SetBarPosition(0);
        progress.SetFiles({QStringLiteral("/d/a.shp"), QStringLiteral("/d/b.shp"), QStringLiteral("/d/c.shp"),
                           QStringLiteral("/d/d.shp")});
        const auto shown = [&] {
            return QStringLiteral("%1 %2 %3")
                .arg(bar->value())
                .arg(progress.PercentLabelText(), progress.FileLabelText());
        };
        progress.ShowRecords(0, 50, 200);
        QCOMPARE(shown(), QStringLiteral("25 6% Merging file 1 of 4: a.shp"));
        progress.ShowRecords(0, 150, 200); // too soon after the last
        QCOMPARE(shown(), QStringLiteral("25 6% Merging file 1 of 4: a.shp"));
        progress.Step();
        QCOMPARE(shown(), QStringLiteral("100 25% Merging file 2 of 4: b.shp"));
        QTest::qWait(CBuildProgress::kRecordsInterval + 20);
        progress.ShowRecords(3, 200, 400);
        QCOMPARE(shown(), QStringLiteral("350 87% Merging file 4 of 4: d.shp"));
        progress.Step();
        QCOMPARE(shown(), QStringLiteral("400 100% Merging file 4 of 4: d.shp"));
    }
};

QTEST_MAIN(BuildProgressTest)
#include "BuildProgressTest.moc"
