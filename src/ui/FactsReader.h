#pragma once
// CFactsReader: reads the listed files' facts and judges their fit on a thread of its own, so that the main
// window keeps answering while large files or slow disks are read. Requests queue up in order; a fit asked
// in a generation older than the latest one asked is skipped unread. Answers come back to the receiver's
// thread through the callbacks, which run there.

#include "merge/LayerFacts.h"
#include "ui/FileFactsModel.h"
#include "ui/MergeOptions.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>

namespace fennick {

// The fit of path to first under options, by the engine's own check: the first difference as the merge
// reports it, a note when the check warns.
struct SFitAnswer {
    EFileFit fit = EFileFit::Unknown;
    QString reason;
};
SFitAnswer CheckFit(const QString& first, const QString& path, const SMergeOptions& options);

class CFactsReader : public QObject {
    Q_OBJECT

public:
    // receiver: the object the answers are delivered to (on its thread); they stop when it is gone.
    explicit CFactsReader(CFileFactsModel& receiver);
    ~CFactsReader() override;

    // Connects the model's requests to this reader.
    void Serve();
    // Runs job on the reader's thread, after the requests queued before it (the map's reads).
    void Run(std::function<void()> job);

    // How a file's facts are read (ReadLayerFacts); set before the first request.
    std::function<SLayerFacts(const std::u16string&)> m_read;

private:
    void ReadFacts(const QString& path);
    void JudgeFit(uint64_t generation, const QString& first, const QString& path,
                  const SMergeOptions& options);

    CFileFactsModel& m_model;
    QThread m_thread;
    QObject* m_worker; // lives on m_thread; deleted there when it ends
    std::atomic<uint64_t> m_latest{0};
};

} // namespace fennick
