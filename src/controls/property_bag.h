#pragma once

// The saved form of a control: named values kept in the order they were first written. Names are
// matched without regard to case, so a form written by hand as "max" still finds "Max".

#include <QString>
#include <QStringList>
#include <QVariant>

#include <utility>
#include <vector>

namespace controls {

class PropertyBag {
public:
    // Writing a name that is already present replaces its value and keeps its place.
    void writeProperty(const QString& name, const QVariant& value);

    // Returns defaultValue when the name is absent.
    QVariant readProperty(const QString& name, const QVariant& defaultValue = {}) const;

    bool contains(const QString& name) const { return indexOf(name) >= 0; }
    bool removeProperty(const QString& name);
    QStringList names() const;
    qsizetype size() const { return static_cast<qsizetype>(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    void clear() { m_entries.clear(); }

private:
    qsizetype indexOf(const QString& name) const;

    std::vector<std::pair<QString, QVariant>> m_entries;
};

}  // namespace controls
