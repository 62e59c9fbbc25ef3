#include "ui/BuildProgress.h"

#include "ui/StringResources.h"
#include "ui_BuildProgress.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
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
    const int previous = m_state.Advance();
    UpdateBar();
    ShowPercent(previous + m_state.StepSize());
    ++m_stepsTaken;
    ShowFile();
    return previous;
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

void CBuildProgress::SetFiles(const QStringList& paths, int leadingSteps) {
    m_files = paths;
    m_leadingSteps = leadingSteps;
    m_stepsTaken = 0;
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
    const int count = static_cast<int>(m_files.size());
    const int index = std::clamp(m_stepsTaken - m_leadingSteps, 0, count - 1);
    const QString& path = m_files[index];
    m_ui->IDC_FILE->setText(QStringLiteral("Merging file %1 of %2: %3")
                                .arg(index + 1)
                                .arg(count)
                                .arg(QFileInfo(path).fileName()));
    m_ui->IDC_FILE->setToolTip(path);
}

} // namespace fennick
