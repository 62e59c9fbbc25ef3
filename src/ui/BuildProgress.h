#pragma once
// CBuildProgress: the small modeless window shown while a merge runs, and the progress meter the engine
// drives. It shows a caption, a bar and a percentage, offers Cancel, and keeps the program responsive by
// processing pending events whenever the engine steps it or asks about cancellation. While it is open, the
// window that owns it is disabled.
//
// Given the list of files the engine checks or appends, a label above the bar names the one at hand
// ("Checking file 2 of 5: roads.shp", "Merging file 2 of 5: roads.shp"), moving on with each of the engine's
// steps; the label, bar and percentage are painted as they change, not at the next step. Beside the meter,
// ShowRecords moves the bar within a file's step as its records are appended, a few times a second at most;
// the percentage is always the bar's.
//
// When no window could be opened, the meter still counts and answers cancellation (which then only comes
// from CancelRequest), so the caller may go on without a display.

#include "data/IProgressMeter.h"
#include "ui/ProgressMeterState.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace Ui {
class CBuildProgress;
}

namespace fennick {

class CBuildProgress : public QDialog, public IProgressMeter {
    Q_OBJECT

public:
    // captionId names the string resource shown as the window's caption. No window is opened yet.
    explicit CBuildProgress(unsigned captionId);
    ~CBuildProgress() override;

    // Opens the window modelessly and disables the top-level window of parent while it is open. Returns
    // false, leaving the owner enabled, when the window cannot be opened.
    bool CreateModeless(QWidget* parent);
    // Closes the window and enables the owner again when this window disabled it.
    bool DestroyWindow();
    bool HasWindow() const { return m_windowOpen; }

    void SetBarRange(int lower, int upper);
    // Returns the previous step.
    int SetBarStep(int step);
    // Processes pending events, moves the bar and shows the percentage; returns the previous position.
    int SetBarPosition(int position);

    // IProgressMeter: processes pending events, advances the bar by the step and shows the percentage of the
    // previous position plus the step; returns the previous position.
    int Step() override;
    // IProgressMeter: processes pending events, then answers and clears the cancel request.
    int IsCancelled() override;

    // What Cancel, Enter, Escape and the close box do: record the request for the next IsCancelled.
    void CancelRequest();
    // True once IsCancelled has answered a request: the job ended because the user asked it to.
    bool CancelDelivered() const { return m_cancelDelivered; }

    // The files the engine appends, in order, and the steps it takes before appending the first (an engine
    // that checks its inputs inside the merge steps once for the check). Shows the label naming the first.
    enum class EPhase { Checking, Merging };
    // Checking: the engine steps after each file it compares with the first, so the second file is named
    // first.
    void SetFiles(const QStringList& paths, int leadingSteps = 0, EPhase phase = EPhase::Merging);
    // The records done of file (from 0, in SetFiles' list) out of total: the bar moves that far into the
    // file's step, and the label names the file. Shown at most every kRecordsInterval ms.
    void ShowRecords(int file, int64_t done, int64_t total);
    static constexpr int kRecordsInterval = 250;
    QString FileLabelText() const;

    const CProgressMeterState& State() const { return m_state; }
    QString PercentLabelText() const;

protected:
    // Shows the window; false when it could not be opened. A seam for tests.
    virtual bool OpenWindow();
    // Writes the percentage label; called only when the text changes.
    virtual void SetPercentLabel(const QString& text);

    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void InitDialog();
    void ShowPercent(int position);
    void UpdateBar();
    void PumpEvents();
    void ShowFile();
    void ShowFileAt(int index);

    std::unique_ptr<Ui::CBuildProgress> m_ui;
    unsigned m_captionId;
    CProgressMeterState m_state;
    QPointer<QWidget> m_owner;
    bool m_ownerDisabled = false;
    bool m_windowOpen = false;
    bool m_cancelDelivered = false;
    QStringList m_files;
    int m_leadingSteps = 0;
    int m_stepsTaken = 0; // since SetFiles
    EPhase m_phase = EPhase::Merging;
    // Once records were shown, a step ends at its file's end rather than a step past the bar's position.
    bool m_snapSteps = false;
    QElapsedTimer m_recordsShown;
};

} // namespace fennick
