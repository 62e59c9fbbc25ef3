#include "ui/FactsReader.h"

#include "merge/ShpMerge.h"
#include "platform/Exceptions.h"

#include <QFileInfo>

#include <new>

namespace fennick {

namespace {

// The engine's text with the two files named by their names alone, the row saying which folder; without
// the leading name of the file the row is about.
QString Shortened(QString text, const QString& first, const QString& path) {
    const QString pathName = QFileInfo(path).fileName();
    for (const QString& file :
         first.size() > path.size() ? QStringList{first, path} : QStringList{path, first})
        text.replace(file, QFileInfo(file).fileName());
    const QString lead = pathName + QStringLiteral(": ");
    if (text.startsWith(lead))
        text.remove(0, lead.size());
    return text.trimmed();
}

} // namespace

SFitAnswer CheckFit(const QString& first, const QString& path, const SMergeOptions& options) {
    const auto answer = [&](EFileFit fit, const QString& reason) {
        return SFitAnswer{fit, Shortened(reason, first, path)};
    };
    try {
        CShpMerge merge;
        merge.AddFile(first.toStdU16String());
        merge.AddFile(path.toStdU16String());
        options.ApplyTo(merge);
        merge.Check(nullptr);
        if (merge.Warnings().empty())
            return {EFileFit::Fits, QString()};
        return answer(EFileFit::Warns, QString::fromStdU16String(merge.Warnings().front()));
    } catch (const CException& error) {
        char16_t buffer[520];
        QString reason = error.GetErrorMessage(buffer, 520) ? QString::fromUtf16(buffer) : QString();
        if (const std::u16string detail = error.Detail(); !detail.empty())
            reason += u' ' + QString::fromStdU16String(detail);
        return answer(EFileFit::Unfit, reason);
    } catch (const std::bad_alloc&) {
        return {EFileFit::Unfit, QString::fromStdU16String(CMemoryException().Message())};
    }
}

CFactsReader::CFactsReader(CFileFactsModel& receiver)
    : m_read(ReadLayerFacts), m_model(receiver), m_worker(new QObject) {
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("facts reader"));
    m_thread.start(QThread::LowPriority);
}

CFactsReader::~CFactsReader() {
    // Fits still queued are skipped; a file being read is finished first.
    m_latest = UINT64_MAX;
    m_thread.quit();
    m_thread.wait();
}

void CFactsReader::Serve() {
    connect(&m_model, &CFileFactsModel::FactsWanted, this, &CFactsReader::ReadFacts);
    connect(&m_model, &CFileFactsModel::FitWanted, this, &CFactsReader::JudgeFit);
}

void CFactsReader::Run(std::function<void()> job) {
    QMetaObject::invokeMethod(m_worker, std::move(job), Qt::QueuedConnection);
}

void CFactsReader::ReadFacts(const QString& path) {
    QMetaObject::invokeMethod(
        m_worker,
        [this, path, read = m_read, model = &m_model] {
            const SLayerFacts facts = read(path.toStdU16String());
            QMetaObject::invokeMethod(
                model, [model, facts] { model->SetFacts(facts); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void CFactsReader::JudgeFit(uint64_t generation, const QString& first, const QString& path,
                            const SMergeOptions& options) {
    m_latest = generation;
    QMetaObject::invokeMethod(
        m_worker,
        [this, generation, first, path, options, model = &m_model] {
            if (generation < m_latest)
                return;
            const SFitAnswer answer = CheckFit(first, path, options);
            QMetaObject::invokeMethod(
                model, [=] { model->SetFit(generation, path, answer.fit, answer.reason); },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

} // namespace fennick
