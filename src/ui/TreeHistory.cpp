#include "ui/TreeHistory.h"

namespace fennick {

void CTreeHistory::Record(const QString& previous) {
    if (m_back.size() > m_limit)
        m_back.removeFirst();
    m_back.append(previous);
}

QString CTreeHistory::TakeBack() {
    return m_back.isEmpty() ? QString() : m_back.takeLast();
}

QString CTreeHistory::TakeForward() {
    return m_forward.isEmpty() ? QString() : m_forward.takeLast();
}

void CTreeHistory::PushBack(const QString& path) {
    m_back.append(path);
}

void CTreeHistory::PushForward(const QString& path) {
    m_forward.append(path);
}

} // namespace fennick
