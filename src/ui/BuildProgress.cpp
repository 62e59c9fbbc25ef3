#include "ui/BuildProgress.h"

#include "ui/StringResources.h"
#include "ui_BuildProgress.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QWindow>

#include <algorithm>

namespace fennick {

namespace {

// The bar holds 16-bit bounds; the stored 32-bit bounds are used for the percentage.
int BarValue(int value) {
    return std::clamp(value, 0, 65535);
}

} // namespace

CBuildProgress::CBuildProgress(unsigned captionId)
    : m_ui(std::make_unique<Ui::CBuildProgress>()), m_captionId(captionId) {
    m_ui->setupUi(this);
    connect(m_ui->IDCANCEL, &QPushButton::clicked, this, &CBuildProgress::CancelRequest);
}

CBuildProgress::~CBuildProgress() {
    DestroyWindow();
}

bool CBuildProgress::CreateModeless(QWidget* parent) {
    QWidget* owner = parent ? parent->window() : nullptr;
    m_owner = owner;
    // The window is not a Qt child of the owner, which would disable it together with the owner; it stays
    // above the owner as its transient window instead.
    if (owner && owner->isEnabled()) {
        owner->setEnabled(false);
        m_ownerDisabled = true;
    }
    InitDialog();
    if (!OpenWindow()) {
        if (m_ownerDisabled && m_owner)
            m_owner->setEnabled(true);
        m_ownerDisabled = false;
        m_windowOpen = false;
        return false;
    }
    m_windowOpen = true;
    if (owner && owner->windowHandle() && windowHandle())
        windowHandle()->setTransientParent(owner->windowHandle());
    return true;
}

bool CBuildProgress::OpenWindow() {
    show();
    return isVisible();
}

void CBuildProgress::InitDialog() {
    // The values current at creation; callers set their own range and step afterwards.
    UpdateBar();
    m_ui->IDC_PROGRESS->setValue(BarValue(m_state.Lower()));
    setWindowTitle(LoadResourceString(m_captionId));
}

bool CBuildProgress::DestroyWindow() {
    if (m_ownerDisabled && m_owner)
        m_owner->setEnabled(true);
    m_ownerDisabled = false;
    const bool wasOpen = m_windowOpen;
    m_windowOpen = false;
    if (wasOpen)
        hide();
    return wasOpen;
}

void CBuildProgress::SetBarRange(int lower, int upper) {
    m_state.SetRange(lower, upper);
    UpdateBar();
}

int CBuildProgress::SetBarStep(int step) {
    return m_state.SetStep(step);
}

int CBuildProgress::SetBarPosition(int position) {
    PumpEvents();
    const int previous = m_state.SetPosition(position);
    UpdateBar();
    ShowPercent(position);
    return previous;
}

int CBuildProgress::Step() {
    PumpEvents();
    int previous = m_state.Position();
    if (m_snapSteps) {
        const int span = m_state.StepSize();
        const int stepsDone = span > 0 ? (previous - m_state.Lower()) / span + 1 : 0;
        m_state.SetPosition(m_state.Lower() + stepsDone * span);
        ShowPercent(m_state.Position());
        m_stepsTaken = stepsDone - 1; // the records showed which file the engine was at
    } else {
        previous = m_state.Advance();
        ShowPercent(previous + m_state.StepSize());
    }
    UpdateBar();
    ++m_stepsTaken;
    ShowFile();
    // What changed is painted now, while the engine works on the next file.
    PumpEvents();
    return previous;
}

void CBuildProgress::ShowRecords(int file, int64_t done, int64_t total) {
    if (m_recordsShown.isValid() && m_recordsShown.elapsed() < kRecordsInterval)
        return;
    m_recordsShown.start();
    m_snapSteps = true;
    const int span = m_state.StepSize();
    const int64_t part = total > 0 ? std::clamp<int64_t>(done, 0, total) * span / total : 0;
    const int position = m_state.Lower() + (m_leadingSteps + file) * span + static_cast<int>(part);
    m_state.SetPosition(position);
    UpdateBar();
    ShowPercent(m_state.Position());
    ShowFileAt(file);
    PumpEvents();
}

int CBuildProgress::IsCancelled() {
    PumpEvents();
    if (!m_state.TakeCancelRequest())
        return 0;
    m_cancelDelivered = true;
    return 1;
}

void CBuildProgress::CancelRequest() {
    // The window stays open; the engine sees the request the next time it asks.
    m_state.RequestCancel();
}

QString CBuildProgress::PercentLabelText() const {
    return m_ui->IDC_PERCENT->text();
}

void CBuildProgress::SetPercentLabel(const QString& text) {
    m_ui->IDC_PERCENT->setText(text);
}

void CBuildProgress::reject() {
    CancelRequest();
}

void CBuildProgress::closeEvent(QCloseEvent* event) {
    event->ignore();
    CancelRequest();
}

void CBuildProgress::ShowPercent(int position) {
    const QString text = m_state.PercentText(position);
    // An unchanged text is not written again, so the label does not flicker.
    if (m_ui->IDC_PERCENT->text() != text)
        SetPercentLabel(text);
}

void CBuildProgress::UpdateBar() {
    QProgressBar* bar = m_ui->IDC_PROGRESS;
    bar->setRange(BarValue(m_state.Lower()), BarValue(m_state.Upper()));
    bar->setValue(std::clamp(BarValue(m_state.Position()), bar->minimum(), bar->maximum()));
}

void CBuildProgress::PumpEvents() {
    // The merge runs on this thread: painting and the Cancel button work only while events are processed.
    if (m_windowOpen)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CBuildProgress::SetFiles(const QStringList& paths, int leadingSteps, EPhase phase) {
    m_files = paths;
    m_leadingSteps = leadingSteps;
    m_phase = phase;
    m_stepsTaken = 0;
    m_snapSteps = false;
    m_recordsShown.invalidate();
    m_ui->IDC_FILE->setVisible(!m_files.isEmpty());
    ShowFile();
}

QString CBuildProgress::FileLabelText() const {
    return m_ui->IDC_FILE->text();
}

void CBuildProgress::ShowFile() {
    if (m_files.isEmpty())
        return;
    // The engine steps after each file is appended; once the last is in, it stays named while the output is
    // finished.
    const int checking = m_phase == EPhase::Checking ? 1 : 0;
    ShowFileAt(m_stepsTaken - m_leadingSteps + checking);
}

void CBuildProgress::ShowFileAt(int index) {
    if (m_files.isEmpty())
        return;
    const int count = static_cast<int>(m_files.size());
    index = std::clamp(index, 0, count - 1);
    const QString& path = m_files[index];
    const QString text = m_phase == EPhase::Checking ? QStringLiteral("Checking file %1 of %2: %3")
                                                     : QStringLiteral("Merging file %1 of %2: %3");
    m_ui->IDC_FILE->setText(
        text.arg(QLocale().toString(index + 1), QLocale().toString(count), QFileInfo(path).fileName()));
    m_ui->IDC_FILE->setToolTip(path);
}

} // namespace fennick
