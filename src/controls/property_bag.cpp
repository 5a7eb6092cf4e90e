#include "property_bag.h"

namespace controls {

qsizetype PropertyBag::indexOf(const QString& name) const {
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].first.compare(name, Qt::CaseInsensitive) == 0) {
            return static_cast<qsizetype>(i);
        }
    }
    return -1;
}

void PropertyBag::writeProperty(const QString& name, const QVariant& value) {
    const qsizetype index = indexOf(name);
    if (index >= 0) {
        m_entries[static_cast<std::size_t>(index)].second = value;
    } else {
        m_entries.emplace_back(name, value);
    }
}

QVariant PropertyBag::readProperty(const QString& name, const QVariant& defaultValue) const {
    const qsizetype index = indexOf(name);
    return index >= 0 ? m_entries[static_cast<std::size_t>(index)].second : defaultValue;
}

bool PropertyBag::removeProperty(const QString& name) {
    const qsizetype index = indexOf(name);
    if (index < 0) {
        return false;
    }
    m_entries.erase(m_entries.begin() + index);
    return true;
}

QStringList PropertyBag::names() const {
    QStringList result;
    result.reserve(size());
    for (const auto& entry : m_entries) {
        result.append(entry.first);
    }
    return result;
}

}  // namespace controls
