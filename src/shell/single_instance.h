#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace shell {

// One running window per settings folder and user. The first start takes a lock file in the user's runtime
// folder and listens on a local socket beside it; a later start finds the lock taken, hands its file paths
// over through the socket and ends. Both names are keyed by the settings folder (a portable copy's own
// folder, an installed copy's configuration folder), so portable copies and tests with their own folder run
// side by side, while two installed programs of one user would share their settings and so share a window.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& settingsFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first one: it then listens for later starts. A runtime folder that cannot
    // be used also gives true, so a broken folder never keeps the program from starting.
    bool claim();
    // For a later start: delivers `paths` (absolute) to the first one, retrying while it is still starting
    // up.
    bool handOver(const QStringList& paths, int timeoutMs);

    QString lockFilePath() const;
    QString serverName() const;

signals:
    // A later start handed these paths over (possibly none: the user just started the program again).
    void pathsReceived(const QStringList& paths);

private:
    void acceptConnection();

    QString m_baseName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
};

}  // namespace shell
