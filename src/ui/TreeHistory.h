#pragma once
// CTreeHistory: the back and forward lists of the file tree's caret. Entries are full paths, not tree items,
// so that rebuilding the tree (which recreates every item) leaves no entry pointing at a deleted item; an
// entry whose path can no longer be selected is dropped when Back or Forward reaches it.

#include <QString>
#include <QStringList>

namespace fennick {

class CTreeHistory {
public:
    // The caret moved away from previous: the back list gains it, losing its oldest entry first when it
    // already holds more than the limit (so it holds at most limit + 1 entries).
    void Record(const QString& previous);

    bool CanGoBack() const { return !m_back.isEmpty(); }
    bool CanGoForward() const { return !m_forward.isEmpty(); }
    // Remove and return the newest entry of a list (empty when the list is empty).
    QString TakeBack();
    QString TakeForward();
    void PushBack(const QString& path);
    void PushForward(const QString& path);

    const QStringList& Back() const { return m_back; }
    const QStringList& Forward() const { return m_forward; }
    int Limit() const { return m_limit; }

private:
    QStringList m_back;
    QStringList m_forward;
    int m_limit = 20;
};

} // namespace fennick
